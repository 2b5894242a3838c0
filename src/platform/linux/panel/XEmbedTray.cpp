#include "platform/linux/panel/XEmbedTray.h"

#include <QCursor>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

constexpr std::uint32_t kRequestDock = 0; // SYSTEM_TRAY_REQUEST_DOCK
constexpr int kRestMs = 700; // how long the pointer rests before the tooltip shows

// The screen of DISPLAY (":0.1" is screen 1), whose tray the picture goes to.
int displayScreen()
{
    const QString display = qEnvironmentVariable("DISPLAY");
    const qsizetype dot = display.lastIndexOf(u'.');
    return dot > display.lastIndexOf(u':') ? display.mid(dot + 1).toInt() : 0;
}

} // namespace

// The docked window: draws the picture over the tray's own background and reports the pointer.
class XEmbedTray::Window : public QRasterWindow {
public:
    explicit Window(XEmbedTray& tray)
        : m_tray(tray)
    {
        // Qt's X11 backend gives a window of this name the tray's own visual (so that the picture
        // is drawn over the panel, with or without an alpha channel) and maps it only once the
        // tray has taken it in.
        setObjectName(u"QSystemTrayIconSysWindow"_s);
        setFlags(Qt::Window | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint);
        // Trays that ask the window's size hints (GTK's) give it the least room they allow.
        setMinimumSize(QSize(22, 22));
        resize(22, 22);
        m_rest.setSingleShot(true);
        m_rest.setInterval(kRestMs);
        QObject::connect(&m_rest, &QTimer::timeout, &m_tray, [this] {
            const QPoint at = QCursor::pos();
            Q_EMIT m_tray.pointerRested(at.x(), at.y());
        });
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(QRect(QPoint(), size()), Qt::transparent);
        if (m_tray.m_pictures.isEmpty())
            return;
        // The largest picture, scaled down to the room the tray gives, centred.
        const QImage& picture = m_tray.m_pictures.constLast();
        const QSize fitted = picture.size().scaled(size(), Qt::KeepAspectRatio);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted),
                          picture);
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        m_rest.stop();
        const QPoint at = event->globalPosition().toPoint();
        Q_EMIT m_tray.pressed(at.x(), at.y());
    }
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::Enter) {
            m_rest.start();
        } else if (event->type() == QEvent::Leave) {
            m_rest.stop();
            Q_EMIT m_tray.pointerLeft();
        }
        return QRasterWindow::event(event);
    }

private:
    XEmbedTray& m_tray;
    QTimer m_rest;
};

XEmbedTray::XEmbedTray(QObject* parent)
    : TrayDock(parent)
{
}

XEmbedTray::~XEmbedTray()
{
    if (m_connection && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool XEmbedTray::connect() const
{
    if (m_connection)
        return true;
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return false;
    xcb_connection_t* connection = x11->connection();
    const QByteArray names[]
        = {"_NET_SYSTEM_TRAY_S" + QByteArray::number(displayScreen()), "_NET_SYSTEM_TRAY_OPCODE", "MANAGER"};
    xcb_intern_atom_cookie_t cookies[3];
    for (int i = 0; i < 3; ++i)
        cookies[i] = xcb_intern_atom(connection, 0, names[i].size(), names[i].constData());
    std::uint32_t* atoms[] = {&m_selection, &m_opcode, &m_manager};
    for (int i = 0; i < 3; ++i) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookies[i], nullptr);
        *atoms[i] = reply ? reply->atom : 0;
        std::free(reply);
    }
    if (!m_selection || !m_opcode || !m_manager)
        return false;
    m_connection = connection;
    // A tray that starts announces itself on the root window (MANAGER, to those who listen to its
    // structure); one that quits is seen leaving by the window it docked in.
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = displayScreen(); i > 0 && screens.rem > 1; --i)
        xcb_screen_next(&screens);
    const xcb_window_t root = screens.data->root;
    xcb_get_window_attributes_reply_t* attributes
        = xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, root), nullptr);
    const std::uint32_t mask = (attributes ? attributes->your_event_mask : 0) | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    std::free(attributes);
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
    QCoreApplication::instance()->installNativeEventFilter(const_cast<XEmbedTray*>(this));
    return true;
}

std::uint32_t XEmbedTray::trayWindow() const
{
    if (!connect())
        return 0;
    xcb_get_selection_owner_reply_t* reply
        = xcb_get_selection_owner_reply(m_connection, xcb_get_selection_owner(m_connection, m_selection), nullptr);
    const std::uint32_t owner = reply ? reply->owner : 0;
    std::free(reply);
    return owner;
}

bool XEmbedTray::isAvailable() const
{
    return trayWindow() != 0;
}

void XEmbedTray::setPicture(const QList<QByteArray>& pngRepresentations)
{
    m_pictures.clear();
    for (const QByteArray& png : pngRepresentations) {
        const QImage picture = QImage::fromData(png, "PNG");
        if (!picture.isNull())
            m_pictures.append(picture);
    }
    std::sort(m_pictures.begin(), m_pictures.end(),
              [](const QImage& a, const QImage& b) { return a.width() < b.width(); });
    if (m_window)
        m_window->update();
}

void XEmbedTray::show()
{
    m_isWanted = true;
    if (!m_window)
        dock();
}

void XEmbedTray::hide()
{
    m_isWanted = false;
    m_window.reset();
    m_tray = 0;
}

bool XEmbedTray::isVisible() const
{
    return m_window != nullptr;
}

void XEmbedTray::dock()
{
    m_tray = trayWindow();
    if (!m_tray)
        return;
    // Told when the tray's window goes, as when the panel quits.
    const std::uint32_t structure = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_connection, m_tray, XCB_CW_EVENT_MASK, &structure);
    m_window = std::make_unique<Window>(*this);
    m_window->create();
    xcb_client_message_event_t request{};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = m_tray;
    request.type = m_opcode;
    request.data.data32[0] = XCB_CURRENT_TIME;
    request.data.data32[1] = kRequestDock;
    request.data.data32[2] = static_cast<std::uint32_t>(m_window->winId());
    xcb_send_event(m_connection, 0, m_tray, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&request));
    xcb_flush(m_connection);
    m_window->show();
}

bool XEmbedTray::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result)
{
    Q_UNUSED(result);
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & ~0x80;
    if (type == XCB_CLIENT_MESSAGE) {
        const auto* client = reinterpret_cast<const xcb_client_message_event_t*>(event);
        if (client->type != m_manager || client->data.data32[1] != m_selection)
            return false;
        // A tray started (or replaced the one there was).
        m_window.reset();
        if (m_isWanted)
            dock();
        Q_EMIT availabilityChanged();
    } else if (type == XCB_DESTROY_NOTIFY) {
        const auto* destroyed = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
        if (!m_tray || destroyed->window != m_tray)
            return false;
        // The tray quit: the window it held would show on its own at the screen's corner.
        m_window.reset();
        m_tray = 0;
        Q_EMIT availabilityChanged();
    }
    return false;
}
