#pragma once

#include "platform/MenuItem.h"

#include <QImage>
#include <QList>
#include <QObject>

/// The application's item in the desktop panel, and the menu that opens from it.
class StatusItem : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    /// Shows the text as the item's label, or the icon when the text is empty.
    virtual void setLabel(const QString& text) = 0;
    /// The icon at its scales (18 points wide at 1x, 2x and 3x), shown when there is no label.
    virtual void setIcon(const QList<QImage>& representations) = 0;
    /// The application's own, coloured icon, for trays that cannot take a template in the panel's colour.
    virtual void setApplicationIcon(const QImage& icon) = 0;
    /// The text of the item's tooltip and title.
    virtual void setTitle(const QString& title) = 0;
    /// Replaces the menu's rows.
    virtual void setMenu(const QList<MenuItem>& items) = 0;
    /// Puts the item in the panel.
    virtual void show() = 0;

Q_SIGNALS:
    /// The user chose the row with this key in the last menu given; sent as the choice arrives.
    void itemChosen(const QString& key);
};
