#pragma once

#include <QString>

#include <functional>
#include <variant>

class AlertPresenter;
class BundleReplacer;
class DefaultsStore;

/// Keeps the bundle where it can update itself. A copy running from a read-only file system
/// (a mounted image, read-only media) moves itself into an applications folder and relaunches,
/// or quits; a copy elsewhere outside the applications folders is offered the move, an offer the
/// user can decline for good. Applications folders, in order: the system's (/opt) and the
/// user's (~/Applications); the copy there is always Tavrink.app.
class Translocation {
public:
    struct Parts {
        AlertPresenter& alerts;
        DefaultsStore& settings;
        BundleReplacer& system;
        /// The running bundle; empty when Tavrink does not run from one (then nothing is offered).
        QString bundlePath;
        QString homePath;
        QString systemApplicationsFolder = QStringLiteral("/opt");
        /// Asks the application to end.
        std::function<void()> terminate;
    };

    explicit Translocation(Parts parts);

    QString userApplicationsFolder() const;
    /// Whether the running bundle lies on a read-only file system.
    bool isActive() const;
    /// For a copy on a read-only file system: the offer to move, the move, and the end of this
    /// process in every case (true). False, having shown nothing, for any other copy.
    bool offerToRelocate();
    /// For a copy outside the applications folders: the offer to move, and on a move that
    /// worked the old copy to the Trash, the relaunch and the end of this process (true).
    /// False when nothing was offered, the offer was declined, or the move failed.
    bool offerUserInstall();

private:
    /// The folder as the user reads it: the home folder as "~".
    QString shown(const QString& folder) const;
    /// Where a move would go: the system's folder where this user can write there, else the user's.
    QString destinationFolder() const;
    /// Why not, and what the user can do instead.
    static QString copyByHand(const QString& destination, const QString& reason);
    /// The new copy's path, or the last folder's failure in the system's words.
    std::variant<QString, QString> relocate();

    Parts m_parts;
};
