#pragma once

#include "verify/Minisign.h"

#include <QString>

#include <optional>
#include <variant>

/// What the updater makes of a downloaded archive before it touches the installed copy; the
/// maker's release check runs the same code.
namespace UpdateArchive {

/// The maker's team, and the only one whose updates are installed.
inline constexpr auto makerTeam = "M4TQ8RW2ZK";

struct Failure {
    /// For the user, as the "Update failed" alert shows it.
    QString message;
    /// What exactly was refused, for the journal and the maker.
    QString detail;
};

inline const QString notUnpacked = QStringLiteral("The update archive could not be unpacked.");
inline const QString noBundle = QStringLiteral("The update archive did not contain Tavrink.app.");
inline const QString invalidSignature = QStringLiteral("The update's code signature is invalid.");
inline const QString notSignedByMaker = QStringLiteral("The update was not signed by Brenlow.");
inline const QString wrongVersion = QStringLiteral("The update is not the version that was offered.");

/// Unpacks the archive into workFolder (which must not exist yet), then checks that Tavrink.app
/// stands at its top level, that its signature holds, that the signer is the pinned key and,
/// when a version is given, that the bundle's signed Info.json has exactly that version. The new
/// bundle's path, or the first failure.
std::variant<QString, Failure> prepare(const QString& archivePath, const QString& workFolder,
                                       const Minisign::PublicKey& pinnedKey,
                                       const std::optional<QString>& version = std::nullopt);

/// Moves the prepared bundle to staged, the place beside the installed copy that
/// BundleInstaller::stagingPath names (what killed installs left in that folder goes first), and
/// checks the staged copy's signature once more: the copy is what will run, so it must be what
/// was verified. Nothing is left at staged on failure.
std::optional<Failure> stage(const QString& bundle, const QString& staged, const Minisign::PublicKey& pinnedKey);

} // namespace UpdateArchive
