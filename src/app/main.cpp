// Wires Tavrink's concrete parts together and runs what the arguments ask for.

#include "app/AppDelegate.h"
#include "app/CommandLine.h"
#include "app/SnapshotCommand.h"
#include "app/TavrinkApp.h"
#include "app/WatchCommand.h"
#include "gui/ClassicTrayIcon.h"
#include "gui/MessageBoxAlertPresenter.h"
#include "network/HostnameModel.h"
#include "network/NetworkStatusModel.h"
#include "network/PublicIPService.h"
#include "platform/linux/DBusSingleInstance.h"
#include "platform/linux/JournalErrorLog.h"
#include "platform/linux/LinuxBundleReplacer.h"
#include "platform/linux/LinuxNetworkInventory.h"
#include "platform/linux/LogindWakeMonitor.h"
#include "platform/linux/NetlinkPathMonitor.h"
#include "platform/linux/QtClipboard.h"
#include "platform/linux/SignalNotifier.h"
#include "platform/linux/StatusNotifierItem.h"
#include "platform/linux/TimerfdClock.h"
#include "platform/linux/WaylandClipboard.h"
#include "platform/linux/XdgApplicationEntry.h"
#include "platform/linux/XdgAutostartLoginItem.h"
#include "settings/BundleInfo.h"
#include "settings/DefaultsStore.h"
#include "settings/SettingsKey.h"
#include "update/Translocation.h"
#include "update/UpdateChecker.h"
#include "update/UpdateFolder.h"

#include <QApplication>
#include <QDir>
#include <QNetworkAccessManager>
#include <QTimer>

#include <csignal>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

void printText(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

bool hasGraphicalSession()
{
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

void identify(QCoreApplication& app)
{
    app.setApplicationName(u"Tavrink"_s);
    app.setOrganizationName(u"kelvandrosi"_s);
    app.setApplicationVersion(QStringLiteral(TAVRINK_VERSION));
}

// What every mode shares: settings, the machine's network, the clock, the log and the lookup.
struct Parts {
    explicit Parts(const CommandLine::Options& options)
        : publicIPService(
            options.isPublicLookupSkipped
                ? nullptr
                : std::make_unique<PublicIPService>(
                    &network, options.endpoints.isEmpty() ? PublicIPService::defaultEndpoints() : options.endpoints))
    {
    }

    std::unique_ptr<NetworkStatusModel> makeNetworkStatus()
    {
        return std::make_unique<NetworkStatusModel>(
            NetworkStatusModel::Dependencies{inventory, clock, log, std::make_unique<NetlinkPathMonitor>(),
                                             std::make_unique<LogindWakeMonitor>(), std::move(publicIPService)});
    }

    DefaultsStore settings;
    LinuxNetworkInventory inventory;
    TimerfdClock clock;
    JournalErrorLog log{"com.kelvandrosi.TavrinkMac", "network"};
    HostnameModel hostname;
    QNetworkAccessManager network;
    std::unique_ptr<PublicIPService> publicIPService;
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
    Parts parts(options);
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
    Parts parts(options);
    registerTavrinkDefaults(parts.settings);
    SignalNotifier signals({SIGINT, SIGTERM});
    QObject::connect(&signals, &SignalNotifier::received, &app, &QCoreApplication::quit);
    const std::unique_ptr<NetworkStatusModel> model = parts.makeNetworkStatus();
    QObject::connect(model.get(), &NetworkStatusModel::localAddressesChanged, &parts.hostname, &HostnameModel::resolve);
    parts.hostname.resolve();
    WatchCommand watch(*model, parts.hostname, stdout);
    return QCoreApplication::exec();
}

int runSnapshot(int argc, char* argv[], const CommandLine::Options& options)
{
    QCoreApplication app(argc, argv);
    identify(app);
    Parts parts(options);
    registerTavrinkDefaults(parts.settings);
    SnapshotCommand snapshot(parts.inventory, parts.hostname, parts.publicIPService.get(), parts.clock);
    QObject::connect(&snapshot, &SnapshotCommand::finished, &app, [&](const Snapshot& result) {
        if (options.mode == CommandLine::Mode::Json) {
            printText(stdout, QString::fromUtf8(result.toJson() + '\n'));
        } else {
            const QStringList lines = result.menuLines(parts.settings.boolValue(SettingsKey::useFQDN, false),
                                                       parts.settings.boolValue(SettingsKey::showLocalAddresses, true));
            printText(stdout, lines.join(u'\n') + u'\n');
        }
        QCoreApplication::exit(0);
    });
    snapshot.start();
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const auto parsed = CommandLine::parse(arguments);
    if (const auto* error = std::get_if<CommandLine::Error>(&parsed)) {
        printText(stderr, u"tavrink: %1\n"_s.arg(error->message));
        return 2;
    }
    CommandLine::Options options = std::get<CommandLine::Options>(parsed);
    switch (options.mode) {
    case CommandLine::Mode::Help:
        printText(stdout, CommandLine::helpText());
        return 0;
    case CommandLine::Mode::Version:
        printText(stdout, u"Tavrink %1 (%2)\n"_s.arg(QStringLiteral(TAVRINK_VERSION), QStringLiteral(TAVRINK_BUILD)));
        return 0;
    case CommandLine::Mode::Panel:
        if (hasGraphicalSession())
            return runPanel(argc, argv, options);
        printText(stderr,
                  u"tavrink: no graphical session (DISPLAY and WAYLAND_DISPLAY are unset); "
                  "printing the addresses instead\n"_s);
        options.mode = CommandLine::Mode::Print;
        return runSnapshot(argc, argv, options);
    case CommandLine::Mode::Watch:
        return runWatch(argc, argv, options);
    case CommandLine::Mode::Print:
    case CommandLine::Mode::Json:
        return runSnapshot(argc, argv, options);
    }
    return 0;
}
