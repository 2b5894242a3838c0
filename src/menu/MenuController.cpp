#include "menu/MenuController.h"

#include "bundle/BundleInfo.h"
#include "menu/MenuContent.h"
#include "network/HostnameModel.h"
#include "network/NetworkStatusModel.h"
#include "platform/Clipboard.h"
#include "settings/DefaultsStore.h"
#include "settings/SettingsKey.h"

#include <algorithm>

using namespace Qt::StringLiterals;

MenuController::MenuController(NetworkStatusModel& model, DefaultsStore& settings, HostnameModel& hostname,
                               Clipboard& clipboard, QObject* parent)
    : QObject(parent)
    , m_model(model)
    , m_settings(settings)
    , m_hostname(hostname)
    , m_clipboard(clipboard)
    , m_rebuilder([this] { rebuild(); })
{
    connect(&m_model, &NetworkStatusModel::published, &m_rebuilder, &OncePerTurn::request);
    connect(&m_settings, &DefaultsStore::valueChanged, &m_rebuilder, &OncePerTurn::request);
    connect(&m_hostname, &HostnameModel::resolved, &m_rebuilder, &OncePerTurn::request);
    rebuild();
}

QString MenuController::hostname() const
{
    return m_hostname.name(m_settings.boolValue(SettingsKey::useFQDN, false));
}

void MenuController::rebuild()
{
    m_entries = MenuContent::entries(
        {hostname(), m_model.publicAddress(), m_model.tailscaleAddresses(), m_model.localAddresses(),
         m_model.lastUpdated(), m_model.lastError(), m_settings.boolValue(SettingsKey::showLocalAddresses, true),
         QLocale(), BundleInfo::infoString(u"CFBundleShortVersionString"_s), m_model.tailscaleName(),
         m_settings.boolValue(SettingsKey::showVirtualNetworks, true), m_model.isPublicLookupEnabled(),
         m_model.hasIPv6Route(), m_model.publicIPv6Address()});
    Q_EMIT entriesChanged();
}

void MenuController::choose(const QString& key)
{
    const auto chosen = std::find_if(m_entries.cbegin(), m_entries.cend(),
                                     [&key](const MenuEntry& entry) { return entry.item.key == key; });
    if (chosen == m_entries.cend() || !chosen->item.isEnabled())
        return;
    // What runs is the entry as it stood when the choice arrived, whatever the menu is by then.
    QMetaObject::invokeMethod(
        this, [this, entry = *chosen] { run(entry); }, Qt::QueuedConnection);
}

void MenuController::run(const MenuEntry& entry)
{
    switch (entry.command) {
    case MenuEntry::Command::Copy:
        m_clipboard.setText(entry.copyText);
        break;
    case MenuEntry::Command::CopyHostname:
        // Read again: the name and the setting may have changed since the menu was built.
        m_clipboard.setText(hostname());
        break;
    case MenuEntry::Command::Refresh:
        m_model.refresh();
        break;
    case MenuEntry::Command::OpenAbout:
        Q_EMIT aboutRequested();
        break;
    case MenuEntry::Command::CheckForUpdates:
        Q_EMIT updateCheckRequested();
        break;
    case MenuEntry::Command::OpenSettings:
        Q_EMIT settingsRequested();
        break;
    case MenuEntry::Command::Quit:
        Q_EMIT quitRequested();
        break;
    case MenuEntry::Command::None:
        break;
    }
}
