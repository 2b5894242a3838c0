#include "platform/linux/panel/StatusNotifierItem.h"

#include "platform/SmallFile.h"
#include "platform/linux/panel/HostStyle.h"

#include "platform/linux/panel/DBusMenuDBus.h"
#include "platform/linux/panel/ExportedMenu.h"
#include "platform/linux/panel/PanelPictures.h"
#include "platform/linux/panel/StatusNotifierItemDBus.h"

#include <QCursor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QStandardPaths>

#include <algorithm>

#include <unistd.h>

using namespace Qt::StringLiterals;
using HostStyle::Style;

namespace {

const QString kWatcherService = u"org.kde.StatusNotifierWatcher"_s;
constexpr int kPanelHeight = PanelPictures::panelHeight;
// In the icon theme the item is given: a symbolic icon that hosts which recolour such icons draw
// in their own text colour.
const QString kSymbolicIcon = u"tavrink-symbolic"_s;
const QString kSymbolicIconFile = u"/hicolor/scalable/status/tavrink-symbolic.svg"_s;

// The item's bus name: the nth this process takes.
QString itemServiceName(int n)
{
    return u"org.kde.StatusNotifierItem-%1-%2"_s.arg(::getpid()).arg(n);
}

// The pictures hosts read by name live in the user's own runtime folder, not in the /tmp that
// every account shares (hosts run as the same user).
QString iconFolderTemplate()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return (runtime.startsWith(u'/') && QFileInfo(runtime).isDir() ? runtime : QDir::tempPath()) + u"/Tavrink-XXXXXX"_s;
}
} // namespace

StatusNotifierItem::StatusNotifierItem(QDBusConnection bus, QString id, QString iconTheme,
                                       std::unique_ptr<FallbackStatusItem> fallback, QObject* parent)
    : StatusItem(parent)
    , m_bus(std::move(bus))
    , m_id(std::move(id))
    , m_iconTheme(QFileInfo::exists(iconTheme + kSymbolicIconFile) ? std::move(iconTheme) : QString())
    , m_serviceName(itemServiceName(1))
    , m_iconDir(iconFolderTemplate())
    , m_menu(new ExportedMenu(this))
    , m_watcherWatcher(new QDBusServiceWatcher(kWatcherService, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this))
    , m_fallback(std::move(fallback))
{
    registerDBusTypes();
    new StatusNotifierItemDBus(this);
    new DBusMenuDBus(m_menu);
    connect(m_menu, &ExportedMenu::chosen, this, &StatusItem::itemChosen);
    if (m_fallback) {
        connect(m_fallback.get(), &StatusItem::itemChosen, this, &StatusItem::itemChosen);
        // A tray that starts later, or again, takes the item where no host shows it.
        connect(m_fallback.get(), &FallbackStatusItem::availabilityChanged, this, &StatusNotifierItem::updateFallback);
    }
    connect(m_watcherWatcher, &QDBusServiceWatcher::serviceRegistered, this, &StatusNotifierItem::onWatcherAppeared);
    connect(m_watcherWatcher, &QDBusServiceWatcher::serviceUnregistered, this, &StatusNotifierItem::onWatcherGone);
    // A panel that restarts leaves for a moment; the tray icon only stands in when none comes back.
    m_fallbackDelay.setSingleShot(true);
    m_fallbackDelay.setInterval(2000);
    connect(&m_fallbackDelay, &QTimer::timeout, this, &StatusNotifierItem::updateFallback);
    m_bus.connect(kWatcherService, u"/StatusNotifierWatcher"_s, kWatcherService, u"StatusNotifierItemUnregistered"_s,
                  this, SLOT(onItemUnregistered(QString)));
    // A host that comes or goes after the item registered: asked again what the watcher knows.
    for (const QString& name : {u"StatusNotifierHostRegistered"_s, u"StatusNotifierHostUnregistered"_s})
        m_bus.connect(kWatcherService, u"/StatusNotifierWatcher"_s, kWatcherService, name, this, SLOT(readHost()));
    m_seenCheck.setSingleShot(true);
    m_seenCheck.setInterval(seenDelayMs);
    connect(&m_seenCheck, &QTimer::timeout, this, &StatusNotifierItem::checkSeen);
    m_reregistration.setSingleShot(true);
    connect(&m_reregistration, &QTimer::timeout, this, [this] {
        if (m_isShown && !m_isRegistered && m_bus.interface()->isServiceRegistered(kWatcherService))
            registerWithWatcher();
    });
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
    if (m_fallback)
        m_fallback->setLabel(text);
    if (text == m_label && m_iconGeneration > 0)
        return;
    m_label = text;
    writeIcons();
    Q_EMIT appearanceChanged();
}

void StatusNotifierItem::setIcon(const QList<QByteArray>& pngRepresentations)
{
    if (m_fallback)
        m_fallback->setIcon(pngRepresentations);
    m_icon.clear();
    for (const QByteArray& png : pngRepresentations)
        m_icon.append(PanelPictures::icon(png));
    writeIcons();
    Q_EMIT appearanceChanged();
}

