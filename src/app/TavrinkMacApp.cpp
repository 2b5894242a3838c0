#include "app/TavrinkMacApp.h"

#include "app/MenubarIcon.h"
#include "menu/MenuController.h"
#include "network/HostnameModel.h"
#include "network/NetworkStatusModel.h"
#include "platform/StatusItem.h"
#include "settings/DefaultsStore.h"
#include "settings/SettingsKey.h"

using namespace Qt::StringLiterals;

TavrinkMacApp::TavrinkMacApp(Parts parts, QObject* parent)
    : QObject(parent)
    , m_parts(std::move(parts))
{
    registerTavrinkDefaults(m_parts.settings);
}

TavrinkMacApp::~TavrinkMacApp() = default;

void TavrinkMacApp::start()
{
    StatusItem& item = m_parts.statusItem;
    item.setIcon(menubarIcon(m_parts.resourcesPath));
    item.setApplicationIcon(QImage(m_parts.resourcesPath + u"/com.kelvandrosi.Tavrink.png"_s));
    updateLabel();
    connect(&m_parts.settings, &DefaultsStore::valueChanged, this, [this](const QString& key) {
        if (key == SettingsKey::showHostnameInBar || key == SettingsKey::useFQDN)
            updateLabel();
    });
    connect(&m_parts.hostname, &HostnameModel::resolved, this, &TavrinkMacApp::updateLabel);

    m_menu = std::make_unique<MenuController>(networkStatus(), m_parts.settings, m_parts.hostname, m_parts.clipboard);
    connect(m_menu.get(), &MenuController::entriesChanged, this, &TavrinkMacApp::updateMenu);
    connect(m_menu.get(), &MenuController::quitRequested, this, &TavrinkMacApp::quitRequested);
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
