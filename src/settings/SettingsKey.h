#pragma once

#include <QString>

class DefaultsStore;

/// The user-default keys of Tavrink's settings.
namespace SettingsKey {

inline const QString showHostnameInBar = QStringLiteral("showHostnameInBar");
inline const QString useFQDN = QStringLiteral("useFQDN");
inline const QString showLocalAddresses = QStringLiteral("showLocalAddresses");
/// Whether container, VM and Kubernetes networks are among the local addresses.
inline const QString showVirtualNetworks = QStringLiteral("showVirtualNetworks");
/// Another update manifest's https address, in place of the built-in one.
inline const QString updateManifestURL = QStringLiteral("UpdateManifestURL");
/// Set to true by "Not Now" to the offer to move; never cleared.
inline const QString skipUserApplicationsInstall = QStringLiteral("skipUserApplicationsInstall");

} // namespace SettingsKey

/// Registers the defaults of the settings: showHostnameInBar, showLocalAddresses and
/// showVirtualNetworks on, useFQDN off.
void registerTavrinkDefaults(DefaultsStore& store);
