#include "platform/linux/StatusNotifierItem.h"

#include "platform/linux/DBusMenuDBus.h"
#include "platform/linux/ExportedMenu.h"
#include "platform/linux/QMenuRenderer.h"
#include "platform/linux/StatusNotifierItemDBus.h"

#include <QCursor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kWatcherService = u"org.kde.StatusNotifierWatcher"_s;
// Panels are dark more often than not; the template artwork is drawn in this colour.
const QColor kForeground(0xee, 0xee, 0xee);
constexpr int kPanelHeight = 22;

QImage tinted(const QImage& shape)
{
    QImage image = shape.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), kForeground);
    return image;
}

QString processName(uint pid)
{
    QFile cmdline(u"/proc/%1/cmdline"_s.arg(pid));
    if (!cmdline.open(QIODevice::ReadOnly))
        return {};
    return QFileInfo(QString::fromLocal8Bit(cmdline.readAll().split('\0').value(0))).fileName();
}

} // namespace

StatusNotifierItem::StatusNotifierItem(QDBusConnection bus, QString id, QObject* parent)
    : StatusItem(parent)
    , m_bus(std::move(bus))
    , m_id(std::move(id))
    , m_serviceName(u"org.kde.StatusNotifierItem-%1-1"_s.arg(::getpid()))
    , m_menu(new ExportedMenu(this))
    , m_watcherWatcher(new QDBusServiceWatcher(kWatcherService, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this))
{
    registerDBusTypes();
    new StatusNotifierItemDBus(this);
    new DBusMenuDBus(m_menu);
    connect(m_menu, &ExportedMenu::chosen, this, &StatusItem::itemChosen);
    connect(m_watcherWatcher, &QDBusServiceWatcher::serviceRegistered, this, &StatusNotifierItem::onWatcherAppeared);
    connect(m_watcherWatcher, &QDBusServiceWatcher::serviceUnregistered, this, &StatusNotifierItem::onWatcherGone);
    // A panel that restarts leaves for a moment; the tray icon only stands in when none comes back.
    m_fallbackDelay.setSingleShot(true);
    m_fallbackDelay.setInterval(2000);
    connect(&m_fallbackDelay, &QTimer::timeout, this, &StatusNotifierItem::updateTrayFallback);
}

StatusNotifierItem::~StatusNotifierItem()
{
    if (m_isShown) {
        m_bus.unregisterObject(QString::fromLatin1(itemPath));
        m_bus.unregisterObject(QString::fromLatin1(menuPath));
        m_bus.unregisterService(m_serviceName);
    }
}

void StatusNotifierItem::setLabel(const QString& text)
{
    if (text == m_label && m_iconGeneration > 0)
        return;
    m_label = text;
    writeIcons();
    if (m_tray)
        updateTrayFallback();
    Q_EMIT appearanceChanged();
}

void StatusNotifierItem::setIcon(const QList<QImage>& representations)
{
    m_icon.clear();
    for (const QImage& image : representations)
        m_icon.append(tinted(image));
    writeIcons();
    if (m_tray)
        updateTrayFallback();
    Q_EMIT appearanceChanged();
}

void StatusNotifierItem::setApplicationIcon(const QImage& icon)
{
    m_applicationIcon = icon;
    if (m_tray)
        updateTrayFallback();
}

void StatusNotifierItem::setTitle(const QString& title)
{
    if (title == m_title)
        return;
    m_title = title;
    if (m_tray)
        m_tray->setToolTip(title);
    Q_EMIT titleChanged();
}

void StatusNotifierItem::setMenu(const QList<MenuItem>& items)
{
    m_menu->setItems(items);
    if (m_popup)
        fillPopup();
}

void StatusNotifierItem::show()
{
    if (m_isShown)
        return;
    m_isShown = true;
    m_bus.registerObject(QString::fromLatin1(itemPath), this, QDBusConnection::ExportAdaptors);
    m_bus.registerObject(QString::fromLatin1(menuPath), m_menu, QDBusConnection::ExportAdaptors);
    m_bus.registerService(m_serviceName);
    if (m_bus.interface() && m_bus.interface()->isServiceRegistered(kWatcherService))
        onWatcherAppeared();
    else
        updateTrayFallback();
}

QString StatusNotifierItem::iconName() const
{
    if (m_label.isEmpty())
        return u"tavrink-icon-%1"_s.arg(m_iconGeneration);
    return m_isLabelDrawnByHost ? u"tavrink-blank"_s : QString();
}

