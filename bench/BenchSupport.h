#pragma once
// What the benchmarks share: medians, and the menu of 50 local addresses exported on the session
// bus the way the panel item exports it.

#include "menu/MenuContent.h"
#include "platform/linux/panel/DBusMenuDBus.h"
#include "platform/linux/panel/DBusTypes.h"
#include "platform/linux/panel/ExportedMenu.h"

#include <QDBusConnection>

#include <algorithm>
#include <vector>

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n == 0 ? -1 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

/// Exports the menu with 50 local addresses at /MenuBar: its number of rows.
inline qsizetype exportFiftyAddressMenu(ExportedMenu& menu)
{
    registerDBusTypes();
    new DBusMenuDBus(&menu);
    MenuContent::Inputs inputs;
    inputs.hostname = QStringLiteral("studio");
    for (int i = 0; i < 50; ++i)
        inputs.localAddresses.append(
            {QStringLiteral("eth0"), QStringLiteral("Ethernet"), QStringLiteral("10.0.%1.1").arg(i)});
    QList<MenuItem> items;
    for (const MenuEntry& entry : MenuContent::entries(inputs))
        items.append(entry.item);
    menu.setItems(items);
    QDBusConnection::sessionBus().registerObject(QStringLiteral("/MenuBar"), &menu, QDBusConnection::ExportAdaptors);
    return items.size();
}
