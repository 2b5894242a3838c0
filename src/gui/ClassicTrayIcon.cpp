#include "gui/ClassicTrayIcon.h"

#include "gui/QMenuRenderer.h"

#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QSystemTrayIcon>

ClassicTrayIcon::ClassicTrayIcon(QObject* parent)
    : FallbackStatusItem(parent)
{
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
    if (m_tray)
        m_tray->setToolTip(title);
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
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void ClassicTrayIcon::show()
{
    if (m_tray)
        return;
    m_tray = std::make_unique<QSystemTrayIcon>();
    m_tray->setContextMenu(&menu());
    // A left click opens the menu too: the item is a menu, as it is in a StatusNotifier host.
    connect(m_tray.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            menu().popup(QCursor::pos());
    });
    m_tray->setToolTip(m_title);
    updateIcon();
    m_tray->show();
}

void ClassicTrayIcon::hide()
{
    m_tray.reset();
}

bool ClassicTrayIcon::isVisible() const
{
    return m_tray && m_tray->isVisible();
}

void ClassicTrayIcon::popUpMenu(int x, int y)
{
    menu().popup(QPoint(x, y));
}

void ClassicTrayIcon::updateIcon()
{
    if (!m_tray)
        return;
    // The coloured application icon shows on light and dark trays; the template only if there is none.
    QIcon icon;
    const QImage application = QImage::fromData(m_applicationIcon, "PNG");
    if (!application.isNull()) {
        icon.addPixmap(QPixmap::fromImage(application));
    } else {
        for (const QByteArray& png : std::as_const(m_icon))
            icon.addPixmap(QPixmap::fromImage(QImage::fromData(png, "PNG")));
    }
    m_tray->setIcon(icon);
}
