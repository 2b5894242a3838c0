#pragma once

#include <QString>

/// One entry of the panel item's menu, independent of how it is drawn.
struct MenuEntry {
    enum class Kind { Button, Label, Separator };
    enum class Command { None, Copy, CopyHostname, Refresh, Quit };

    Kind kind = Kind::Label;
    QString text;
    /// A freedesktop icon name; empty for none.
    QString iconName;
    Command command = Command::None;
    /// What Command::Copy puts on the clipboard.
    QString copyText;
    /// The key that, with Control, chooses the entry; empty for none.
    QString shortcutKey;

    bool isEnabled() const { return kind == Kind::Button; }

    friend bool operator==(const MenuEntry&, const MenuEntry&) = default;
};
