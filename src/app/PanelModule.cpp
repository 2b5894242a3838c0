// The panel part of Tavrink, loaded by the tavrink executable for the panel item and --watch, so
// that the command line's snapshot maps none of what they need (widgets, D-Bus, the panel item).
// Wires the concrete parts together.

#include "app/AppDelegate.h"
#include "app/Process.h"
#include "app/TavrinkApp.h"
#include "commandline/CommandLine.h"
#include "commandline/WatchCommand.h"
#include "gui/ClassicTrayIcon.h"
#include "gui/MessageBoxAlertPresenter.h"
#include "network/NetworkStatusModel.h"
#include "platform/linux/clipboard/QtClipboard.h"
#include "platform/linux/clipboard/WaylandClipboard.h"
#include "platform/linux/net/NetlinkPathMonitor.h"
#include "platform/linux/panel/StatusNotifierItem.h"
#include "platform/linux/session/DBusSingleInstance.h"
#include "platform/linux/session/LinuxBundleReplacer.h"
#include "platform/linux/session/LogindWakeMonitor.h"
#include "platform/linux/session/SignalNotifier.h"
#include "platform/linux/xdg/XdgApplicationEntry.h"
#include "platform/linux/xdg/XdgAutostartLoginItem.h"
#include "settings/BundleInfo.h"
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
        return std::make_unique<NetworkStatusModel>(
            NetworkStatusModel::Dependencies{inventory, clock, log, std::make_unique<NetlinkPathMonitor>(),
                                             std::make_unique<LogindWakeMonitor>(), std::move(publicIPService)});
    }
};

int runPanel(int argc, char* argv[], const CommandLine::Options& options)
{
    // Under Wayland only the focused client may set the clipboard; a panel item has no focus,
    // so it runs through XWayland where there is one, unless the user chose a platform.
    if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && qEnvironmentVariableIsSet("DISPLAY")
        && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    identify(app);
    app.setQuitOnLastWindowClosed(false);
    const QString applicationId = u"com.kelvandrosi.Tavrink"_s;
    DBusSingleInstance instance(QDBusConnection::sessionBus(), applicationId);
    QString error;
    switch (instance.claim(options.urls, &error)) {
    case SingleInstance::Claim::Forwarded:
        return 0;
    case SingleInstance::Claim::Refused:
        printText(stderr, u"tavrink: the running Tavrink did not take the request: %1\n"_s.arg(error));
        return 1;
    case SingleInstance::Claim::Alone:
        printText(stderr,
                  u"tavrink: no session bus%1; this copy runs without looking for another one\n"_s.arg(
                      error.isEmpty() ? QString() : u" ("_s + error + u')'));
        break;
    case SingleInstance::Claim::First:
        break;
    }
    // The name goes first, so that a copy relaunched in half a second becomes the one instance.
    const auto quit = [&instance] {
        instance.release();
        QCoreApplication::quit();
    };
    Parts parts(options.isPublicLookupSkipped, options.endpoints);
    StatusNotifierItem statusItem(QDBusConnection::sessionBus(), applicationId,
                                  BundleInfo::resourcesPath() + u"/icons"_s, std::make_unique<ClassicTrayIcon>());
    JournalErrorLog clipboardLog{"com.kelvandrosi.TavrinkMac", "clipboard"};
    WaylandClipboard clipboard(std::make_unique<QtClipboard>(), clipboardLog);
    XdgAutostartLoginItem loginItems(XdgAutostartLoginItem::standardAutostartFolder(), BundleInfo::currentExecutable(),
                                     applicationId);
    MessageBoxAlertPresenter alerts;
    JournalErrorLog updateLog{"com.kelvandrosi.TavrinkMac", "update"};
    LinuxBundleReplacer replacer;
    UpdateChecker updates({parts.network, parts.clock, alerts, updateLog, parts.settings, replacer,
                           TAVRINK_MAKER_PUBLIC_KEY, // checked when configured
                           BundleInfo::bundlePath(), UpdateFolder::standardCacheHome(),
                           BundleInfo::updateHelper(BundleInfo::bundlePath()), std::nullopt});
    TavrinkApp tavrink({parts.settings, parts.hostname, statusItem, clipboard, loginItems, alerts,
                        [&parts] { return parts.makeNetworkStatus(); }, BundleInfo::resourcesPath(), &updates});
    Translocation translocation(
        {alerts, parts.settings, replacer, BundleInfo::bundlePath(), QDir::homePath(), u"/opt"_s, quit});
    AppDelegate delegate({[&translocation] { return translocation.offerToRelocate(); },
                          [&translocation] { return translocation.offerUserInstall(); }, &instance,
                          [&tavrink] { tavrink.openSettingsWindow(); }, [&updates] { updates.start(); }});
    SignalNotifier signals({SIGINT, SIGTERM});
    QObject::connect(&signals, &SignalNotifier::received, &app, quit);
    QObject::connect(&tavrink, &TavrinkApp::quitRequested, &app, quit);
    tavrink.start();
    JournalErrorLog desktopLog{"com.kelvandrosi.TavrinkMac", "desktop"};
    XdgApplicationEntry desktopEntry(XdgApplicationEntry::standardDataFolder(), BundleInfo::bundlePath(),
                                     BundleInfo::currentExecutable(), applicationId);
    // What the user cannot see waits until the item is in the panel, or until a host had its
    // moment to take it: the move check, the desktop entries, the first update schedule.
    bool isLaunched = false;
    const auto finishLaunching = [&] {
        if (std::exchange(isLaunched, true) || !delegate.applicationDidFinishLaunching())
            return;
        delegate.open(options.urls);
        // The desktop learns where this copy lies: the application menu, tavrink: links, activation.
        // A package's copy has its entries from the package, and leaves none behind when removed.
        const QString bundle = BundleInfo::bundlePath();
        if (!bundle.isEmpty() && !BundleInfo::isPackaged(bundle))
            if (const auto failure = desktopEntry.registerCopy())
                desktopLog.error(*failure);
    };
    QObject::connect(&statusItem, &StatusNotifierItem::registered, &app, finishLaunching, Qt::QueuedConnection);
    QTimer::singleShot(250, &app, finishLaunching);
    return QApplication::exec();
}

int runWatch(int argc, char* argv[], const CommandLine::Options& options)
{
    QCoreApplication app(argc, argv);
    identify(app);
    Parts parts(options.isPublicLookupSkipped, options.endpoints);
    registerTavrinkDefaults(parts.settings);
    SignalNotifier signals({SIGINT, SIGTERM});
    QObject::connect(&signals, &SignalNotifier::received, &app, &QCoreApplication::quit);
    const std::unique_ptr<NetworkStatusModel> model = parts.makeNetworkStatus();
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
