#include "app/TavrinkMacApp.h"

#include "app/AboutView.h"
#include "app/MenubarIcon.h"
#include "app/SettingsView.h"
#include "menu/MenuController.h"
#include "network/HostnameModel.h"
#include "network/NetworkStatusModel.h"
#include "platform/StatusItem.h"
#include "settings/BundleInfo.h"
#include "settings/DefaultsStore.h"
#include "settings/SettingsKey.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

using namespace Qt::StringLiterals;

TavrinkMacApp::TavrinkMacApp(Parts parts, QObject* parent)
    : QObject(parent)
    , m_parts(std::move(parts))
{
    registerTavrinkDefaults(m_parts.settings);
}

TavrinkMacApp::~TavrinkMacApp()
{
    // The windows belong to the application's window list, which ends with the application.
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window->objectName() == QLatin1String(settingsWindowId)
            || window->objectName() == QLatin1String(aboutWindowId))
            delete window;
    }
}

void TavrinkMacApp::start()
{
    StatusItem& item = m_parts.statusItem;
    item.setIcon(menubarIcon(m_parts.resourcesPath));
    item.setApplicationIcon(applicationIcon());
    updateLabel();
    connect(&m_parts.settings, &DefaultsStore::valueChanged, this, [this](const QString& key) {
        if (key == SettingsKey::showHostnameInBar || key == SettingsKey::useFQDN)
            updateLabel();
    });
    connect(&m_parts.hostname, &HostnameModel::resolved, this, &TavrinkMacApp::updateLabel);

    m_menu = std::make_unique<MenuController>(networkStatus(), m_parts.settings, m_parts.hostname, m_parts.clipboard);
    connect(m_menu.get(), &MenuController::entriesChanged, this, &TavrinkMacApp::updateMenu);
    connect(m_menu.get(), &MenuController::quitRequested, this, &TavrinkMacApp::quitRequested);
    connect(m_menu.get(), &MenuController::aboutRequested, this, &TavrinkMacApp::openAboutWindow);
    connect(m_menu.get(), &MenuController::settingsRequested, this, &TavrinkMacApp::openSettingsWindow);
    connect(&item, &StatusItem::itemChosen, m_menu.get(), &MenuController::choose);
    updateMenu();
    item.show();
    m_parts.hostname.resolve();
}

NetworkStatusModel& TavrinkMacApp::networkStatus()
{
    if (!m_networkStatus) {
        m_networkStatus = m_parts.makeNetworkStatus();
        // A network change may bring a new domain, and with it a new fully qualified name.
        connect(m_networkStatus.get(), &NetworkStatusModel::localAddressesChanged, &m_parts.hostname,
                &HostnameModel::resolve);
    }
    return *m_networkStatus;
}

QString TavrinkMacApp::labelText(bool showHostnameInBar, bool useFQDN, const QString& fullName,
                                 const QString& shortName)
{
    if (!showHostnameInBar)
        return {};
    return useFQDN ? fullName : shortName;
}

const QList<QImage>& TavrinkMacApp::menubarIcon(const QString& resourcesPath)
{
    static const QList<QImage> icon = MenubarIcon::load(resourcesPath);
    return icon;
}

QImage TavrinkMacApp::applicationIcon() const
{
    return QImage(m_parts.resourcesPath + u"/com.kelvandrosi.Tavrink.png"_s);
}

void TavrinkMacApp::openSettingsWindow()
{
    auto view = std::make_unique<SettingsView>(SettingsView::Parts{m_parts.settings, m_parts.hostname,
                                                                   m_parts.loginItems, m_parts.alerts,
                                                                   applicationIcon(), BundleInfo::versionLine()});
    presentWindow(QLatin1String(settingsWindowId), u"Tavrink Settings"_s, std::move(view));
}

void TavrinkMacApp::openAboutWindow()
{
    auto view = std::make_unique<AboutView>(applicationIcon(), BundleInfo::versionLine());
    presentWindow(QLatin1String(aboutWindowId), u"About Tavrink"_s, std::move(view));
}

void TavrinkMacApp::presentWindow(const QString& id, const QString& title, std::unique_ptr<QWidget> root)
{
    QWidget* window = nullptr;
    const QList<QWidget*> windows = QApplication::topLevelWidgets();
    for (QWidget* candidate : windows) {
        if (candidate->objectName() == id) {
            window = candidate;
            break;
        }
    }
    if (!window) {
        // Titled and closable only: no minimise, no maximise, no resizing; hidden, not destroyed, on close.
        window = root.release();
        window->setObjectName(id);
        window->setWindowTitle(title);
        window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->setFixedSize(window->size());
        if (const QScreen* screen = QApplication::primaryScreen())
            window->move(screen->availableGeometry().center() - window->rect().center());
    }
    // A window that is still there keeps its content, size and place; the new content is dropped.
    window->show();
    window->raise();
    window->activateWindow();
}

void TavrinkMacApp::updateLabel()
{
    const DefaultsStore& settings = m_parts.settings;
    const bool useFQDN = settings.boolValue(SettingsKey::useFQDN, false);
    const QString full = m_parts.hostname.fullName();
    const QString shortName = HostnameModel::shortName(full);
    m_parts.statusItem.setLabel(
        labelText(settings.boolValue(SettingsKey::showHostnameInBar, true), useFQDN, full, shortName));
    m_parts.statusItem.setTitle(useFQDN ? full : shortName);
}

void TavrinkMacApp::updateMenu()
{
    QList<MenuItem> items;
    for (const MenuEntry& entry : m_menu->entries())
        items.append(entry.item);
    m_parts.statusItem.setMenu(items);
}
