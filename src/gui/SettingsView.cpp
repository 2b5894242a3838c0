#include "gui/SettingsView.h"

#include "gui/FontRoles.h"
#include "network/HostnameModel.h"
#include "platform/AlertPresenter.h"
#include "platform/StatusItem.h"
#include "settings/DefaultsStore.h"
#include "settings/LaunchAtLogin.h"
#include "settings/SettingsKey.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QLabel* caption(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(FontRoles::caption());
    label->setWordWrap(true);
    FontRoles::makeSecondary(*label);
    return label;
}

} // namespace

SettingsView::SettingsView(Parts parts, QWidget* parent)
    : QWidget(parent)
    , m_parts(std::move(parts))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(20);
    // The content sits in the middle of the fixed frame.
    layout->addStretch();
    m_unseen = new QLabel(u"Tavrink is running, but this desktop shows no panel icons."_s, this);
    m_unseen->setWordWrap(true);
    m_unseen->setObjectName(u"unseenWarning"_s);
    QFont bold = m_unseen->font();
    bold.setBold(true);
    m_unseen->setFont(bold);
    layout->addWidget(m_unseen);
    layout->addWidget(header());
    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    layout->addWidget(divider);
    layout->addWidget(form());
    layout->addWidget(publicAddressForm());
    layout->addStretch();
    setFixedSize(fixedWidth, fixedHeight);

    connect(&m_parts.settings, &DefaultsStore::valueChanged, this, &SettingsView::followSettings);
    connect(&m_parts.hostname, &HostnameModel::resolved, this, &SettingsView::followSettings);
    followSettings();
    readLaunchAtLogin();
    if (m_parts.panelItem)
        connect(m_parts.panelItem, &StatusItem::seenChanged, this, &SettingsView::followPanel);
    followPanel();
}

void SettingsView::followPanel()
{
    const bool isSeen = !m_parts.panelItem || m_parts.panelItem->isSeen();
    m_unseen->setVisible(!isSeen);
    m_showHostname->setVisible(isSeen);
    m_showHostnameCaption->setVisible(isSeen);
}

