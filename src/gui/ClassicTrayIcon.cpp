#include "gui/ClassicTrayIcon.h"

#include "gui/QMenuRenderer.h"

#include <QMenu>
#include <QToolTip>

ClassicTrayIcon::ClassicTrayIcon(std::unique_ptr<TrayDock> dock, QObject* parent)
    : FallbackStatusItem(parent)
    , m_dock(std::move(dock))
{
    // Any click opens the menu: the item is a menu, as it is in a StatusNotifier host.
    connect(m_dock.get(), &TrayDock::pressed, this, [this](int x, int y) { menu().popup(QPoint(x, y)); });
    connect(m_dock.get(), &TrayDock::pointerRested, this,
            [this](int x, int y) { QToolTip::showText(QPoint(x, y), m_title); });
    connect(m_dock.get(), &TrayDock::pointerLeft, this, [] { QToolTip::hideText(); });
    connect(m_dock.get(), &TrayDock::availabilityChanged, this, &FallbackStatusItem::availabilityChanged);
}

ClassicTrayIcon::~ClassicTrayIcon() = default;

void ClassicTrayIcon::setLabel(const QString& text)
{
    Q_UNUSED(text); // a tray icon has no label; the title is its tooltip
}

void ClassicTrayIcon::setIcon(const QList<QByteArray>& pngRepresentations)
{
    m_icon = pngRepresentations;
    updateIcon();
}

void ClassicTrayIcon::setApplicationIcon(const QByteArray& png)
{
    m_applicationIcon = png;
    updateIcon();
}

void ClassicTrayIcon::setTitle(const QString& title)
{
    m_title = title;
}

void ClassicTrayIcon::setMenu(const QList<MenuItem>& items)
{
    m_items = items;
    if (m_menu)
        fillMenu();
}

void ClassicTrayIcon::fillMenu()
{
    QMenuRenderer::fill(*m_menu, m_items, [this](const QString& key) { Q_EMIT itemChosen(key); });
}

QMenu& ClassicTrayIcon::menu()
{
    if (!m_menu) {
        m_menu = std::make_unique<QMenu>();
        fillMenu();
    }
    return *m_menu;
}

bool ClassicTrayIcon::isAvailable() const
{
    return m_dock->isAvailable();
}

void ClassicTrayIcon::show()
{
    m_isShown = true;
    updateIcon();
    m_dock->show();
}

void ClassicTrayIcon::hide()
{
    m_isShown = false;
    m_dock->hide();
}

bool ClassicTrayIcon::isVisible() const
{
    return m_dock->isVisible();
}

void ClassicTrayIcon::popUpMenu(int x, int y)
{
    menu().popup(QPoint(x, y));
}

void ClassicTrayIcon::updateIcon()
{
    if (!m_isShown)
        return;
    // The coloured application icon shows on light and dark trays; the template only if there is none.
    m_dock->setPicture(m_applicationIcon.isEmpty() ? m_icon : QList<QByteArray>{m_applicationIcon});
}
