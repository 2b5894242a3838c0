#pragma once

#include <QString>

class DefaultsStore;

/// The user-default keys of Tavrink's settings.
namespace SettingsKey {

inline const QString showHostnameInBar = QStringLiteral("showHostnameInBar");
inline const QString useFQDN = QStringLiteral("useFQDN");
inline const QString showLocalAddresses = QStringLiteral("showLocalAddresses");

} // namespace SettingsKey

/// Registers the defaults of the three settings: showHostnameInBar and showLocalAddresses on, useFQDN off.
void registerTavrinkDefaults(DefaultsStore& store);
