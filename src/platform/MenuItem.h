#pragma once

#include <QString>

/// How one row of a menu looks, independent of the toolkit or protocol that draws it.
struct MenuItem {
    enum class Kind { Button, Label, Separator };

    Kind kind = Kind::Label;
    QString text;
    /// A freedesktop icon name; empty for none.
    QString iconName;
    /// The key that, with Control, chooses the row; empty for none.
    QString shortcutKey;

    bool isEnabled() const { return kind == Kind::Button; }

    friend bool operator==(const MenuItem&, const MenuItem&) = default;
};
