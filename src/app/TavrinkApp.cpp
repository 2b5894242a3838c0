#include "app/TavrinkApp.h"

#include "app/TemplateIcon.h"
#include "bundle/BundleInfo.h"
#include "gui/AboutView.h"
#include "gui/SettingsView.h"
#include "menu/MenuController.h"
#include "network/HostnameModel.h"
#include "network/NetworkStatusModel.h"
#include "network/PublicAddressChangeWatch.h"
#include "platform/StatusItem.h"
#include "settings/DefaultsStore.h"
#include "settings/SettingsKey.h"
#include "update/UpdateChecker.h"

#include <QFile>

using namespace Qt::StringLiterals;

TavrinkApp::TavrinkApp(Parts parts, QObject* parent)
    : QObject(parent)
    , m_parts(std::move(parts))
{
    registerTavrinkDefaults(m_parts.settings);
}

TavrinkApp::~TavrinkApp() = default;

void TavrinkApp::start()
{
    StatusItem& item = m_parts.statusItem;
    // The files go as they are: decoding and encoding them again would only slow the start.
    item.setIcon(TemplateIcon::files(m_parts.resourcesPath));
    QFile applicationIconFile(applicationIconPath());
    item.setApplicationIcon(applicationIconFile.open(QIODevice::ReadOnly) ? applicationIconFile.readAll()
                                                                          : QByteArray());
    updateLabel();
    connect(&m_parts.settings, &DefaultsStore::valueChanged, this, [this](const QString& key) {
        if (key == SettingsKey::showHostnameInBar || key == SettingsKey::useFQDN)
            updateLabel();
    });
    connect(&m_parts.hostname, &HostnameModel::resolved, this, &TavrinkApp::updateLabel);

    m_menu = std::make_unique<MenuController>(networkStatus(), m_parts.settings, m_parts.hostname, m_parts.clipboard);
    connect(m_menu.get(), &MenuController::entriesChanged, this, &TavrinkApp::updateMenu);
    connect(m_menu.get(), &MenuController::quitRequested, this, &TavrinkApp::quitRequested);
    connect(m_menu.get(), &MenuController::aboutRequested, this, &TavrinkApp::openAboutWindow);
    connect(m_menu.get(), &MenuController::settingsRequested, this, &TavrinkApp::openSettingsWindow);
    connect(&item, &StatusItem::itemChosen, m_menu.get(), &MenuController::choose);
    if (UpdateChecker* updates = m_parts.updates) {
        connect(m_menu.get(), &MenuController::updateCheckRequested, updates, [updates] { updates->check(true); });
        connect(updates, &UpdateChecker::quitRequested, this, &TavrinkApp::quitRequested);
    }
    updateMenu();
    item.show();
    m_parts.hostname.resolve();
}

void TavrinkApp::followLookupSetting(NetworkStatusModel& model, DefaultsStore& settings)
{
    const auto follow = [&model, &settings] {
        model.setPublicLookupEnabled(settings.boolValue(SettingsKey::lookUpPublicAddress, true));
    };
    follow();
    connect(&settings, &DefaultsStore::valueChanged, &model, [follow](const QString& key) {
        if (key == SettingsKey::lookUpPublicAddress)
            follow();
    });
}

NetworkStatusModel& TavrinkApp::networkStatus()
{
    if (!m_networkStatus) {
        m_networkStatus = m_parts.makeNetworkStatus();
        followLookupSetting(*m_networkStatus, m_parts.settings);
        // A network change may bring a new domain, and with it a new fully qualified name.
        connect(m_networkStatus.get(), &NetworkStatusModel::localAddressesChanged, &m_parts.hostname,
                &HostnameModel::resolve);
        if (m_parts.notifier && m_parts.notifierLog)
            followNotifySetting();
    }
    return *m_networkStatus;
}

void TavrinkApp::followNotifySetting()
{
    m_changeWatch = std::make_unique<PublicAddressChangeWatch>(
        PublicAddressChangeWatch::Parts{*m_networkStatus, *m_parts.notifier, m_parts.clipboard, *m_parts.notifierLog});
    const auto follow = [this] {
        m_changeWatch->setEnabled(m_parts.settings.boolValue(SettingsKey::notifyPublicAddressChange, false));
    };
    follow();
    connect(&m_parts.settings, &DefaultsStore::valueChanged, m_changeWatch.get(), [follow](const QString& key) {
        if (key == SettingsKey::notifyPublicAddressChange)
            follow();
    });
}

QString TavrinkApp::applicationIconPath() const
{
    return m_parts.resourcesPath + u"/com.kelvandrosi.Tavrink.png"_s;
}

QImage TavrinkApp::applicationIcon() const
{
    return QImage(applicationIconPath());
}

void TavrinkApp::openSettingsWindow()
{
    m_windows.present(QLatin1String(settingsWindowId), u"Tavrink Settings"_s, [this] {
        return std::make_unique<SettingsView>(SettingsView::Parts{m_parts.settings, m_parts.hostname,
                                                                  m_parts.loginItems, m_parts.alerts, applicationIcon(),
                                                                  BundleInfo::versionLine(), &m_parts.statusItem});
    });
}

void TavrinkApp::openAboutWindow()
{
    m_windows.present(QLatin1String(aboutWindowId), u"About Tavrink"_s,
                      [this] { return std::make_unique<AboutView>(applicationIcon(), BundleInfo::versionLine()); });
}

void TavrinkApp::updateLabel()
{
    const DefaultsStore& settings = m_parts.settings;
    const QString name = m_parts.hostname.name(settings.boolValue(SettingsKey::useFQDN, false));
    m_parts.statusItem.setLabel(settings.boolValue(SettingsKey::showHostnameInBar, true) ? name : QString());
    m_parts.statusItem.setTitle(name);
}

void TavrinkApp::updateMenu()
{
    QList<MenuItem> items;
    for (const MenuEntry& entry : m_menu->entries())
        items.append(entry.item);
    m_parts.statusItem.setMenu(items);
}
