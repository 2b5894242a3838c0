#include "gui/ClassicTrayIcon.h"

#include "gui/QMenuRenderer.h"

#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

ClassicTrayIcon::ClassicTrayIcon(QObject* parent)
    : FallbackStatusItem(parent)
    , m_menu(std::make_unique<QMenu>())
{
}

ClassicTrayIcon::~ClassicTrayIcon() = default;

void ClassicTrayIcon::setLabel(const QString& text)
{
    Q_UNUSED(text); // a tray icon has no label; the title is its tooltip
}

void ClassicTrayIcon::setIcon(const QList<QByteArray>& pngRepresentations)
{
    m_icon.clear();
    for (const QByteArray& png : pngRepresentations)
        m_icon.append(QImage::fromData(png, "PNG"));
    updateIcon();
}

void ClassicTrayIcon::setApplicationIcon(const QByteArray& png)
{
    m_applicationIcon = QImage::fromData(png, "PNG");
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
    QMenuRenderer::fill(*m_menu, items, [this](const QString& key) { Q_EMIT itemChosen(key); });
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
    m_tray->setContextMenu(m_menu.get());
    // A left click opens the menu too: the item is a menu, as it is in a StatusNotifier host.
    connect(m_tray.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            m_menu->popup(QCursor::pos());
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
    m_menu->popup(QPoint(x, y));
}

void ClassicTrayIcon::updateIcon()
{
    if (!m_tray)
        return;
    // The coloured application icon shows on light and dark trays; the template only if there is none.
    QIcon icon;
    if (!m_applicationIcon.isNull()) {
        icon.addPixmap(QPixmap::fromImage(m_applicationIcon));
    } else {
        for (const QImage& image : std::as_const(m_icon))
            icon.addPixmap(QPixmap::fromImage(image));
    }
    m_tray->setIcon(icon);
}
