#pragma once

#include <QString>

#include <optional>

/// The running application bundle: Tavrink.app/{Info.json, bin/tavrink, share/}.
namespace BundleInfo {

/// The running executable (/proc/self/exe).
QString currentExecutable();
/// The bundle two levels above the executable, when it holds Info.json; empty otherwise.
QString bundlePath(const QString& executablePath = currentExecutable());
/// The bundle's resource folder (share/), or the folder beside the executable when not in a bundle.
QString resourcesPath(const QString& executablePath = currentExecutable());
/// A string value of the bundle's Info.json; absent when missing, unreadable or not a string.
std::optional<QString> infoString(const QString& key, const QString& executablePath = currentExecutable());
} // namespace BundleInfo
