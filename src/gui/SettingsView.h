#pragma once

#include <QImage>
#include <QWidget>

class AlertPresenter;
class DefaultsStore;
class HostnameModel;
class LoginItemService;
class QCheckBox;
class QLabel;
class QVBoxLayout;
class QWidget;
class StatusItem;

/// The settings window's content: header, then four switches with a line of explanation each.
/// Three write the settings at once; the fourth registers launch at login and always shows the
/// state the system ended in.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    static constexpr int fixedWidth = 420;
    static constexpr int fixedHeight = 590; // the public address's group below the rest

    struct Parts {
        DefaultsStore& settings;
        HostnameModel& hostname;
        LoginItemService& loginItems;
        AlertPresenter& alerts;
        QImage applicationIcon;
        QString versionLine;
        /// While no panel shows it, the window says so at its top and offers no panel switch.
        const StatusItem* panelItem = nullptr;
    };

    explicit SettingsView(Parts parts, QWidget* parent = nullptr);

    QCheckBox* showHostnameSwitch() const { return m_showHostname; }
    QCheckBox* useFQDNSwitch() const { return m_useFQDN; }
    QCheckBox* showLocalSwitch() const { return m_showLocal; }
    QCheckBox* showVirtualSwitch() const { return m_showVirtual; }
    QCheckBox* lookUpPublicSwitch() const { return m_lookUpPublic; }
    QCheckBox* notifyChangeSwitch() const { return m_notifyChange; }
    QCheckBox* launchAtLoginSwitch() const { return m_launchAtLogin; }
    QString hostnamePreview() const;
    /// The sentence at the top while no panel shows the item; hidden otherwise.
    QLabel* unseenWarning() const { return m_unseen; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* header();
    QWidget* form();
    QWidget* publicAddressForm();
    QCheckBox* settingSwitch(const QString& text, const QString& key, bool fallback);
    static QCheckBox* dependentSwitch(QVBoxLayout& rows, QCheckBox* box);
    void followSettings();
    void followPanel();
    void onLaunchAtLoginFlipped(bool isWanted);
    void readLaunchAtLogin();

    Parts m_parts;
    QLabel* m_unseen = nullptr;
    QCheckBox* m_showHostname = nullptr;
    QLabel* m_showHostnameCaption = nullptr;
    QCheckBox* m_useFQDN = nullptr;
    QCheckBox* m_showLocal = nullptr;
    QCheckBox* m_showVirtual = nullptr;
    QCheckBox* m_lookUpPublic = nullptr;
    QCheckBox* m_notifyChange = nullptr;
    QCheckBox* m_launchAtLogin = nullptr;
    QLabel* m_preview = nullptr;
};
