#include "menu/MenuContent.h"

using namespace Qt::StringLiterals;

namespace {

MenuEntry button(const QString& text, const QString& iconName, MenuEntry::Command command, const QString& value = {},
                 const QString& shortcutKey = {})
{
    return {{MenuItem::Kind::Button, text, iconName, shortcutKey}, command, value};
}

MenuEntry copyButton(const QString& text, const QString& iconName, const QString& value)
{
    return button(text, iconName, MenuEntry::Command::Copy, value);
}

MenuEntry label(const QString& text, const QString& iconName = {})
{
    return {{MenuItem::Kind::Label, text, iconName, {}}, MenuEntry::Command::None, {}};
}

MenuEntry separator()
{
    return {{MenuItem::Kind::Separator, {}, {}, {}}, MenuEntry::Command::None, {}};
}

} // namespace

namespace MenuContent {

QList<MenuEntry> statusEntries(const Inputs& inputs)
{
    QList<MenuEntry> menu;
    // The hostname is read again when chosen, so that the copy follows the settings of that moment.
    menu.append(
        button(u"Hostname: "_s + inputs.hostname, u"computer"_s, MenuEntry::Command::CopyHostname, inputs.hostname));
    if (inputs.publicAddress)
        menu.append(
            copyButton(u"Public IP: "_s + *inputs.publicAddress, u"network-workgroup"_s, *inputs.publicAddress));
    else
        menu.append(label(u"Public IP unavailable"_s, u"dialog-warning"_s));
    if (inputs.tailscaleAddresses.isEmpty())
        menu.append(label(u"Tailscale: Not connected"_s, u"network-offline"_s));
    for (const QString& address : inputs.tailscaleAddresses)
        menu.append(copyButton(u"Tailscale: "_s + address, u"network-vpn"_s, address));
    if (inputs.showLocalAddresses) {
        for (const LocalAddress& local : inputs.localAddresses)
            menu.append(copyButton(local.displayName + u": "_s + local.address, u"network-wired"_s, local.address));
    }
    menu.append(separator());
    if (inputs.lastUpdated)
        menu.append(label(u"Updated "_s
                          + inputs.locale.toString(inputs.lastUpdated->toLocalTime().time(), QLocale::ShortFormat)));
    else if (inputs.lastError)
        menu.append(label(*inputs.lastError));
    return menu;
}

QList<MenuEntry> entries(const Inputs& inputs)
{
    QList<MenuEntry> menu = statusEntries(inputs);
    menu.append(button(u"Refresh Now"_s, u"view-refresh"_s, MenuEntry::Command::Refresh, {}, u"r"_s));
    menu.append(separator());
    menu.append(button(u"About Tavrink "_s + inputs.version.value_or(u"?"_s), {}, MenuEntry::Command::OpenAbout));
    // "Check for Updates…" will stand here, between about and settings.
    menu.append(button(u"Settings…"_s, {}, MenuEntry::Command::OpenSettings));
    menu.append(button(u"Quit Tavrink"_s, {}, MenuEntry::Command::Quit, {}, u"q"_s));
    return menu;
}

} // namespace MenuContent
