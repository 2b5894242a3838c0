// Drives the panel benchmarks on the session bus it is given (bench/run starts Xvfb and a
// private bus): a watcher of its own records when items register.
//   bench_panel startup <tavrink> <minimal_tray> <runs>   time to registration / to show()
//   bench_panel getlayout <runs>                          GetLayout of a menu with 50 local addresses
//   bench_panel instance <tavrink> <runs>                 a later launch beside a running instance

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
public:
    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const { return {}; }
public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service) { Q_EMIT registered(service); }
    void RegisterStatusNotifierHost(const QString&) { }
Q_SIGNALS:
    void registered(const QString& service);
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierHostRegistered();
};

// Starts the program and waits for the event; milliseconds from start, or -1.
double timeTo(const QString& program, const QStringList& arguments,
              const std::function<void(QProcess&, QEventLoop&)>& arm)
{
    QProcess process;
    QEventLoop loop;
    arm(process, loop);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    const double elapsed = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    process.kill();
    process.waitForFinished();
    return elapsed < 9999 ? elapsed : -1;
}

// Items are named org.kde.StatusNotifierItem-<pid>-<n>: only the timed process's own counts, not a
// late one from the run before. (Qt's own tray icon does not register with this watcher: with no
// desktop session it takes the XEmbed path, so the minimal program is timed to show().)
void quitOnRegistration(Watcher& watcher, QProcess& process, QEventLoop& loop)
{
    QObject::connect(&watcher, &Watcher::registered, &loop, [&process, &loop](const QString& service) {
        if (service.section(u'-', 1, 1) == QString::number(process.processId()))
            loop.quit();
    });
}

int startup(const QString& tavrink, const QString& minimal, int runs)
{
    Watcher watcher;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.registerObject(u"/StatusNotifierWatcher"_s, &watcher, QDBusConnection::ExportAllContents);
    bus.registerService(u"org.kde.StatusNotifierWatcher"_s);
    std::vector<double> tavrinkRegistered, minimalShown;
    for (int i = 0; i < runs; ++i) {
        tavrinkRegistered.push_back(timeTo(tavrink, {u"--no-public"_s}, [&](QProcess& process, QEventLoop& loop) {
            quitOnRegistration(watcher, process, loop);
        }));
        minimalShown.push_back(timeTo(minimal, {}, [](QProcess& process, QEventLoop& loop) {
            QObject::connect(&process, &QProcess::readyReadStandardOutput, &loop, &QEventLoop::quit);
        }));
    }
    const double ours = median(tavrinkRegistered);
    std::printf("  tavrink, start to registered with the watcher: %.1f ms (median of %d)\n", ours, runs);
    std::printf("  minimal tray program, start to show():         %.1f ms   ratio %.2f\n", median(minimalShown),
                ours / median(minimalShown));
    return 0;
}

int getLayout(int runs)
{
    ExportedMenu menu;
    const qsizetype rows = exportFiftyAddressMenu(menu);
    const QString service = QDBusConnection::sessionBus().baseService();

    std::vector<double> times;
    QThread* client = QThread::create([&] {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"client"_s);
        for (int i = 0; i < runs; ++i) {
            QDBusMessage call
                = QDBusMessage::createMethodCall(service, u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, u"GetLayout"_s);
            call << 0 << -1 << QStringList();
            QElapsedTimer timer;
            timer.start();
            const QDBusMessage reply = bus.call(call);
            times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e3);
            if (reply.type() != QDBusMessage::ReplyMessage)
                std::printf("  error: %s\n", qPrintable(reply.errorMessage()));
        }
    });
    QObject::connect(client, &QThread::finished, qApp, &QCoreApplication::quit);
    client->start();
    QCoreApplication::exec();
    client->wait();
    delete client;
    std::sort(times.begin(), times.end());
    std::printf("  GetLayout, %lld rows (50 local addresses), round trip over the bus: median %.0f us, p95 %.0f us\n",
                static_cast<long long>(rows), median(times), times[times.size() * 95 / 100]);
    return 0;
}

// Beside a running instance: a later `tavrink` from its start to its exit (the request handed
// over), and to the running instance's settings window on screen, polled with xwininfo every
// 2 ms (so up to that much late). A fresh instance for each run, started and registered first.
int laterInstance(const QString& tavrink, int runs)
{
    Watcher watcher;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.registerObject(u"/StatusNotifierWatcher"_s, &watcher, QDBusConnection::ExportAllContents);
    bus.registerService(u"org.kde.StatusNotifierWatcher"_s);
    const auto isSettingsShown = [] {
        QProcess probe;
        probe.start(u"xwininfo"_s, {u"-name"_s, u"Tavrink Settings"_s});
        probe.waitForFinished();
        return probe.exitCode() == 0;
    };
    std::vector<double> handedOver, shown;
    for (int i = 0; i < runs; ++i) {
        QProcess first;
        QEventLoop registered;
        quitOnRegistration(watcher, first, registered);
        first.start(tavrink, {u"--no-public"_s});
        QTimer::singleShot(10000, &registered, &QEventLoop::quit);
        registered.exec();
        QProcess second;
        QElapsedTimer timer;
        timer.start();
        second.start(tavrink, {});
        second.waitForFinished();
        handedOver.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        while (!isSettingsShown() && timer.elapsed() < 10000)
            QThread::msleep(2);
        shown.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        first.terminate();
        first.waitForFinished();
    }
    std::printf("  a later tavrink, start to exit (request handed over): %.1f ms (median of %d)\n", median(handedOver),
                runs);
    std::printf("  a later tavrink, start to the settings window on screen: %.1f ms (median of %d)\n", median(shown),
                runs);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.value(1) == u"startup"_s && arguments.size() == 5)
        return startup(arguments[2], arguments[3], arguments[4].toInt());
    if (arguments.value(1) == u"getlayout"_s && arguments.size() == 3)
        return getLayout(arguments[2].toInt());
    if (arguments.value(1) == u"instance"_s && arguments.size() == 4)
        return laterInstance(arguments[2], arguments[3].toInt());
    std::fprintf(stderr,
                 "usage: bench_panel startup <tavrink> <minimal_tray> <runs> | getlayout <runs> | "
                 "instance <tavrink> <runs>\n");
    return 2;
}

#include "bench_panel.moc"