DBusImageList StatusNotifierItem::iconPixmap() const
{
    DBusImageList images;
    if (m_label.isEmpty()) {
        for (const QImage& image : m_icon)
            images.append(DBusImage::fromImage(image));
    } else if (m_isLabelDrawnByHost) {
        QImage blank(kPanelHeight, kPanelHeight, QImage::Format_ARGB32);
        blank.fill(Qt::transparent);
        images.append(DBusImage::fromImage(blank));
    } else {
        images.append(DBusImage::fromImage(textImage(1)));
        images.append(DBusImage::fromImage(textImage(2)));
    }
    return images;
}

bool StatusNotifierItem::isShowingTrayFallback() const
{
    return m_tray && m_tray->isVisible();
}

bool StatusNotifierItem::isLabelDrawingHost(const QString& processName)
{
    static const QStringList hosts{u"ayatana-indicator-application-service"_s, u"indicator-application-service"_s,
                                   u"gnome-shell"_s};
    return hosts.contains(processName);
}

void StatusNotifierItem::onWatcherAppeared()
{
    m_fallbackDelay.stop();
    const QDBusReply<uint> pid = m_bus.interface()->servicePid(kWatcherService);
    const bool drawsLabels = pid.isValid() && isLabelDrawingHost(processName(pid.value()));
    if (drawsLabels != m_isLabelDrawnByHost) {
        m_isLabelDrawnByHost = drawsLabels;
        Q_EMIT appearanceChanged();
    }
    registerWithWatcher();
    updateTrayFallback();
}

void StatusNotifierItem::onWatcherGone()
{
    m_isRegistered = false;
    m_fallbackDelay.start();
}

void StatusNotifierItem::registerWithWatcher()
{
    QDBusMessage call = QDBusMessage::createMethodCall(kWatcherService, u"/StatusNotifierWatcher"_s, kWatcherService,
                                                       u"RegisterStatusNotifierItem"_s);
    call << m_serviceName;
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        if (finished->isError()) {
            m_fallbackDelay.start();
            return;
        }
        m_isRegistered = true;
        updateTrayFallback();
        Q_EMIT registered();
    });
}

void StatusNotifierItem::updateTrayFallback()
{
    const bool needsTray = m_isShown && !m_isRegistered && !m_fallbackDelay.isActive()
        && !(m_bus.interface() && m_bus.interface()->isServiceRegistered(kWatcherService));
    if (!needsTray) {
        m_tray.reset();
        return;
    }
    if (!QSystemTrayIcon::isSystemTrayAvailable() && !m_tray)
        return;
    if (!m_tray) {
        fillPopup();
        m_tray = std::make_unique<QSystemTrayIcon>();
        m_tray->setContextMenu(m_popup.get());
        // A left click opens the menu too: the item is a menu, as it is in a StatusNotifier host.
        connect(m_tray.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger)
                m_popup->popup(QCursor::pos());
        });
    }
    // An XEmbed tray may be light or dark and cannot draw text: the coloured application icon
    // shows on either, and the tooltip carries the hostname.
    QIcon icon;
    if (!m_applicationIcon.isNull())
        icon.addPixmap(QPixmap::fromImage(m_applicationIcon));
    for (const QImage& image : m_icon) {
        if (m_applicationIcon.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    m_tray->setIcon(icon);
    m_tray->setToolTip(m_title);
    m_tray->show();
}

void StatusNotifierItem::popUpMenu(int x, int y)
{
    fillPopup();
    m_popup->popup(QPoint(x, y));
}

void StatusNotifierItem::fillPopup()
{
    if (!m_popup)
        m_popup = std::make_unique<QMenu>();
    QMenuRenderer::fill(*m_popup, m_menu->items(), [this](const QString& key) { Q_EMIT itemChosen(key); });
}

void StatusNotifierItem::writeIcons()
{
    // Hosts cache icons by name, so a changed icon gets a new name.
    ++m_iconGeneration;
    if (!m_iconDir.isValid())
        return;
    QImage blank(kPanelHeight, kPanelHeight, QImage::Format_ARGB32);
    blank.fill(Qt::transparent);
    blank.save(m_iconDir.filePath(u"tavrink-blank.png"_s));
    QFile::remove(m_iconDir.filePath(u"tavrink-icon-%1.png"_s.arg(m_iconGeneration - 1)));
    if (!m_icon.isEmpty())
        m_icon.constLast().save(m_iconDir.filePath(u"tavrink-icon-%1.png"_s.arg(m_iconGeneration)));
}

QImage StatusNotifierItem::textImage(int scale) const
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setWeight(QFont::DemiBold);
    font.setPixelSize(13 * scale);
    const QFontMetrics metrics(font);
    const int height = kPanelHeight * scale;
    const int width = metrics.horizontalAdvance(m_label) + 4 * scale;
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(kForeground);
    painter.drawText(image.rect(), Qt::AlignCenter, m_label);
    return image;
}
