#pragma once

#include "platform/BundleReplacer.h"

/// renameat2(RENAME_EXCHANGE), a detached /bin/sh that starts the bundle again, statvfs for
/// read-only mounts, the user.xdg.origin.url / user.xdg.referrer.url attributes browsers set on
/// downloads, and the freedesktop.org Trash.
class LinuxBundleReplacer : public BundleReplacer {
public:
    Exchange exchange(const QString& first, const QString& second, QString* error) override;
    bool relaunch(const QString& executable) override;
    bool isOnReadOnlyFileSystem(const QString& path) override;
    void clearDownloadMarks(const QString& bundlePath) override;
    bool moveToTrash(const QString& path) override;
};
