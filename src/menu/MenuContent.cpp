#include "menu/MenuContent.h"

#include "network/NetworkInterfaces.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace {

// Rows of the menu's fixed places; their key names the place.
MenuEntry button(const QString& key, const QString& text, const QString& iconName, MenuEntry::Command command,
                 const QString& shortcutKey = {})
{
    return {{MenuItem::Kind::Button, text, iconName, shortcutKey, key, true}, command, {}};
}

MenuEntry label(const QString& key, const QString& text, const QString& iconName = {})
{
    return {{MenuItem::Kind::Label, text, iconName, {}, key, true}, MenuEntry::Command::None, {}};
}

MenuEntry separator(const QString& key)
{
    return {{MenuItem::Kind::Separator, {}, {}, {}, key, true}, MenuEntry::Command::None, {}};
}

// A row that copies a value: the public address stands in a fixed place, an address of a list
// is the row of that address (its key given by the caller).
MenuEntry copyButton(const QString& key, bool isFixed, const QString& text, const QString& iconName,
                     const QString& value)
{
    return {{MenuItem::Kind::Button, text, iconName, {}, key, isFixed}, MenuEntry::Command::Copy, value};
}

// The same address may be listed twice on one interface (two prefix lengths); each row still
// needs a key of its own, and the first keeps the plain one.
void makeKeysUnique(QList<MenuEntry>& menu)
{
    QHash<QString, int> seen;
    for (MenuEntry& entry : menu) {
        const int earlier = seen.value(entry.item.key);
        seen.insert(entry.item.key, earlier + 1);
        if (earlier > 0)
            entry.item.key += u'#' + QString::number(earlier + 1);
    }
}

// One public address's row: the address, which copies, or a disabled row that says none was found.
MenuEntry publicRow(const QString& key, const QString& name, const std::optional<QString>& address)
{
    if (address)
        return copyButton(key, true, name + u": "_s + *address, u"network-workgroup"_s, *address);
    return label(key, name + u" unavailable"_s, u"dialog-warning"_s);
}

// The public addresses: IPv4, then IPv6 while the machine has an IPv6 route; one row that says so
// when the user turned the lookups off.
void appendPublicRows(QList<MenuEntry>& menu, const MenuContent::Inputs& inputs)
{
    if (!inputs.isPublicLookupEnabled) {
        menu.append(label(u"public-address"_s, u"Public IP: not looked up"_s, u"network-offline"_s));
        return;
    }
    menu.append(publicRow(u"public-address"_s, u"Public IP"_s, inputs.publicAddress));
    if (inputs.hasIPv6Route)
        menu.append(publicRow(u"public-ipv6-address"_s, u"Public IPv6"_s, inputs.publicIPv6Address));
}

} // namespace

namespace MenuContent {

QList<MenuEntry> statusEntries(const Inputs& inputs)
{
    QList<MenuEntry> menu;
    // The hostname is read again when chosen, so that the copy follows the settings of that moment.
    menu.append(
        button(u"hostname"_s, u"Hostname: "_s + inputs.hostname, u"computer"_s, MenuEntry::Command::CopyHostname));
    appendPublicRows(menu, inputs);
    if (inputs.tailscaleAddresses.isEmpty())
        menu.append(label(u"tailscale-status"_s, u"Tailscale: Not connected"_s, u"network-offline"_s));
    for (const QString& address : inputs.tailscaleAddresses)
        menu.append(
            copyButton(u"tailscale:"_s + address, false, u"Tailscale: "_s + address, u"network-vpn"_s, address));
    if (inputs.tailscaleName)
        menu.append(copyButton(u"tailscale-name"_s, true, u"Tailscale name: "_s + *inputs.tailscaleName,
                               u"network-vpn"_s, *inputs.tailscaleName));
    if (inputs.showLocalAddresses) {
        for (const LocalAddress& local : inputs.localAddresses) {
            if (!inputs.showVirtualNetworks && NetworkInterfaces::isVirtualNetwork(local.kind))
                continue;
            menu.append(copyButton(u"local:"_s + local.id(), false, local.displayName + u": "_s + local.address,
                                   u"network-wired"_s, local.address));
        }
    }
    menu.append(separator(u"addresses-end"_s));
    if (!inputs.isPublicLookupEnabled) {
        // Nothing is looked up: neither the time of an earlier answer nor an error is news.
    } else if (inputs.lastUpdated)
        menu.append(label(
            u"status"_s,
            u"Updated "_s + inputs.locale.toString(inputs.lastUpdated->toLocalTime().time(), QLocale::ShortFormat)));
    else if (inputs.lastError)
        menu.append(label(u"status"_s, *inputs.lastError));
    makeKeysUnique(menu);
    return menu;
}

QList<MenuEntry> entries(const Inputs& inputs)
{
    QList<MenuEntry> menu = statusEntries(inputs);
    menu.append(button(u"refresh"_s, u"Refresh Now"_s, u"view-refresh"_s, MenuEntry::Command::Refresh, u"r"_s));
    menu.append(separator(u"commands-start"_s));
    menu.append(
        button(u"about"_s, u"About Tavrink "_s + inputs.version.value_or(u"?"_s), {}, MenuEntry::Command::OpenAbout));
    menu.append(button(u"check-for-updates"_s, u"Check for Updates…"_s, {}, MenuEntry::Command::CheckForUpdates));
    menu.append(button(u"settings"_s, u"Settings…"_s, {}, MenuEntry::Command::OpenSettings));
    menu.append(button(u"quit"_s, u"Quit Tavrink"_s, {}, MenuEntry::Command::Quit, u"q"_s));
    return menu;
}

} // namespace MenuContent