QWidget* SettingsView::header()
{
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(16);
    auto* icon = new QLabel(header);
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    if (!m_parts.applicationIcon.isNull())
        pixmap
            = QPixmap::fromImage(m_parts.applicationIcon.scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    icon->setPixmap(pixmap);
    row->addWidget(icon);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto* name = new QLabel(u"Tavrink"_s, header);
    name->setFont(FontRoles::title2());
    texts->addWidget(name);
    auto* version = new QLabel(m_parts.versionLine, header);
    version->setObjectName(u"version"_s);
    version->setFont(FontRoles::callout());
    FontRoles::makeSecondary(*version);
    texts->addWidget(version);
    row->addLayout(texts);
    row->addStretch();
    return header;
}

QWidget* SettingsView::form()
{
    auto* group = new QFrame(this);
    group->setFrameShape(QFrame::StyledPanel);
    auto* rows = new QVBoxLayout(group);
    rows->setSpacing(4);
    rows->addWidget(m_showHostname
                    = settingSwitch(u"Show hostname in the panel"_s, SettingsKey::showHostnameInBar, true));
    rows->addWidget(m_showHostnameCaption
                    = caption(u"When off, only the icon is shown. Click it to see the hostname."_s, group));
    rows->addSpacing(8);
    rows->addWidget(m_useFQDN
                    = settingSwitch(u"Use fully-qualified domain name (FQDN)"_s, SettingsKey::useFQDN, false));
    m_preview = caption({}, group);
    m_preview->setObjectName(u"hostnamePreview"_s);
    m_preview->setFont(FontRoles::monospacedCaption());
    rows->addWidget(m_preview);
    rows->addSpacing(8);
    rows->addWidget(m_showLocal = settingSwitch(u"Show local IP addresses"_s, SettingsKey::showLocalAddresses, true));
    rows->addWidget(caption(u"Lists the address of each network interface — Wi-Fi, Ethernet, and any virtual adapters. "
                            u"Turn off if virtual machines or containers make the menu long."_s,
                            group));
    // A part of the local addresses: greyed out while they are hidden.
    m_showVirtual = dependentSwitch(
        *rows, settingSwitch(u"Show container and virtual machine networks"_s, SettingsKey::showVirtualNetworks, true));
    rows->addSpacing(8);
    m_launchAtLogin = new QCheckBox(u"Launch at login"_s, group);
    connect(m_launchAtLogin, &QCheckBox::clicked, this, &SettingsView::onLaunchAtLoginFlipped);
    rows->addWidget(m_launchAtLogin);
    // XDG autostart never waits for anyone's approval, so no row says it does.
    rows->addWidget(caption(u"Starts Tavrink when you log in, so it is in the panel after every restart."_s, group));
    return group;
}

QWidget* SettingsView::publicAddressForm()
{
    auto* group = new QFrame(this);
    group->setFrameShape(QFrame::StyledPanel);
    auto* rows = new QVBoxLayout(group);
    rows->setSpacing(4);
    auto* title = new QLabel(u"Public address"_s, group);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    rows->addWidget(title);
    rows->addWidget(m_lookUpPublic
                    = settingSwitch(u"Look up the public address"_s, SettingsKey::lookUpPublicAddress, true));
    rows->addWidget(caption(u"Asks public echo services over HTTPS which address the internet sees, IPv4 and, where "
                            u"the network has it, IPv6. When off, nothing is sent to them."_s,
                            group));
    // Needs the lookups: greyed out while they are off.
    m_notifyChange = dependentSwitch(
        *rows,
        settingSwitch(u"Notify when the public address changes"_s, SettingsKey::notifyPublicAddressChange, false));
    return group;
}

QCheckBox* SettingsView::dependentSwitch(QVBoxLayout& rows, QCheckBox* box)
{
    // Set in under the switch it depends on.
    auto* row = new QHBoxLayout;
    row->addSpacing(24);
    row->addWidget(box);
    rows.addSpacing(4);
    rows.addLayout(row);
    return box;
}

QCheckBox* SettingsView::settingSwitch(const QString& text, const QString& key, bool fallback)
{
    auto* box = new QCheckBox(text, this);
    box->setChecked(m_parts.settings.boolValue(key, fallback));
    connect(box, &QCheckBox::clicked, this, [this, key](bool isOn) { m_parts.settings.setValue(key, isOn); });
    return box;
}

QString SettingsView::hostnamePreview() const
{
    return m_preview->text();
}

void SettingsView::followSettings()
{
    const DefaultsStore& settings = m_parts.settings;
    m_showHostname->setChecked(settings.boolValue(SettingsKey::showHostnameInBar, true));
    m_useFQDN->setChecked(settings.boolValue(SettingsKey::useFQDN, false));
    m_showLocal->setChecked(settings.boolValue(SettingsKey::showLocalAddresses, true));
    m_showVirtual->setChecked(settings.boolValue(SettingsKey::showVirtualNetworks, true));
    m_showVirtual->setEnabled(m_showLocal->isChecked());
    m_lookUpPublic->setChecked(settings.boolValue(SettingsKey::lookUpPublicAddress, true));
    m_notifyChange->setChecked(settings.boolValue(SettingsKey::notifyPublicAddressChange, false));
    m_notifyChange->setEnabled(m_lookUpPublic->isChecked());
    m_preview->setText(m_parts.hostname.name(m_useFQDN->isChecked()));
}

void SettingsView::onLaunchAtLoginFlipped(bool isWanted)
{
    if (const std::optional<QString> error = LaunchAtLogin::setEnabled(m_parts.loginItems, isWanted))
        m_parts.alerts.present({u"Could not change Launch at Login"_s, *error, {}, Alert::Style::Warning});
    // The switch shows what the system now holds, not what was asked for.
    readLaunchAtLogin();
}

void SettingsView::readLaunchAtLogin()
{
    m_launchAtLogin->setChecked(LaunchAtLogin::isEnabled(m_parts.loginItems));
}

void SettingsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    readLaunchAtLogin();
}
