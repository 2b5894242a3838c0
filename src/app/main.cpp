// The tavrink executable: the command line's snapshot itself, and the panel item and --watch
// through the panel part, loaded only for them, so that a snapshot starts as quickly as it can.

#include "app/Process.h"
#include "bundle/BundleInfo.h"
#include "commandline/CommandLine.h"
#include "commandline/SnapshotCommand.h"
#include "platform/linux/net/TailscaleLocalApi.h"
#include "settings/SettingsKey.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <dlfcn.h>

using namespace Qt::StringLiterals;
using Process::identify;
using Process::printText;

namespace {

bool hasGraphicalSession()
{
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

int runSnapshot(int argc, char* argv[], const CommandLine::Options& options)
{
    QCoreApplication app(argc, argv);
    identify(app);
    Process::Parts parts(options, DefaultsStore::Reading::Once);
    registerTavrinkDefaults(parts.settings);
    TailscaleLocalApi tailscale(parts.log);
    SnapshotCommand snapshot(parts.inventory, parts.hostname,
                             {parts.publicIPService.get(), parts.publicIPv6Service.get(),
                              parts.settings.boolValue(SettingsKey::lookUpPublicAddress, true)},
                             parts.clock, &tailscale);
    QObject::connect(&snapshot, &SnapshotCommand::finished, &app, [&](const Snapshot& result) {
        if (options.mode == CommandLine::Mode::Json) {
            printText(stdout, QString::fromUtf8(result.toJson() + '\n'));
        } else {
            const DefaultsStore& settings = parts.settings;
            const QStringList lines = result.menuLines(settings.boolValue(SettingsKey::useFQDN, false),
                                                       settings.boolValue(SettingsKey::showLocalAddresses, true),
                                                       settings.boolValue(SettingsKey::showVirtualNetworks, true));
            printText(stdout, lines.join(u'\n') + u'\n');
        }
        QCoreApplication::exit(0);
    });
    snapshot.start();
    return QCoreApplication::exec();
}

// The panel part lies beside the executable's folder, in lib/, in a bundle and in the build tree alike.
int runPanelPart(int argc, char* argv[])
{
    const QString path = QFileInfo(BundleInfo::currentExecutable()).absolutePath() + u"/../lib/tavrink-panel.so"_s;
    void* part = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    const auto entry = part ? reinterpret_cast<int (*)(int, char**)>(dlsym(part, "tavrink_panel_main")) : nullptr;
    if (!entry) {
        printText(stderr, u"tavrink: the panel part cannot be loaded: %1\n"_s.arg(QString::fromLocal8Bit(dlerror())));
        return 1;
    }
    return entry(argc, argv);
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
            return runPanelPart(argc, argv);
        printText(stderr,
                  u"tavrink: no graphical session (DISPLAY and WAYLAND_DISPLAY are unset); "
                  "printing the addresses instead\n"_s);
        options.mode = CommandLine::Mode::Print;
        return runSnapshot(argc, argv, options);
    case CommandLine::Mode::Watch:
        return runPanelPart(argc, argv);
    case CommandLine::Mode::Print:
    case CommandLine::Mode::Json:
        return runSnapshot(argc, argv, options);
    }
    return 0;
}
