// The panel part of Tavrink, loaded by the tavrink executable for the panel item and --watch, so
// that the command line's snapshot maps none of what they need (widgets, D-Bus, the panel item).
// Wires the concrete parts together.

#include "app/AppDelegate.h"
#include "app/Process.h"
#include "app/TavrinkApp.h"
#include "app/UnseenItemNotice.h"
#include "bundle/BundleInfo.h"
#include "commandline/CommandLine.h"
#include "commandline/WatchCommand.h"
#include "gui/ClassicTrayIcon.h"
#include "gui/MessageBoxAlertPresenter.h"
#include "network/NetworkStatusModel.h"
#include "platform/linux/clipboard/QtClipboard.h"
#include "platform/linux/clipboard/WaylandClipboard.h"
#include "platform/linux/net/NetlinkPathMonitor.h"
#include "platform/linux/net/TailscaleLocalApi.h"
#include "platform/linux/panel/DesktopPanelSetup.h"
#include "platform/linux/panel/StatusNotifierItem.h"
#include "platform/linux/panel/XEmbedTray.h"
#include "platform/linux/session/DBusSingleInstance.h"
#include "platform/linux/session/FreedesktopNotifier.h"
#include "platform/linux/session/LinuxBundleReplacer.h"
#include "platform/linux/session/LogindWakeMonitor.h"
#include "platform/linux/session/SignalNotifier.h"
#include "platform/linux/xdg/XdgApplicationEntry.h"
#include "platform/linux/xdg/XdgAutostartLoginItem.h"
#include "settings/SettingsKey.h"
#include "update/Translocation.h"
#include "update/UpdateChecker.h"
#include "update/UpdateFolder.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

#include <csignal>

using namespace Qt::StringLiterals;
using Process::identify;
using Process::printText;

namespace {

struct Parts : Process::Parts {
    using Process::Parts::Parts;