void StatusNotifierItem::setApplicationIcon(const QByteArray& png)
{
    if (m_fallback)
        m_fallback->setApplicationIcon(png);
}

void StatusNotifierItem::setTitle(const QString& title)
{
    if (m_fallback)
        m_fallback->setTitle(title);
    if (title == m_title)
        return;
    m_title = title;
    Q_EMIT titleChanged();
}

void StatusNotifierItem::setMenu(const QList<MenuItem>& items)
{
    m_menu->setItems(items);
    if (m_fallback)
        m_fallback->setMenu(items);
}

void StatusNotifierItem::show()
{
    if (m_isShown)
        return;
    m_isShown = true;
    findInstalledIcon();
    m_bus.registerObject(QString::fromLatin1(itemPath), this, QDBusConnection::ExportAdaptors);
    m_bus.registerObject(QString::fromLatin1(menuPath), m_menu, QDBusConnection::ExportAdaptors);
    m_bus.registerService(m_serviceName);
    if (hasWatcher())
        onWatcherAppeared();
    else
        updateFallback();
}

void StatusNotifierItem::findInstalledIcon()
{
    const bool isInstalled = !m_iconTheme.isEmpty()
        && !QStandardPaths::locate(QStandardPaths::GenericDataLocation, u"icons"_s + kSymbolicIconFile).isEmpty();
    if (std::exchange(m_isIconInstalled, isInstalled) != isInstalled && m_isShown)
        Q_EMIT appearanceChanged();
}

bool StatusNotifierItem::hasWatcher() const
{
    return m_bus.interface() && m_bus.interface()->isServiceRegistered(kWatcherService);
}

bool StatusNotifierItem::isShowingSymbolicIcon() const
{
    return m_hostStyle == Style::SymbolicIcon && !m_iconTheme.isEmpty();
}

QString StatusNotifierItem::iconName() const
{
    if (isShowingSymbolicIcon())
        return kSymbolicIcon;
    if (!m_label.isEmpty() && m_hostStyle == Style::Label)
        return u"tavrink-blank"_s;
    if (!m_label.isEmpty() && m_hostStyle == Style::WidePicture)
        return QString(); // the hostname's picture, as a pixmap
    return u"tavrink-icon-%1"_s.arg(m_iconGeneration);
}

QString StatusNotifierItem::iconThemePath() const
{
    // Plasma colours an icon found through the item's own theme folder as the application colour
    // scheme says, and one from its own icon theme as its panel: the two differ in Breeze Twilight.
    if (isShowingSymbolicIcon())
        return m_isIconInstalled ? QString() : m_iconTheme;
    return m_iconDir.path();
}

DBusImageList StatusNotifierItem::iconPixmap() const
{
    DBusImageList images;
    // Plasma draws a pixmap whenever there is one, and the named icon only otherwise.
    if (isShowingSymbolicIcon())
        return images;
    if (m_label.isEmpty() || m_hostStyle == Style::SquarePicture || m_hostStyle == Style::SymbolicIcon) {
        for (const QImage& image : m_icon)
            images.append(DBusImage::fromImage(image));
    } else if (m_hostStyle == Style::Label) {
        QImage blank(kPanelHeight, kPanelHeight, QImage::Format_ARGB32);
        blank.fill(Qt::transparent);
        images.append(DBusImage::fromImage(blank));
    } else {
        images.append(DBusImage::fromImage(PanelPictures::text(m_label, 1)));
        images.append(DBusImage::fromImage(PanelPictures::text(m_label, 2)));
    }
    return images;
}

// A host may drop an item while it is still there: GNOME's AppIndicator extension does when a
// registration races its own scan of the bus and setting the item up fails. Until the item leaves,
// it registers again, waiting twice as long after each drop (1 s up to about a minute), so that a
// host that keeps dropping it is not flooded.
void StatusNotifierItem::onItemUnregistered(const QString& service)
{
    // Watchers name an item by its service name or by its unique name, alone or with the path
    // after it; ":1.42" must not match ":1.420".
    const QString unique = m_bus.baseService();
    const bool isOurs = service == m_serviceName || service == unique || service.startsWith(unique + u'/');
    if (!m_isShown || !m_isRegistered || !isOurs)
        return;
    m_isRegistered = false;
    m_reregistration.start(1000 << std::min(m_drops++, 6));
}

void StatusNotifierItem::onWatcherAppeared()
{
    m_fallbackDelay.stop();
    m_reregistration.stop();
    m_drops = 0;
    const QDBusReply<uint> pid = m_bus.interface()->servicePid(kWatcherService);
    const QStringList watcher = pid.isValid() ? HostStyle::commandLine(pid.value()) : QStringList();
    const Style style = pid.isValid() ? HostStyle::of(watcher) : Style::WidePicture;
    if (style != m_hostStyle) {
        m_hostStyle = style;
        Q_EMIT appearanceChanged();
    }
    // Such a watcher says a host reads it, and hands items on to indicator applets; on a desktop
    // whose panels have none (Budgie with ayatana-indicator-application installed) nothing does.
    m_isWatcherUnread = HostStyle::passesToIndicators(watcher)
        && !HostStyle::showsIndicators(qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':'));
    m_renewsName = HostStyle::missesEarlyItems(watcher);
    m_registrationsLeft = HostStyle::losesFirstLabel(watcher) || m_renewsName ? 2 : 1;
    registerWithWatcher();
    readHost();
    updateFallback();
}

