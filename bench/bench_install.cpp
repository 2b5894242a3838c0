// The install of a downloaded release, as the panel does it now (the update helper in a process
// of its own, the swap here) and as one process would do it all (unpacking, checks, staging and
// the swap in the event loop's thread), each on a fresh copy of the installed bundle. While the
// helper runs, a thread with a bus connection of its own asks the exported menu for its layout
// every 10 ms, as a panel does when the menu is opened: its round trips show whether the event
// loop kept answering.
//   bench_install ARCHIVE INSTALLED_BUNDLE PUBLIC_KEY_LINE HELPER WORK_FOLDER RUNS

#include "BenchSupport.h"
#include "bundle/BundleInstaller.h"
#include "platform/linux/session/LinuxBundleReplacer.h"
#include "update/UpdateHelper.h"
#include "verify/UpdateArchive.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

double percentile(std::vector<double> values, int p)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[std::min(values.size() - 1, values.size() * static_cast<size_t>(p) / 100)];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 7) {
        std::fprintf(stderr, "usage: bench_install ARCHIVE INSTALLED_BUNDLE PUBLIC_KEY_LINE HELPER WORK_FOLDER RUNS\n");
        return 2;
    }
    const QString archive = arguments[1], source = arguments[2], helper = arguments[4], work = arguments[5];
    const QByteArray keyLine = arguments[3].toLatin1();
    const auto key = Minisign::parsePublicKey(keyLine);
    const int runs = arguments[6].toInt();
    if (!key || runs < 1)
        return 2;
    LinuxBundleReplacer replacer;
    const QString installed = work + u"/Applications/Tavrink.app"_s;
    // A fresh installed copy and an empty attempt folder, as an accepted offer finds them.
    const auto prepareRun = [&] {
        BundleInstaller::remove(work + u"/Applications"_s);
        BundleInstaller::remove(work + u"/attempt"_s);
        QDir().mkpath(work + u"/Applications"_s);
        QDir().mkpath(work + u"/attempt"_s);
        if (BundleInstaller::copy(source, installed))
            qFatal("the installed bundle cannot be copied");
    };

    ExportedMenu menu;
    exportFiftyAddressMenu(menu);
    const QString service = QDBusConnection::sessionBus().baseService();

    std::vector<double> helperTimes, inProcessTimes, roundTrips;
    for (int run = 0; run < runs; ++run) {
        prepareRun();
        std::atomic<bool> isInstalling = true;
        std::vector<double> trips;
        QThread* client = QThread::create([&] {
            QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"client-%1"_s.arg(run));
            while (isInstalling) {
                QDBusMessage call = QDBusMessage::createMethodCall(service, u"/MenuBar"_s, u"com.canonical.dbusmenu"_s,
                                                                   u"GetLayout"_s);
                call << 0 << -1 << QStringList();
                QElapsedTimer timer;
                timer.start();
                bus.call(call, QDBus::Block, 10000);
                trips.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
                QThread::msleep(10);
            }
        });
        client->start();
        QElapsedTimer timer;
        timer.start();
        const QString staging = BundleInstaller::stagingPath(installed);
        UpdateHelper helperRun(
            {helper, archive, work + u"/attempt/unpacked"_s, staging, keyLine, u"1.1"_s, std::chrono::minutes(5)});
        QEventLoop loop;
        std::optional<QString> failure;
        QObject::connect(&helperRun, &UpdateHelper::finished, &loop, [&](const UpdateHelper::Result& result) {
            failure = result.failure ? result.failure : BundleInstaller::swap(staging, installed, replacer);
            loop.quit();
        });
        helperRun.start();
        loop.exec();
        helperTimes.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        isInstalling = false;
        while (!client->isFinished()) // its last call is answered here
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        delete client;
        roundTrips.insert(roundTrips.end(), trips.begin(), trips.end());
        if (failure)
            qFatal("the install through the helper failed: %s", qPrintable(*failure));

        prepareRun();
        timer.restart();
        const auto prepared = UpdateArchive::prepare(archive, work + u"/attempt/unpacked"_s, *key, u"1.1"_s);
        if (std::holds_alternative<UpdateArchive::Failure>(prepared))
            qFatal("the archive is refused: %s", qPrintable(std::get<UpdateArchive::Failure>(prepared).detail));
        const auto staged = UpdateArchive::stage(std::get<QString>(prepared), staging, *key);
        if (staged || BundleInstaller::swap(staging, installed, replacer))
            qFatal("the install in one process failed");
        inProcessTimes.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    BundleInstaller::remove(work + u"/Applications"_s);
    BundleInstaller::remove(work + u"/attempt"_s);
    const double ours = median(helperTimes), theirs = median(inProcessTimes);
    std::printf(
        "  install through the update helper: %.0f ms   all in one process: %.0f ms   ratio %.2f (median of %d)\n",
        ours, theirs, ours / theirs, runs);
    std::printf("  GetLayout during the helper's installs: %zu round trips, median %.2f ms, p99 %.2f ms, max %.2f ms\n",
                roundTrips.size(), median(roundTrips), percentile(roundTrips, 99), percentile(roundTrips, 100));
    return 0;
}
