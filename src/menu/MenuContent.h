#pragma once

#include "menu/MenuEntry.h"
#include "network/LocalAddress.h"

#include <QDateTime>
#include <QList>
#include <QLocale>

#include <optional>

/// The menu's entries, computed from the model's state and the settings.
namespace MenuContent {

struct Inputs {
    QString hostname; // already in the form the settings ask for
    std::optional<QString> publicAddress;
    QList<QString> tailscaleAddresses;
    QList<LocalAddress> localAddresses;
    std::optional<QDateTime> lastUpdated;
    std::optional<QString> lastError;
    bool showLocalAddresses = true;
    QLocale locale;
    /// The bundle's short version; absent shows as "?".
    std::optional<QString> version;
};

/// The identity entries and the status line: what the menu shows above "Refresh Now".
QList<MenuEntry> statusEntries(const Inputs& inputs);
/// The whole menu: status entries, refresh, about, settings and quit.
QList<MenuEntry> entries(const Inputs& inputs);

} // namespace MenuContent