void StatusNotifierItem::onWatcherGone()
{
    m_isRegistered = false;
    m_registrationsLeft = 0;
    m_isWatcherUnread = false;
    m_hasHost = true;
    m_menu->setShownByPanel(false); // a host gone with the menu open sends no "closed"
    m_fallbackDelay.start();
    checkSeenLater();
}

void StatusNotifierItem::readHost()
{
    QDBusMessage call = QDBusMessage::createMethodCall(kWatcherService, u"/StatusNotifierWatcher"_s,
                                                       u"org.freedesktop.DBus.Properties"_s, u"Get"_s);
    call << kWatcherService << u"IsStatusNotifierHostRegistered"_s;
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *finished;
        // Without the property (or an answer) the watcher is taken at its word that it shows items.
        m_hasHost = (reply.isError() || reply.value().variant().toBool()) && !m_isWatcherUnread;
        updateFallback();
    });
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
        updateFallback();
        Q_EMIT registered();
        // Registering again once the host has settled makes such a host read the label afresh,
        // or show an item it missed while it started.
        if (--m_registrationsLeft > 0)
            QTimer::singleShot(kLabelRenewalDelayMs, this, [this] {
                if (!m_isRegistered)
                    return;
                if (m_renewsName)
                    renewName();
                else
                    registerWithWatcher();
            });
    });
}

// The same objects under a fresh name, which such a watcher announces to its host; the old name
// leaves after the registration, so that a host which did show the item shows it once.
void StatusNotifierItem::renewName()
{
    const QString previous = std::exchange(m_serviceName, itemServiceName(++m_nameCount));
    m_bus.registerService(m_serviceName);
    registerWithWatcher();
    m_bus.unregisterService(previous);
}

void StatusNotifierItem::updateFallback()
{
    checkSeenLater();
    if (!m_fallback)
        return;
    // A watcher that no host reads shows nothing: the tray icon stands in as if there were none.
    const bool needsFallback = m_isShown && !m_fallbackDelay.isActive() && !(hasWatcher() && m_hasHost);
    if (needsFallback && m_fallback->isAvailable())
        m_fallback->show();
    else if (!needsFallback)
        m_fallback->hide();
}

void StatusNotifierItem::checkSeenLater()
{
    if (m_isShown)
        m_seenCheck.start();
}

void StatusNotifierItem::checkSeen()
{
    const bool isSeen = (m_isRegistered && m_hasHost && hasWatcher()) || isShowingFallback();
    if (isSeen == m_isSeen)
        return;
    m_isSeen = isSeen;
    Q_EMIT seenChanged();
}

QPoint StatusNotifierItem::menuPosition(QPoint given, std::optional<QPoint> pointer, const QList<QRect>& screens)
{
    // A click is near the pointer: MATE's applet sends (0, 26) wherever the item is.
    constexpr int nearby = 100;
    const auto onScreen = [&screens](QPoint point) {
        return std::any_of(screens.cbegin(), screens.cend(),
                           [point](const QRect& screen) { return screen.contains(point); });
    };
    const auto isNear
        = [](QPoint a, QPoint b) { return std::abs(a.x() - b.x()) <= nearby && std::abs(a.y() - b.y()) <= nearby; };
    if (onScreen(given) && (!pointer || isNear(given, *pointer)))
        return given;
    const QPoint wanted = pointer.value_or(given);
    if (onScreen(wanted) || screens.isEmpty())
        return wanted;
    const QRect& screen = screens.first();
    return {std::clamp(wanted.x(), screen.left(), screen.right()),
            std::clamp(wanted.y(), screen.top(), screen.bottom())};
}

void StatusNotifierItem::popUpMenu(int x, int y)
{
    // GNOME's extension opens the menu itself on the press of a first click, and asks for it
    // again on the release: one menu is enough.
    if (!m_fallback || m_menu->isShownByPanel())
        return;
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.append(screen->geometry());
    // The pointer's position is known on X11 only; on Wayland the compositor places popups, and
    // under XWayland it is where the pointer last was over an X window, not over the shell's bar.
    const bool isPointerKnown
        = QGuiApplication::platformName() == u"xcb"_s && !qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    const QPoint at = menuPosition({x, y}, isPointerKnown ? std::optional(QCursor::pos()) : std::nullopt, screens);
    m_fallback->popUpMenu(at.x(), at.y());
}

void StatusNotifierItem::useActivationToken(const QString& token)
{
    // Qt's Wayland platform takes the token from here when it next activates a window.
    if (!token.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
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
