#pragma once

#include <QString>

/// How one row of a menu looks, independent of the toolkit or protocol that draws it, and what
/// it stands for.
struct MenuItem {
    enum class Kind { Button, Label, Separator };

    Kind kind = Kind::Label;
    QString text;
    /// A freedesktop icon name; empty for none.
    QString iconName;
    /// The key that, with Control, chooses the row; empty for none.
    QString shortcutKey;
    /// What the row stands for, unique within one menu: a fixed place ("settings"), or the value a
    /// row shows ("local:eth0|10.0.0.9"), so that a rebuilt row showing the same thing is the same row.
    QString key;
    /// Whether key names a fixed place of the menu, one that is the same row even after an absence.
    bool isFixed = false;

    bool isEnabled() const { return kind == Kind::Button; }

    friend bool operator==(const MenuItem&, const MenuItem&) = default;
};
