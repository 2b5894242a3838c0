#pragma once

#include "platform/MenuItem.h"

/// One entry of the panel item's menu: how it looks and what choosing it does.
struct MenuEntry {
    enum class Command { None, Copy, CopyHostname, Refresh, OpenAbout, CheckForUpdates, OpenSettings, Quit };

    MenuItem item;
    Command command = Command::None;
    /// What Command::Copy puts on the clipboard.
    QString copyText;

    friend bool operator==(const MenuEntry&, const MenuEntry&) = default;
};
