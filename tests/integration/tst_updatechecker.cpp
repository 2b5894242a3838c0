// The whole update flow against an HTTPS server on 127.0.0.1 with the test authority: the
// manifest, the offer, the download, the checks and the swap into a temporary folder standing
// for the installation, with the relaunch observed through a marker the new bundle writes.

#include "FakeClock.h"
#include "Fakes.h"
#include "Release.h"
#include "TestHttpsServer.h"
#include "platform/linux/LinuxBundleReplacer.h"
#include "settings/DefaultsStore.h"
#include "update/BundleInstaller.h"
#include "update/CodeSignature.h"
#include "update/UpdateChecker.h"

#include <QNetworkAccessManager>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;
using Reply = TestHttpsServer::Reply;

namespace {

QByteArray resourcesOf(const QString& bundle)
{
    const auto listing = CodeSignature::resources(bundle);
    return std::holds_alternative<QByteArray>(listing) ? std::get<QByteArray>(listing) : QByteArray();
}

// The system's replacer, or one that reports that the file system cannot exchange (and, asked
// to, loses the staged bundle on the way, so that the second of the two moves fails).
class ScriptedReplacer : public LinuxBundleReplacer {
public:
    enum class Mode { System, TwoMoves, SecondMoveFails } mode = Mode::System;

    Exchange exchange(const QString& first, const QString& second, QString* error) override
    {
        if (mode == Mode::System)
            return LinuxBundleReplacer::exchange(first, second, error);
        if (mode == Mode::SecondMoveFails)
            QDir(first).removeRecursively();
        return Exchange::Unsupported;
    }
};

} // namespace

