#include "platform/linux/panel/StatusNotifierItemDBus.h"

#include "platform/linux/panel/StatusNotifierItem.h"

StatusNotifierItemDBus::StatusNotifierItemDBus(StatusNotifierItem* item)
    : QDBusAbstractAdaptor(item)
    , m_item(item)
{
    registerDBusTypes();
    setAutoRelaySignals(false);
    connect(item, &StatusNotifierItem::appearanceChanged, this, [this] {
        Q_EMIT NewIcon();
        Q_EMIT XAyatanaNewLabel(m_item->label(), m_item->label());
    });
    connect(item, &StatusNotifierItem::titleChanged, this, [this] {
        Q_EMIT NewTitle();
        Q_EMIT NewToolTip();
    });
}

QString StatusNotifierItemDBus::id() const
{
    return m_item->id();
}

QString StatusNotifierItemDBus::title() const
{
    return m_item->title();
}

QString StatusNotifierItemDBus::iconThemePath() const
{
    return m_item->iconThemePath();
}

QString StatusNotifierItemDBus::iconName() const
{
    return m_item->iconName();
}

DBusImageList StatusNotifierItemDBus::iconPixmap() const
{
    return m_item->iconPixmap();
}

DBusToolTip StatusNotifierItemDBus::toolTip() const
{
    return {{}, {}, m_item->title(), {}};
}

QDBusObjectPath StatusNotifierItemDBus::menu() const
{
    return QDBusObjectPath(QString::fromLatin1(StatusNotifierItem::menuPath));
}

QString StatusNotifierItemDBus::label() const
{
    // Hosts that do not draw labels ignore it; the item then draws the text into its pixmap.
    return m_item->label();
}

void StatusNotifierItemDBus::ContextMenu(int x, int y)
{
    m_item->popUpMenu(x, y);
}

void StatusNotifierItemDBus::Activate(int x, int y)
{
    m_item->popUpMenu(x, y);
}

void StatusNotifierItemDBus::SecondaryActivate(int x, int y)
{
    m_item->popUpMenu(x, y);
}

void StatusNotifierItemDBus::ProvideXdgActivationToken(const QString& token)
{
    m_item->useActivationToken(token);
}

void StatusNotifierItemDBus::Scroll(int delta, const QString& orientation)
{
    Q_UNUSED(delta);
    Q_UNUSED(orientation);
}