    std::unique_ptr<NetworkStatusModel> makeNetworkStatus()
    {
        return std::make_unique<NetworkStatusModel>(NetworkStatusModel::Dependencies{
            inventory, clock, log, std::make_unique<NetlinkPathMonitor>(), std::make_unique<LogindWakeMonitor>(),
            std::move(publicIPService), std::move(publicIPv6Service), std::make_unique<TailscaleLocalApi>(log)});
    }
};

int runPanel(int argc, char* argv[], const CommandLine::Options& options)
{
    AppDelegate::chooseDisplayServer();
    QApplication app(argc, argv);
    identify(app);
    app.setQuitOnLastWindowClosed(false);
    const QString applicationId = u"com.kelvandrosi.Tavrink"_s;
    DBusSingleInstance instance(QDBusConnection::sessionBus(), applicationId);
    if (const std::optional<int> status
        = AppDelegate::claimInstance(instance, options.urls, [](const QString& text) { printText(stderr, text); }))
        return *status;
    // The name goes first, so that a copy relaunched in half a second becomes the one instance.
    const auto quit = [&instance] {
        instance.release();
        QCoreApplication::quit();
    };
    const QString bundle = BundleInfo::bundlePath();
    Parts parts(options);
    StatusNotifierItem statusItem(QDBusConnection::sessionBus(), applicationId,
                                  BundleInfo::resourcesPath() + u"/icons"_s,
                                  std::make_unique<ClassicTrayIcon>(std::make_unique<XEmbedTray>()));
    JournalErrorLog clipboardLog{"com.kelvandrosi.TavrinkMac", "clipboard"};
    WaylandClipboard clipboard(std::make_unique<QtClipboard>(), clipboardLog);
    XdgAutostartLoginItem loginItems(XdgAutostartLoginItem::standardAutostartFolder(), BundleInfo::currentExecutable(),
                                     applicationId);
    MessageBoxAlertPresenter alerts;
    JournalErrorLog updateLog{"com.kelvandrosi.TavrinkMac", "update"};
    LinuxBundleReplacer replacer;
    UpdateChecker updates({parts.network, parts.clock, alerts, updateLog, parts.settings, replacer,
                           TAVRINK_MAKER_PUBLIC_KEY, // checked when configured
                           bundle, UpdateFolder::standardCacheHome(), BundleInfo::updateHelper(bundle), std::nullopt});
    JournalErrorLog desktopLog{"com.kelvandrosi.TavrinkMac", "desktop"};
    FreedesktopNotifier notifier(QDBusConnection::sessionBus(), applicationId,
                                 BundleInfo::resourcesPath() + u"/com.kelvandrosi.Tavrink.png"_s, desktopLog);
    TavrinkApp tavrink({parts.settings, parts.hostname, statusItem, clipboard, loginItems, alerts,
                        [&parts] { return parts.makeNetworkStatus(); }, BundleInfo::resourcesPath(), &updates,
                        &notifier, &parts.log});
    DesktopPanelSetup panelSetup(QDBusConnection::sessionBus());
    UnseenItemNotice unseenNotice(
        {statusItem, panelSetup, notifier, desktopLog, [](const QString& line) { printText(stderr, line); }});
    Translocation translocation({alerts, parts.settings, replacer, bundle, QDir::homePath(), u"/opt"_s, quit});
    XdgApplicationEntry desktopEntry(XdgApplicationEntry::standardDataFolder(), bundle, BundleInfo::currentExecutable(),
                                     applicationId);
    AppDelegate delegate({[&translocation] { return translocation.offerToRelocate(); },
                          [&translocation] { return translocation.offerUserInstall(); }, &instance,
                          [&tavrink] { tavrink.openSettingsWindow(); }, [&updates] { updates.start(); }, bundle,
                          [&desktopEntry, &statusItem] {
                              const std::optional<QString> error = desktopEntry.registerCopy();
                              statusItem.findInstalledIcon();
                              return error;
                          },
                          &desktopLog});
    SignalNotifier signals({SIGINT, SIGTERM});
    QObject::connect(&signals, &SignalNotifier::received, &app, quit);
    QObject::connect(&tavrink, &TavrinkApp::quitRequested, &app, quit);
    tavrink.start();
    // What the user cannot see waits until the item is in the panel, or until a host had its moment.
    const auto finishLaunching = [&] { delegate.finishLaunching(options.urls); };
    QObject::connect(&statusItem, &StatusNotifierItem::registered, &app, finishLaunching, Qt::QueuedConnection);
    QTimer::singleShot(250, &app, finishLaunching);
    return QApplication::exec();
}

int runWatch(int argc, char* argv[], const CommandLine::Options& options)
{
    QCoreApplication app(argc, argv);
    identify(app);
    Parts parts(options);
    registerTavrinkDefaults(parts.settings);
    SignalNotifier signals({SIGINT, SIGTERM});
    QObject::connect(&signals, &SignalNotifier::received, &app, &QCoreApplication::quit);
    const std::unique_ptr<NetworkStatusModel> model = parts.makeNetworkStatus();
    TavrinkApp::followLookupSetting(*model, parts.settings);
    QObject::connect(model.get(), &NetworkStatusModel::localAddressesChanged, &parts.hostname, &HostnameModel::resolve);
    parts.hostname.resolve();
    WatchCommand watch(*model, parts.hostname, stdout);
    return QCoreApplication::exec();
}

} // namespace

/// The entry point the tavrink executable calls, with its own arguments: the panel item, or --watch.
extern "C" __attribute__((visibility("default"))) int tavrink_panel_main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const auto parsed = CommandLine::parse(arguments);
    if (std::holds_alternative<CommandLine::Error>(parsed))
        return 2; // the executable has said why already
    const CommandLine::Options& options = std::get<CommandLine::Options>(parsed);
    return options.mode == CommandLine::Mode::Watch ? runWatch(argc, argv, options) : runPanel(argc, argv, options);
}
