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
/// Whether the public addresses are looked up at all; off, no request leaves the machine for them.
inline const QString lookUpPublicAddress = QStringLiteral("lookUpPublicAddress");
/// Whether a confirmed change of the public address is announced by a desktop notification.
inline const QString notifyPublicAddressChange = QStringLiteral("notifyPublicAddressChange");
/// The user's own echo services (https addresses), in place of the built-in ones, per family.
inline const QString publicIPv4Services = QStringLiteral("publicIPv4Services");
inline const QString publicIPv6Services = QStringLiteral("publicIPv6Services");
/// Another update manifest's https address, in place of the built-in one.
inline const QString updateManifestURL = QStringLiteral("UpdateManifestURL");
/// Set to true by "Not Now" to the offer to move; never cleared.
inline const QString skipUserApplicationsInstall = QStringLiteral("skipUserApplicationsInstall");

} // namespace SettingsKey

/// Registers the defaults of the settings: showHostnameInBar, showLocalAddresses,
/// showVirtualNetworks and lookUpPublicAddress on, useFQDN and notifyPublicAddressChange off.
void registerTavrinkDefaults(DefaultsStore& store);
