#pragma once

#include "platform/MenuItem.h"

#include <QByteArray>
#include <QList>
#include <QObject>

/// The application's item in the desktop panel, and the menu that opens from it. Pictures are
/// PNG-encoded, so that the interface needs nothing beyond Qt Core.
class StatusItem : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    /// Shows the text as the item's label, or the icon when the text is empty.
    virtual void setLabel(const QString& text) = 0;
    /// The template icon at its scales (18 points wide at 1x, 2x and 3x), shown when there is no
    /// label. Only its shape counts: the panel item draws it in colours that read on the panel.
    virtual void setIcon(const QList<QByteArray>& pngRepresentations) = 0;
    /// The application's own, coloured icon, for trays that cannot take a template in the panel's colour.
    virtual void setApplicationIcon(const QByteArray& png) = 0;
    /// The text of the item's tooltip and title.
    virtual void setTitle(const QString& title) = 0;
    /// Replaces the menu's rows.
    virtual void setMenu(const QList<MenuItem>& items) = 0;
    /// Puts the item in the panel.
    virtual void show() = 0;
    /// Whether some panel can show the item, as far as the desktop lets it be told; true until
    /// it is known otherwise.
    virtual bool isSeen() const { return true; }

Q_SIGNALS:
    /// The user chose the row with this key in the last menu given; sent as the choice arrives.
    void itemChosen(const QString& key);
    void seenChanged();
};

/// A plainer item that stands in for the panel item while the panel has no host for it, and
/// draws the same menu for hosts that ask the item to show its menu itself.
class FallbackStatusItem : public StatusItem {
    Q_OBJECT
public:
    using StatusItem::StatusItem;

    /// Whether the desktop has a place to show it at all.
    virtual bool isAvailable() const = 0;
    /// Takes the item out of the panel again.
    virtual void hide() = 0;
    virtual bool isVisible() const = 0;
    /// Opens the menu at a screen position.
    virtual void popUpMenu(int x, int y) = 0;

Q_SIGNALS:
    /// A place to show it came or went.
    void availabilityChanged();
};
