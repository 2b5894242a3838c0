#pragma once

#include "gui/WindowShelf.h"

#include <QImage>
#include <QList>
#include <QObject>

#include <functional>
#include <memory>

class AlertPresenter;
class Clipboard;
class DefaultsStore;
class DesktopNotifier;
class ErrorLog;
class LoginItemService;
class QWidget;
class HostnameModel;
class MenuController;
class NetworkStatusModel;
class PublicAddressChangeWatch;
class StatusItem;
class UpdateChecker;

/// The application: the panel item, whose label follows the settings, and its menu over the
/// one network status model, made the first time the menu is built.
class TavrinkApp : public QObject {
    Q_OBJECT
public:
    struct Parts {
        DefaultsStore& settings;
        HostnameModel& hostname;
        StatusItem& statusItem;
        Clipboard& clipboard;
        LoginItemService& loginItems;
        AlertPresenter& alerts;
        std::function<std::unique_ptr<NetworkStatusModel>()> makeNetworkStatus;
        QString resourcesPath;
        /// Runs the checks of "Check for Updates…"; none: the row does nothing.
        UpdateChecker* updates = nullptr;
        /// Announces changes of the public address while the setting says so; none: never.
        DesktopNotifier* notifier = nullptr;
        /// Where the announcing records what it cannot do; needed with a notifier.
        ErrorLog* notifierLog = nullptr;
    };
    static constexpr auto settingsWindowId = "tavrink.settings";
    static constexpr auto aboutWindowId = "tavrink.about";

    /// Registers the default settings last, before anything reads them.
    explicit TavrinkApp(Parts parts, QObject* parent = nullptr);
    ~TavrinkApp() override;

    /// Builds the panel item and its menu, and shows it.
    void start();
    /// The model looks the public addresses up while the setting says so, and follows its changes.
    static void followLookupSetting(NetworkStatusModel& model, DefaultsStore& settings);
    /// The one network status model, made on first use.
    NetworkStatusModel& networkStatus();
    MenuController* menu() const { return m_menu.get(); }
    /// Shows the settings window, making it if there is none, in front of other applications.
    void openSettingsWindow();
    /// Shows the about window, making it if there is none, in front of other applications.
    void openAboutWindow();
    /// The template icon, made once from the resources and kept for the life of the process.

Q_SIGNALS:
    void quitRequested();

private:
    QString applicationIconPath() const;
    QImage applicationIcon() const;
    void followNotifySetting();
    void updateLabel();
    void updateMenu();

    Parts m_parts;
    std::unique_ptr<NetworkStatusModel> m_networkStatus;
    std::unique_ptr<PublicAddressChangeWatch> m_changeWatch; // after the model: it goes first
    std::unique_ptr<MenuController> m_menu;
    WindowShelf m_windows; // last: the windows go first, while what they show is still there
};
