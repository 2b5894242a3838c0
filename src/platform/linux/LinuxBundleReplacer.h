#pragma once

#include "platform/BundleReplacer.h"

/// renameat2(RENAME_EXCHANGE), and a detached /bin/sh that starts the bundle again.
class LinuxBundleReplacer : public BundleReplacer {
public:
    Exchange exchange(const QString& first, const QString& second, QString* error) override;
    bool relaunch(const QString& bundlePath) override;
};
