#pragma once

#include "platform/TrayDock.h"

#include <QAbstractNativeEventFilter>
#include <QImage>
#include <QTimer>

#include <cstdint>
#include <memory>

struct xcb_connection_t;

/// The classic X11 system tray (the XEmbed protocol): a small window of this process that the
/// tray takes into the panel. Docks again when a tray (re)starts; unavailable off X11.
class XEmbedTray : public TrayDock, private QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit XEmbedTray(QObject* parent = nullptr);
    ~XEmbedTray() override;

    bool isAvailable() const override;
    void setPicture(const QList<QByteArray>& pngRepresentations) override;
    void show() override;
    void hide() override;
    bool isVisible() const override;

private:
    class Window;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    // Asks the X server for the protocol's names once, on first use: most desktops never need it.
    bool connect() const;
    // The tray's own window, or 0 where there is no tray.
    std::uint32_t trayWindow() const;
    void dock();

    mutable xcb_connection_t* m_connection = nullptr;
    mutable std::uint32_t m_selection = 0; // _NET_SYSTEM_TRAY_Sn
    mutable std::uint32_t m_opcode = 0; // _NET_SYSTEM_TRAY_OPCODE
    mutable std::uint32_t m_manager = 0; // MANAGER
    std::uint32_t m_tray = 0; // the tray window docked in
    bool m_isWanted = false;
    QList<QImage> m_pictures;
    std::unique_ptr<Window> m_window;
};
