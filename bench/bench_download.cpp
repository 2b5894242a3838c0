// The memory an update download takes: one interactive check against the manifest address
// given, its offer accepted, with the archive streamed to disk. Prints the resident set just
// before the check (idle, the peak counter reset) and the peak during it, in KiB, and the
// last alert so that the run shows the whole archive arrived.
//   bench_download MANIFEST_URL WORK_FOLDER

#include "platform/AlertPresenter.h"
#include "platform/ErrorLog.h"
#include "platform/linux/session/LinuxBundleReplacer.h"
#include "platform/linux/session/TimerfdClock.h"
#include "settings/DefaultsStore.h"
#include "update/UpdateChecker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QTimer>

#include <cstdio>

namespace {

class AcceptingAlerts : public AlertPresenter {
public:
    QString last;
    int present(const Alert& alert) override
    {
        last = alert.message + QStringLiteral(" | ") + alert.informativeText;
        return 0;
    }
};

class StandardErrorLog : public ErrorLog {
public:
    void error(const QString& message) override { std::fprintf(stderr, "%s\n", qPrintable(message)); }
};

long statusKiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (app.arguments().size() != 4) {
        std::fprintf(stderr, "usage: bench_download MANIFEST_URL WORK_FOLDER UPDATE_HELPER\n");
        return 2;
    }
    const QString work = app.arguments()[2];
    const QString bundle = work + QStringLiteral("/Tavrink.app");
    QDir().mkpath(bundle);
    QFile info(bundle + QStringLiteral("/Info.json"));
    if (!info.open(QIODevice::WriteOnly) || info.write("{\"CFBundleShortVersionString\": \"1.0\"}") < 0)
        return 1;
    info.close();
    DefaultsStore settings(work + QStringLiteral("/Tavrink.conf"));
    settings.setValue(QStringLiteral("UpdateManifestURL"), app.arguments()[1]);
    QNetworkAccessManager network;
    TimerfdClock clock;
    AcceptingAlerts alerts;
    StandardErrorLog log;
    LinuxBundleReplacer replacer;
    UpdateChecker checker({network, clock, alerts, log, settings, replacer,
                           "RWQz5Y6W1c8ZaXnrbqcojSKxjjUjvoSpC4Fq4w8rIwNPIzbwywVDzTeK", bundle, work, app.arguments()[3],
                           std::nullopt});
    long idle = 0;
    QObject::connect(&checker, &UpdateChecker::checkEnded, &app, [&] {
        std::printf("idle_kib %ld\npeak_kib %ld\nlast_alert %s\n", idle, statusKiB("VmHWM:"), qPrintable(alerts.last));
        app.quit();
    });
    QTimer::singleShot(1000, &app, [&] {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5"); // resets the peak to what is resident now
        clear.close();
        idle = statusKiB("VmRSS:");
        checker.check(true);
    });
    return app.exec();
}
