#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

/// A place for one small picture in the desktop's classic system tray, which the plainer panel
/// item draws itself into. Pictures are PNG-encoded.
class TrayDock : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    /// Whether the desktop has such a tray now.
    virtual bool isAvailable() const = 0;
    /// The picture at its scales; the tray draws the one that suits the room it gives.
    virtual void setPicture(const QList<QByteArray>& pngRepresentations) = 0;
    /// Puts the picture in the tray; again after the tray restarts, until hidden.
    virtual void show() = 0;
    virtual void hide() = 0;
    /// Whether the picture is in the tray now.
    virtual bool isVisible() const = 0;

Q_SIGNALS:
    /// A tray came or went.
    void availabilityChanged();
    /// A press on the picture with any button, at a screen position.
    void pressed(int x, int y);
    /// The pointer has rested on the picture, at a screen position (time for a tooltip).
    void pointerRested(int x, int y);
    /// The pointer has left the picture.
    void pointerLeft();
};
