#pragma once

#include <QString>

#include <optional>

/// The running application bundle: Tavrink.app/{Info.json, bin/tavrink, libexec/tavrink-update-helper, share/}.
namespace BundleInfo {

/// The running executable (/proc/self/exe).
QString currentExecutable();
/// The bundle two levels above the executable, when it holds Info.json; empty otherwise.
QString bundlePath(const QString& executablePath = currentExecutable());
/// The bundle's resource folder (share/), or the folder beside the executable when not in a bundle.
QString resourcesPath(const QString& executablePath = currentExecutable());
/// The executable of the bundle (bin/tavrink).
QString executable(const QString& bundlePath);
/// The update helper of the bundle (libexec/tavrink-update-helper).
QString updateHelper(const QString& bundlePath);
/// A string value of the bundle's Info.json; absent when missing, unreadable or not a string.
std::optional<QString> infoString(const QString& key, const QString& executablePath = currentExecutable());
/// Info.json's key naming who owns an installed copy ("deb": the package manager).
constexpr auto distributionKey = "TavrinkDistribution";
/// Whether the bundle is a copy a package manager owns: it is updated and moved through that,
/// never by Tavrink itself.
bool isPackaged(const QString& bundlePath);
/// Whether Tavrink moves and updates this copy itself: it runs from a bundle, and no package
/// manager owns it.
bool isSelfManaged(const QString& bundlePath);
/// "Version 1.4 (27)", with "?" for each value that is absent.
QString versionLine(const std::optional<QString>& shortVersion, const std::optional<QString>& build);
/// The version line of the running bundle.
QString versionLine();

} // namespace BundleInfo
