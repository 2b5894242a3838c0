#pragma once

#include <QString>

#include <optional>

/// What the system offers for putting an application bundle in place, moving it, and starting it.
class BundleReplacer {
public:
    enum class Exchange { Done, Unsupported, Failed };

    virtual ~BundleReplacer() = default;

    /// Swaps two paths on one file system in a single step, so that neither is ever missing;
    /// Unsupported where the file system cannot, with the system's words in error on failure.
    virtual Exchange exchange(const QString& first, const QString& second, QString* error) = 0;
    /// Starts the executable half a second from now, in a process that outlives this one.
    virtual bool relaunch(const QString& executable) = 0;
    /// Whether the path lies on a file system mounted read-only (a temporary place to run from).
    virtual bool isOnReadOnlyFileSystem(const QString& path) = 0;
    /// Takes the marks a browser leaves on a download off the bundle and everything in it;
    /// a failure is not reported.
    virtual void clearDownloadMarks(const QString& bundlePath) = 0;
    /// Moves the path to the user's Trash; false when it cannot be.
    virtual bool moveToTrash(const QString& path) = 0;
};
