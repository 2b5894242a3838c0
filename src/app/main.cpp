// Wires Tavrink's concrete parts together and runs the command the arguments ask for.

#include "app/CommandLine.h"
#include "app/SnapshotCommand.h"
#include "app/WatchCommand.h"
#include "network/HostnameModel.h"
#include "network/NetworkStatusModel.h"
#include "network/PublicIPService.h"
#include "platform/linux/JournalErrorLog.h"
#include "platform/linux/LinuxNetworkInventory.h"
#include "platform/linux/LogindWakeMonitor.h"
#include "platform/linux/NetlinkPathMonitor.h"
#include "platform/linux/SignalNotifier.h"
#include "platform/linux/TimerfdClock.h"
#include "settings/DefaultsStore.h"
#include "settings/SettingsKey.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>

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

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"Tavrink"_s);
    QCoreApplication::setOrganizationName(u"kelvandrosi"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(TAVRINK_VERSION));

    const auto parsed = CommandLine::parse(QCoreApplication::arguments());
    if (const auto* error = std::get_if<CommandLine::Error>(&parsed)) {
        printText(stderr, u"tavrink: %1\n"_s.arg(error->message));
        return 2;
    }
    const auto& options = std::get<CommandLine::Options>(parsed);
    if (options.mode == CommandLine::Mode::Help) {
        printText(stdout, CommandLine::helpText());
        return 0;
    }
    if (options.mode == CommandLine::Mode::Version) {
        printText(stdout, u"Tavrink %1 (%2)\n"_s.arg(QStringLiteral(TAVRINK_VERSION), QStringLiteral(TAVRINK_BUILD)));
        return 0;
    }

    DefaultsStore settings;
    registerTavrinkDefaults(settings);
    LinuxNetworkInventory inventory;
    TimerfdClock clock;
    JournalErrorLog log("com.kelvandrosi.TavrinkMac", "network");
    HostnameModel hostname;
    QNetworkAccessManager network;
    auto publicIPService = options.isPublicLookupSkipped
        ? nullptr
        : std::make_unique<PublicIPService>(
            &network, options.endpoints.isEmpty() ? PublicIPService::defaultEndpoints() : options.endpoints);

    if (options.mode == CommandLine::Mode::Watch) {
        SignalNotifier signals({SIGINT, SIGTERM});
        QObject::connect(&signals, &SignalNotifier::received, &app, [] { QCoreApplication::exit(0); });
        NetworkStatusModel model({inventory, clock, log, std::make_unique<NetlinkPathMonitor>(),
                                  std::make_unique<LogindWakeMonitor>(), std::move(publicIPService)});
        QObject::connect(&model, &NetworkStatusModel::localAddressesChanged, &hostname, &HostnameModel::resolve);
        hostname.resolve();
        WatchCommand watch(model, hostname, stdout);
        return QCoreApplication::exec();
    }

    SnapshotCommand snapshot(inventory, hostname, publicIPService.get(), clock);
    QObject::connect(&snapshot, &SnapshotCommand::finished, &app, [&](const Snapshot& result) {
        if (options.mode == CommandLine::Mode::Json) {
            printText(stdout, QString::fromUtf8(result.toJson() + '\n'));
        } else {
            const QStringList lines = result.menuLines(settings.boolValue(SettingsKey::useFQDN, false),
                                                       settings.boolValue(SettingsKey::showLocalAddresses, true));
            printText(stdout, lines.join(u'\n') + u'\n');
        }
        QCoreApplication::exit(0);
    });
    snapshot.start();
    return QCoreApplication::exec();
}
