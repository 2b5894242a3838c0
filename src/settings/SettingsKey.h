#pragma once

#include <QString>

class DefaultsStore;

/// The user-default keys of Tavrink's settings.
namespace SettingsKey {

inline const QString showHostnameInBar = QStringLiteral("showHostnameInBar");
inline const QString useFQDN = QStringLiteral("useFQDN");
inline const QString showLocalAddresses = QStringLiteral("showLocalAddresses");
/// Another update manifest's https address, in place of the built-in one.
inline const QString updateManifestURL = QStringLiteral("UpdateManifestURL");
/// Set to true by "Not Now" to the offer to move; never cleared.
inline const QString skipUserApplicationsInstall = QStringLiteral("skipUserApplicationsInstall");

} // namespace SettingsKey

/// Registers the defaults of the three settings: showHostnameInBar and showLocalAddresses on, useFQDN off.
void registerTavrinkDefaults(DefaultsStore& store);
