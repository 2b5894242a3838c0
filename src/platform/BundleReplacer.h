#pragma once

#include <QString>

#include <optional>

/// What the system offers for putting a new application bundle in place and starting it.
class BundleReplacer {
public:
    enum class Exchange { Done, Unsupported, Failed };

    virtual ~BundleReplacer() = default;

    /// Swaps two paths on one file system in a single step, so that neither is ever missing;
    /// Unsupported where the file system cannot, with the system's words in error on failure.
    virtual Exchange exchange(const QString& first, const QString& second, QString* error) = 0;
    /// Starts the bundle's executable half a second from now, in a process that outlives this one.
    virtual bool relaunch(const QString& bundlePath) = 0;
};