class TestUpdateChecker : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TestCertificates> m_certificates;
    QNetworkAccessManager m_network;
    Minisign::SecretKey m_makerKey;
    Minisign::SecretKey m_otherKey;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_installed;
    QString m_temporary;
    QString m_marker;
    FakeClock m_clock;
    ScriptedAlertPresenter m_alerts;
    RecordingErrorLog m_log;
    ScriptedReplacer m_replacer;
    std::unique_ptr<DefaultsStore> m_settings;
    std::unique_ptr<TestHttpsServer> m_server;
    std::unique_ptr<UpdateChecker> m_checker;

    QString path(const QString& name) const { return m_dir->filePath(name); }

    // A release archive of this version, signed by this key, for the server to hand out.
    QByteArray release(const QString& version, const Minisign::SecretKey& key)
    {
        const QString bundle
            = path(u"releases/%1-%2/Tavrink.app"_s.arg(version, QString::fromLatin1(key.keyId.toHex())));
        const QString zip = bundle + u".zip"_s;
        if (!QFile::exists(zip)) {
            if (!makeMarkerBundle(bundle, version, m_marker))
                qFatal("the release's bundle cannot be made");
            const auto error
                = Release::signBundle(bundle, key).value_or(Release::zipBundle(bundle, zip).value_or(QString()));
            if (!error.isEmpty())
                qFatal("the release cannot be made: %s", qPrintable(error));
        }
        return readFile(zip);
    }
    // Serves the manifest, then the archive.
    void serve(const QByteArray& manifest, const QByteArray& archive = {}, int manifestStatus = 200)
    {
        const int first = m_server->requestCount();
        m_server->setHandler([=](int index) {
            return index == first ? Reply{manifestStatus, manifest} : Reply{200, archive};
        });
    }
    QByteArray manifest(const QString& version, const QString& notes = {}, const QString& url = {})
    {
        const QString archive = url.isEmpty() ? m_server->url().toString() + u"/Tavrink.zip"_s : url;
        return (u"{\"version\": \"%1\", \"url\": \"%2\""_s.arg(version, archive)
                + (notes.isNull() ? QString() : u", \"notes\": \"%1\""_s.arg(notes)) + u'}')
            .toUtf8();
    }
    // Runs one check to its end: whether it ended in a quit request.
    bool runCheck(bool interactive)
    {
        QSignalSpy ended(m_checker.get(), &UpdateChecker::checkEnded);
        QSignalSpy quit(m_checker.get(), &UpdateChecker::quitRequested);
        m_checker->check(interactive);
        if (!QTest::qWaitFor([&] { return !ended.isEmpty() || !quit.isEmpty(); }, 20000))
            qFatal("the check never ended");
        return !quit.isEmpty();
    }
    QStringList alertTexts() const
    {
        QStringList texts;
        for (const Alert& alert : m_alerts.presented)
            texts << alert.message + u" | "_s + alert.informativeText;
        return texts;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_certificates = std::make_unique<TestCertificates>();
        if (!m_certificates->trustInThisProcess())
            QSKIP(qPrintable(u"the openssl command is needed: "_s + m_certificates->errorString()));
        m_makerKey = std::get<Minisign::SecretKey>(Minisign::parseSecretKey(Minisign::generateSecretKey()));
        m_otherKey = std::get<Minisign::SecretKey>(Minisign::parseSecretKey(Minisign::generateSecretKey()));
        m_server = TestHttpsServer::start(m_certificates->trusted(), {});
        QVERIFY(m_server);
    }

    void init()
    {
        QTest::failOnWarning(QRegularExpression(u".*"_s));
        m_dir = std::make_unique<QTemporaryDir>();
        m_installed = path(u"Applications/Tavrink.app"_s);
        m_temporary = path(u"tmp"_s);
        m_marker = path(u"relaunched"_s);
        QVERIFY(QDir().mkpath(m_temporary));
        QVERIFY(makeMarkerBundle(m_installed, u"1.0"_s, m_marker));
        QFile::remove(m_marker);
        m_alerts.presented.clear();
        m_alerts.answer = 0;
        m_replacer.mode = ScriptedReplacer::Mode::System;
        m_log.messages.clear();
        m_settings = std::make_unique<DefaultsStore>(path(u"Tavrink.conf"_s));
        m_settings->setValue(u"UpdateManifestURL"_s, m_server->url().toString() + u"/appcast.json"_s);
        m_checker = std::make_unique<UpdateChecker>(
            UpdateChecker::Parts{m_network, m_clock, m_alerts, m_log, *m_settings, m_replacer, m_makerKey.publicKey(),
                                 m_installed, m_temporary, std::nullopt});
    }
    void cleanup()
    {
        m_checker.reset();
        // What a case mounted is unmounted, and a read-only installation folder made writable
        // again, so that both can be removed.
        const QString folder = path(u"Applications"_s);
        for (const QString& mounted : {folder, m_temporary}) {
            if (geteuid() == 0)
                runCommand(u"mountpoint -q '%1' && umount '%1'"_s.arg(mounted));
        }
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // An accepted offer installs the new bundle and relaunches it, keeping the old one in the work
    // folder: by an exchange, by two moves where the file system cannot exchange, or with the
    // temporary folder on a file system of its own. When the second of two moves fails, the first
    // is undone.
    void acceptedOfferInstalls_data()
    {
        QTest::addColumn<ScriptedReplacer::Mode>("mode");
        QTest::addColumn<bool>("isTemporaryElsewhere");
        QTest::newRow("exchanged") << ScriptedReplacer::Mode::System << false;
        QTest::newRow("two moves") << ScriptedReplacer::Mode::TwoMoves << false;
        QTest::newRow("the temporary folder on another file system") << ScriptedReplacer::Mode::System << true;
        QTest::newRow("the second move fails") << ScriptedReplacer::Mode::SecondMoveFails << false;
    }
    void acceptedOfferInstalls()
    {
        QFETCH(ScriptedReplacer::Mode, mode);
        QFETCH(bool, isTemporaryElsewhere);
        if (isTemporaryElsewhere) {
            if (geteuid() != 0)
                QSKIP("mounting a tmpfs needs root (CI runs as root)");
            QCOMPARE(runCommand(u"mount -t tmpfs -o size=64m tavrink-test '%1'"_s.arg(m_temporary)).first, 0);
        }
        m_replacer.mode = mode;
        serve(manifest(u"1.1"_s, u"Faster."_s), release(u"1.1"_s, m_makerKey));
        const QByteArray before = resourcesOf(m_installed);
        const bool isFailure = mode == ScriptedReplacer::Mode::SecondMoveFails;
        QCOMPARE(runCheck(false), !isFailure);
        QCOMPARE(alertTexts().first(), u"Tavrink 1.1 is available | You have 1.0.\n\nFaster."_s);
        QCOMPARE(m_alerts.presented.first().buttons, (QStringList{u"Install and Relaunch"_s, u"Later"_s}));
        // Nothing staged is left beside the installed bundle.
        QCOMPARE(QDir(path(u"Applications"_s)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{u"Tavrink.app"_s});
        if (isFailure) {
            QCOMPARE(m_alerts.presented.last().message, u"Update failed"_s);
            QVERIFY(m_alerts.presented.last().informativeText.startsWith(u"The new copy cannot be moved to "_s));
            QCOMPARE(resourcesOf(m_installed), before);
            return;
        }
        QCOMPARE(m_alerts.presented.size(), 1);
        QVERIFY(std::holds_alternative<Minisign::PublicKey>(CodeSignature::verify(m_installed)));
        QCOMPARE(readFile(m_installed + u"/Info.json"_s), QByteArray("{\"CFBundleShortVersionString\": \"1.1\"}"));
        QCOMPARE(readFile(m_temporary + u"/tavrink-update-%1/Tavrink-old.app/Info.json"_s.arg(getpid())),
                 QByteArray("{\"CFBundleShortVersionString\": \"1.0\"}"));
        QVERIFY(QFile::exists(m_temporary + u"/tavrink-update.zip"_s));
        QTRY_COMPARE_WITH_TIMEOUT(readFile(m_marker), QByteArray("1.1\n"), 10000);
    }

    void outcomesOfACheck_data()
    {
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<QByteArray>("manifest"); // "404": an HTML page with that status
        QTest::addColumn<bool>("isPackaged"); // the package manager owns the installed copy
        QTest::addColumn<QStringList>("alerts");
        const QString latest = u"Tavrink is up to date | Version 1.0 is the latest."_s;
        QTest::newRow("same version, interactive") << true << manifest(u"1.0"_s) << false << QStringList{latest};
        QTest::newRow("older version, interactive") << true << manifest(u"0.9"_s) << false << QStringList{latest};
        QTest::newRow("same version, automatic") << false << manifest(u"1.0"_s) << false << QStringList();
        QTest::newRow("404 page, interactive")
            << true << QByteArray("404") << false
            << QStringList{u"Could not check for updates | 127.0.0.1 answered with status 404."_s};
        QTest::newRow("404 page, automatic") << false << QByteArray("404") << false << QStringList();
        QTest::newRow("not a manifest, interactive")
            << true << QByteArray("{\"version\": 2}") << false
            << QStringList{u"Could not check for updates | The update information has no \"version\" text."_s};
        QTest::newRow("too big") << true << QByteArray(70 * 1024, ' ') << false
                                 << QStringList{u"Could not check for updates | "_s};
        QTest::newRow("empty notes add nothing")
            << true << manifest(u"2"_s, u""_s) << false << QStringList{u"Tavrink 2 is available | You have 1.0."_s};
        // A copy the package manager owns is told of a newer release, never replaced.
        QTest::newRow("packaged, interactive")
            << true << manifest(u"1.1"_s) << true
            << QStringList{u"Tavrink 1.1 is available | Version 1.1 is available. Update Tavrink with your "
                           "package manager."_s};
        QTest::newRow("packaged, automatic: silent") << false << manifest(u"1.1"_s) << true << QStringList();
    }
    void outcomesOfACheck()
    {
        QFETCH(bool, interactive);
        QFETCH(QByteArray, manifest);
        QFETCH(bool, isPackaged);
        QFETCH(QStringList, alerts);
        if (isPackaged)
            QVERIFY(writeFile(m_installed + u"/Info.json"_s,
                              "{\"CFBundleShortVersionString\": \"1.0\", \"TavrinkDistribution\": \"deb\"}"));
        m_alerts.answer = 1; // "Later"
        if (manifest == "404")
            serve("<html><body>Not Found</body></html>", {}, 404);
        else
            serve(manifest, release(u"1.1"_s, m_makerKey));
        const int requests = m_server->requestCount();
        QVERIFY(!runCheck(interactive));
        QStringList texts = alertTexts();
        if (alerts.value(0).endsWith(u" | "_s) && !texts.isEmpty())
            texts[0] = texts[0].section(u" | "_s, 0, 0) + u" | "_s; // the size message is Qt's
        QCOMPARE(texts, alerts);
        QCOMPARE(m_server->requestCount(), requests + 1); // declined or told: nothing downloaded
        QVERIFY(!m_checker->isChecking());
    }

    void refusedUpdatesLeaveTheInstalledBundle_data()
    {
        // archive: a release "version key [readonly|full]", or "html"; a message beginning with
        // '*' is a pattern for the system's words.
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("url"); // of the archive; empty: the server's
        QTest::addColumn<QString>("message");
        QTest::newRow("an HTML page for the archive")
            << u"html"_s << QString() << u"The update archive could not be unpacked."_s;
        QTest::newRow("signed by another key")
            << u"1.1 other"_s << QString() << u"The update was not signed by Brenlow."_s;
        QTest::newRow("an older signed release")
            << u"1.0 maker"_s << QString() << u"The update is not the version that was offered."_s;
        QTest::newRow("an http archive") << u"1.1 maker"_s << u"http://127.0.0.1:1/Tavrink.zip"_s
                                         << u"http://127.0.0.1:1/Tavrink.zip is not an https address."_s;
        QTest::newRow("a read-only installation folder")
            << u"1.1 maker readonly"_s << QString() << u"*Read-only file system|Permission denied"_s;
        QTest::newRow("a full installation folder")
            << u"1.1 maker full"_s << QString() << u"*No space left on device"_s;
    }
    void refusedUpdatesLeaveTheInstalledBundle()
    {
        QFETCH(QString, archive);
        QFETCH(QString, url);
        QFETCH(QString, message);
        const QStringList words = archive.split(u' ');
        const QString folder = path(u"Applications"_s);
        if (words.contains(u"full"_s)) {
            if (geteuid() != 0)
                QSKIP("mounting a small tmpfs needs root (CI runs as root)");
            QVERIFY(QDir(folder).removeRecursively());
            QVERIFY(QDir().mkpath(folder));
            QCOMPARE(runCommand(u"mount -t tmpfs -o size=1m tavrink-test '%1'"_s.arg(folder)).first, 0);
            QVERIFY(makeMarkerBundle(m_installed, u"1.0"_s, m_marker));
            runCommand(u"dd if=/dev/zero of='%1/filler' bs=4k 2>/dev/null"_s.arg(folder));
        }
        if (words.contains(u"readonly"_s)) {
            // Root writes through modes; a read-only mount stops it too.
            QVERIFY(geteuid() == 0
                        ? runCommand(u"mount --bind '%1' '%1' && mount -o remount,bind,ro '%1'"_s.arg(folder)).first
                            == 0
                        : QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        }
        const QByteArray bytes = words.first() == u"html"_s
            ? QByteArray("<html>Service Unavailable</html>")
            : release(words.first(), words.value(1) == u"other"_s ? m_otherKey : m_makerKey);
        serve(manifest(u"1.1"_s, {}, url), bytes);
        const QByteArray before = resourcesOf(m_installed);
        QVERIFY(!runCheck(false));
        QCOMPARE(m_alerts.presented.size(), 2);
        QCOMPARE(m_alerts.presented.last().message, u"Update failed"_s);
        if (message.startsWith(u'*'))
            QVERIFY2(m_alerts.presented.last().informativeText.contains(QRegularExpression(message.mid(1))),
                     qPrintable(m_alerts.presented.last().informativeText));
        else
            QCOMPARE(m_alerts.presented.last().informativeText, message);
        QCOMPARE(resourcesOf(m_installed), before);
        QVERIFY(!QFile::exists(m_marker));
        QVERIFY(!m_checker->isChecking());
    }

    // The install runs in a process of its own, killed at random moments: each time the
    // installed path holds a whole bundle signed by the maker, the old one or the new one.
    void aKilledInstallLeavesAWholeBundle()
    {
        const QString helper = qEnvironmentVariable("TAVRINK_INSTALL_HELPER");
        if (helper.isEmpty())
            QSKIP("TAVRINK_INSTALL_HELPER names the helper that installs (set by CTest)");
        // Two signed releases, 1.0 and 1.1, with enough in them that an install takes a while;
        // each install puts the other one in place.
        const QString sources[] = {path(u"source/1.0/Tavrink.app"_s), path(u"source/1.1/Tavrink.app"_s)};
        for (const QString& source : sources) {
            QVERIFY(makeMarkerBundle(source, source.section(u'/', -2, -2), m_marker));
            for (int i = 0; i < 200; ++i)
                QVERIFY(writeFile(source + u"/share/f%1"_s.arg(i), QByteArray(64 * 1024, char(i))));
            QVERIFY(!Release::signBundle(source, m_makerKey));
        }
        const QString work = path(u"work"_s);
        const QString fresh = path(u"new/Tavrink.app"_s);
        const auto installedVersion = [&] { return readFile(m_installed + u"/Info.json"_s).contains("1.1") ? 1 : 0; };
        // One install; killed that many microseconds after it starts, or run to its end: how long it took.
        const auto install = [&](std::optional<int> killAfter) {
            QDir(work).removeRecursively();
            QDir(path(u"new"_s)).removeRecursively();
            if (!QDir().mkpath(work) || !QDir().mkpath(path(u"new"_s))
                || BundleInstaller::copy(sources[1 - installedVersion()], fresh))
                qFatal("the new bundle cannot be copied");
            QProcess process;
            process.start(
                helper,
                {fresh, m_installed, work, QString::fromLatin1(Minisign::formatPublicKey(m_makerKey.publicKey()))});
            if (!process.waitForReadyRead(10000) || process.readLine() != "ready\n")
                qFatal("the helper did not start");
            if (killAfter) {
                usleep(static_cast<useconds_t>(*killAfter));
                process.kill();
            }
            process.waitForFinished(20000);
            return process.readAllStandardOutput().trimmed().toLongLong();
        };
        QDir(m_installed).removeRecursively();
        QVERIFY(!BundleInstaller::copy(sources[0], m_installed));
        const qint64 duration = install(std::nullopt);
        QVERIFY(duration > 0);
        QCOMPARE(installedVersion(), 1);
        int swapped = 0;
        for (int i = 0; i < 16; ++i) {
            const int before = installedVersion();
            install(QRandomGenerator::global()->bounded(static_cast<int>(duration * 6 / 5)));
            const auto signer = CodeSignature::verify(m_installed);
            QVERIFY2(std::holds_alternative<Minisign::PublicKey>(signer)
                         && std::get<Minisign::PublicKey>(signer) == m_makerKey.publicKey(),
                     qPrintable(u"after kill %1"_s.arg(i)));
            swapped += installedVersion() != before;
        }
        qInfo("%lld us per install; of 16 killed installs, %d had swapped", duration, swapped);
        QVERIFY(install(std::nullopt) > 0);
        // What killed installs staged beside the bundle is gone with the next one.
        QCOMPARE(QDir(path(u"Applications"_s)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{u"Tavrink.app"_s});
    }

    void aSecondRequestDuringACheckIsDropped()
    {
        serve(manifest(u"1.0"_s));
        const int requests = m_server->requestCount();
        QSignalSpy ended(m_checker.get(), &UpdateChecker::checkEnded);
        m_checker->check(false);
        m_checker->check(true);
        QVERIFY(ended.wait(20000));
        QCOMPARE(m_server->requestCount(), requests + 1);
        QVERIFY(m_alerts.presented.isEmpty()); // the interactive request never ran
        QVERIFY(!runCheck(true));
        QCOMPARE(m_alerts.presented.size(), 1);
    }

    void checksAfterThirtySecondsThenDaily()
    {
        m_server->setReply({200, manifest(u"1.0"_s)});
        const int requests = m_server->requestCount();
        m_checker->start();
        m_clock.advance(std::chrono::seconds(29));
        QTest::qWait(200);
        QCOMPARE(m_server->requestCount(), requests);
        m_clock.advance(std::chrono::seconds(1));
        QTRY_COMPARE(m_server->requestCount(), requests + 1);
        QTRY_VERIFY(!m_checker->isChecking());
        m_clock.advance(std::chrono::hours(24) - std::chrono::seconds(1));
        QTest::qWait(200);
        QCOMPARE(m_server->requestCount(), requests + 1);
        m_clock.advance(std::chrono::seconds(1));
        QTRY_COMPARE(m_server->requestCount(), requests + 2);
        QTRY_VERIFY(!m_checker->isChecking());
        m_clock.advance(std::chrono::hours(24));
        QTRY_COMPARE(m_server->requestCount(), requests + 3);
    }
};

QTEST_GUILESS_MAIN(TestUpdateChecker)
#include "tst_updatechecker.moc"
