// The whole update flow against an HTTPS server on 127.0.0.1 with the test authority: the
// manifest, the offer, the download, the checks and the swap into a temporary folder standing
// for the installation, with the relaunch observed through a marker the new bundle writes. The
// process's TMPDIR is a folder of the test's own, which must stay empty, and so must the update
// folder in the cache once a check has ended.

#include "FakeClock.h"
#include "Fakes.h"
#include "Release.h"
#include "TestHttpsServer.h"
#include "bundle/BundleInstaller.h"
#include "platform/linux/session/LinuxBundleReplacer.h"
#include "settings/DefaultsStore.h"
#include "settings/SettingsKey.h"
#include "update/UpdateChecker.h"
#include "update/UpdateFolder.h"
#include "verify/CodeSignature.h"

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
    QString m_cache; // the user's cache folder
    QString m_shared; // stands for /tmp: TMPDIR
    QString m_systemTemporary;
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
    // The maker's key as the program pins it, and the update helper the build put in its bundle.
    QByteArray pinnedKey() const { return Minisign::formatPublicKey(m_makerKey.publicKey()).split('\n').value(1); }
    static QString helper() { return qEnvironmentVariable("TAVRINK_BUNDLE") + u"/libexec/tavrink-update-helper"_s; }
    void makeChecker(const QString& bundle, const QString& helperPath = helper(),
                     std::chrono::milliseconds timeLimit = std::chrono::minutes(1))
    {
        m_checker = std::make_unique<UpdateChecker>(UpdateChecker::Parts{m_network, m_clock, m_alerts, m_log,
                                                                         *m_settings, m_replacer, pinnedKey(), bundle,
                                                                         m_cache, helperPath, std::nullopt, timeLimit});
    }
    QString updateFolder() const { return m_cache + u"/tavrink/update"_s; }
    // What the update left where it may leave nothing: in its own folder, and in /tmp.
    QStringList leftovers() const
    {
        const auto filter = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        return QDir(updateFolder()).entryList(filter) + QDir(m_shared).entryList(filter);
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
        m_systemTemporary = QDir::tempPath();
        QCoreApplication::setApplicationVersion(u"1.0"_s); // what a copy outside a bundle was built as
    }

    void init()
    {
        QTest::failOnWarning(QRegularExpression(u".*"_s));
        m_dir = std::make_unique<QTemporaryDir>(m_systemTemporary + u"/tst_updatechecker-XXXXXX"_s);
        m_installed = path(u"Applications/Tavrink.app"_s);
        m_cache = path(u"cache"_s);
        m_shared = path(u"tmp"_s);
        m_marker = path(u"relaunched"_s);
        QVERIFY(QDir().mkpath(m_cache) && QDir().mkpath(m_shared));
        qputenv("TMPDIR", QFile::encodeName(m_shared));
        QVERIFY(makeMarkerBundle(m_installed, u"1.0"_s, m_marker));
        QFile::remove(m_marker);
        m_alerts.presented.clear();
        m_alerts.answer = 0;
        m_replacer.mode = ScriptedReplacer::Mode::System;
        m_log.messages.clear();
        m_settings = std::make_unique<DefaultsStore>(path(u"Tavrink.conf"_s));
        m_settings->setValue(SettingsKey::updateManifestURL, m_server->url().toString() + u"/appcast.json"_s);
        makeChecker(m_installed);
    }
    void cleanup()
    {
        m_checker.reset();
        // What a case mounted is unmounted, and a read-only installation folder made writable
        // again, so that both can be removed.
        const QString folder = path(u"Applications"_s);
        for (const QString& mounted : {folder, m_cache}) {
            if (geteuid() == 0)
                runCommand(u"mountpoint -q '%1' && umount '%1'"_s.arg(mounted));
        }
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("TMPDIR", QFile::encodeName(m_systemTemporary));
    }

    // An accepted offer installs the new bundle and relaunches it: by an exchange, by two moves
    // where the file system cannot exchange, or with the cache folder on a file system of its own.
    // When the second of two moves fails, the first is undone. Either way nothing is left behind.
    void acceptedOfferInstalls_data()
    {
        QTest::addColumn<ScriptedReplacer::Mode>("mode");
        QTest::addColumn<bool>("isCacheElsewhere");
        QTest::newRow("exchanged") << ScriptedReplacer::Mode::System << false;
        QTest::newRow("two moves") << ScriptedReplacer::Mode::TwoMoves << false;
        QTest::newRow("the cache folder on another file system") << ScriptedReplacer::Mode::System << true;
        QTest::newRow("the second move fails") << ScriptedReplacer::Mode::SecondMoveFails << false;
    }
    void acceptedOfferInstalls()
    {
        QFETCH(ScriptedReplacer::Mode, mode);
        QFETCH(bool, isCacheElsewhere);
        if (isCacheElsewhere) {
            if (geteuid() != 0)
                QSKIP("mounting a tmpfs needs root (CI runs as root)");
            QCOMPARE(runCommand(u"mount -t tmpfs -o size=64m,mode=0700 tavrink-test '%1'"_s.arg(m_cache)).first, 0);
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
        QCOMPARE(leftovers(), QStringList());
        if (isFailure) {
            QCOMPARE(m_alerts.presented.last().message, u"Update failed"_s);
            QVERIFY(m_alerts.presented.last().informativeText.startsWith(u"The new copy cannot be moved to "_s));
            QCOMPARE(resourcesOf(m_installed), before);
            return;
        }
        QCOMPARE(m_alerts.presented.size(), 1);
        QCOMPARE(CodeSignature::verify(m_installed, m_makerKey.publicKey()), std::nullopt);
        QCOMPARE(readFile(m_installed + u"/Info.json"_s), QByteArray("{\"CFBundleShortVersionString\": \"1.1\"}"));
        QTRY_COMPARE_WITH_TIMEOUT(readFile(m_marker), QByteArray("1.1\n"), 10000);
    }

    void outcomesOfACheck_data()
    {
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<QByteArray>("manifest"); // "404": an HTML page with that status
        QTest::addColumn<QString>("copy"); // "packaged": the package manager's; "unbundled": no bundle
        QTest::addColumn<QStringList>("alerts");
        const QString latest = u"Tavrink is up to date | Version 1.0 is the latest."_s;
        QTest::newRow("same version, interactive") << true << manifest(u"1.0"_s) << QString() << QStringList{latest};
        QTest::newRow("older version, interactive") << true << manifest(u"0.9"_s) << QString() << QStringList{latest};
        QTest::newRow("same version, automatic") << false << manifest(u"1.0"_s) << QString() << QStringList();
        QTest::newRow("404 page, interactive")
            << true << QByteArray("404") << QString()
            << QStringList{u"Could not check for updates | 127.0.0.1 answered with status 404."_s};
        QTest::newRow("404 page, automatic") << false << QByteArray("404") << QString() << QStringList();
        QTest::newRow("not a manifest, interactive")
            << true << QByteArray("{\"version\": 2}") << QString()
            << QStringList{u"Could not check for updates | The update information has no \"version\" text."_s};
        QTest::newRow("too big") << true << QByteArray(70 * 1024, ' ') << QString()
                                 << QStringList{u"Could not check for updates | "_s};
        QTest::newRow("empty notes add nothing")
            << true << manifest(u"2"_s, u""_s) << QString() << QStringList{u"Tavrink 2 is available | You have 1.0."_s};
        // A copy the package manager owns is told of a newer release, never replaced.
        QTest::newRow("packaged, interactive")
            << true << manifest(u"1.1"_s) << u"packaged"_s
            << QStringList{u"Tavrink 1.1 is available | Version 1.1 is available. Update Tavrink with your "
                           "package manager."_s};
        QTest::newRow("packaged, automatic: silent") << false << manifest(u"1.1"_s) << u"packaged"_s << QStringList();
        // A copy outside a bundle says so before anything is downloaded, as the version it was built as.
        QTest::newRow("no bundle, interactive")
            << true << manifest(u"1.1"_s) << u"unbundled"_s
            << QStringList{u"Tavrink 1.1 is available | Version 1.1 is available. Tavrink does not run from an "
                           "application bundle, so it cannot replace itself."_s};
        QTest::newRow("no bundle, same version") << true << manifest(u"1.0"_s) << u"unbundled"_s << QStringList{latest};
    }
    void outcomesOfACheck()
    {
        QFETCH(bool, interactive);
        QFETCH(QByteArray, manifest);
        QFETCH(QString, copy);
        QFETCH(QStringList, alerts);
        if (copy == u"unbundled"_s)
            makeChecker({});
        if (copy == u"packaged"_s)
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
        QCOMPARE(leftovers(), QStringList());
        QVERIFY(!m_checker->isChecking());
    }

    void refusedUpdatesLeaveTheInstalledBundle_data()
    {
        // archive: a release "version key [readonly|truncated]", or "html"; a message beginning with
        // '*' is a pattern for the system's words.
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("url"); // of the archive; empty: the server's
        QTest::addColumn<QString>("message");
        QTest::newRow("an HTML page for the archive")
            << u"html"_s << QString() << u"The update archive could not be unpacked."_s;
        QTest::newRow("a truncated archive")
            << u"1.1 maker truncated"_s << QString() << u"The update archive could not be unpacked."_s;
        QTest::newRow("signed by another key")
            << u"1.1 other"_s << QString() << u"The update was not signed by Brenlow."_s;
        QTest::newRow("an older signed release")
            << u"1.0 maker"_s << QString() << u"The update is not the version that was offered."_s;
        QTest::newRow("an http archive") << u"1.1 maker"_s << u"http://127.0.0.1:1/Tavrink.zip"_s
                                         << u"http://127.0.0.1:1/Tavrink.zip is not an https address."_s;
        QTest::newRow("a read-only installation folder")
            << u"1.1 maker readonly"_s << QString() << u"*Read-only file system|Permission denied"_s;
        // A helper that fails in any way fails the update; what it staged goes.
        const QString notChecked = u"The update could not be checked: "_s;
        QTest::newRow("the helper is missing")
            << u"1.1 maker helper=missing"_s << QString()
            << u"*^The update could not be checked: its helper \\S+/missing could not be started \\(.+\\)\\.$"_s;
        QTest::newRow("the helper is killed")
            << u"1.1 maker helper=killed"_s << QString() << notChecked + u"its helper stopped unexpectedly."_s;
        QTest::newRow("the helper hangs") << u"1.1 maker helper=hangs"_s << QString()
                                          << notChecked + u"its helper did not finish within 2 seconds."_s;
        QTest::newRow("the helper prints garbage")
            << u"1.1 maker helper=garbage"_s << QString()
            << notChecked + u"its helper gave an answer that could not be read."_s;
        QTest::newRow("the helper stages elsewhere")
            << u"1.1 maker helper=elsewhere"_s << QString()
            << notChecked + u"its helper gave an answer that could not be read."_s;
        // A helper that ran less confined than it asks says so, and the journal hears it.
        QTest::newRow("the helper ran unconfined") << u"1.1 maker helper=unconfined"_s << QString() << u"Refused."_s;
    }
    void refusedUpdatesLeaveTheInstalledBundle()
    {
        QFETCH(QString, archive);
        QFETCH(QString, url);
        QFETCH(QString, message);
        const QStringList words = archive.split(u' ');
        const QString folder = path(u"Applications"_s);
        if (words.contains(u"readonly"_s)) {
            // Root writes through modes; a read-only mount stops it too.
            QVERIFY(geteuid() == 0
                        ? runCommand(u"mount --bind '%1' '%1' && mount -o remount,bind,ro '%1'"_s.arg(folder)).first
                            == 0
                        : QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        }
        if (const QString helper = words.value(2).section(u'=', 1); !helper.isEmpty()) {
            // Each stages part of a bundle first, as a helper stopped half-way would have.
            const QString script = path(helper);
            const QByteArray staging
                = "for a; do [ \"$prev\" = --staging ] && mkdir -p \"$a/bin\" && s=\"$a\"; prev=$a; done\n";
            const QByteArray body = helper == u"killed"_s ? "kill -9 $$\n"
                : helper == u"hangs"_s                    ? "exec sleep 60\n"
                : helper == u"garbage"_s                  ? "echo '{\"staged\": 5}'\n"
                : helper == u"unconfined"_s
                ? "echo '{\"message\": \"Refused.\", \"detail\": \"\", \"unconfined\": \"no Landlock\"}'; exit 1\n"
                : "echo \"{\\\"staged\\\": \\\"$s.x\\\", \\\"unconfined\\\": \\\"\\\"}\"\n";
            if (helper != u"missing"_s) {
                QVERIFY(writeFile(script, "#!/bin/sh\n" + staging + body));
                QVERIFY(QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
            }
            makeChecker(m_installed, script, std::chrono::seconds(2));
        }
        QByteArray bytes = words.first() == u"html"_s
            ? QByteArray("<html>Service Unavailable</html>")
            : release(words.first(), words.value(1) == u"other"_s ? m_otherKey : m_makerKey);
        if (words.contains(u"truncated"_s))
            bytes.truncate(bytes.size() / 2);
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
        QCOMPARE(leftovers(), QStringList());
        QCOMPARE(QDir(folder).entryList({u".Tavrink*"_s}, QDir::AllEntries | QDir::Hidden), QStringList());
        if (words.contains(u"helper=unconfined"_s))
            QVERIFY(m_log.messages.contains(u"The update helper ran less confined than it should: no Landlock"_s));
        QVERIFY(!m_checker->isChecking());
    }

    // Another account may have made the way to the update folder first, or made it its own. Each
    // is refused before anything is downloaded, and what a planted link leads to is not touched.
    void unsafeUpdateFoldersAreRefused_data()
    {
        QTest::addColumn<QString>("setup"); // run in the cache folder; $VICTIM is a folder of files
        QTest::addColumn<QString>("because");
        QTest::newRow("the cache folder is a link") << u"ln -s \"$VICTIM\" tavrink"_s << u"it is a symbolic link"_s;
        QTest::newRow("the work folder is a link")
            << u"mkdir -m 700 tavrink && ln -s \"$VICTIM\" tavrink/update"_s << u"it is a symbolic link"_s;
        QTest::newRow("the work folder is another user's")
            << u"mkdir -p -m 700 tavrink/update && chown nobody tavrink/update"_s << u"it belongs to another user"_s;
        QTest::newRow("the work folder is open to all")
            << u"mkdir -p -m 700 tavrink/update && chmod 0777 tavrink/update"_s
            << u"other users can write to it (mode 0777)"_s;
        QTest::newRow("the cache folder is open to all")
            << u"mkdir -m 777 tavrink"_s << u"other users can write to it (mode 0777)"_s;
        QTest::newRow("the user's cache folder is open to all")
            << u"chmod 0777 ."_s << u"other users can write to it (mode 0777)"_s;
        // The way is checked as it resolves: a private cache folder reached through a link, inside
        // a folder that anyone may write to.
        QTest::newRow("the cache folder is a link into a folder open to all")
            << u"cd .. && mkdir -p open/cache && chmod 0777 open && rmdir cache && ln -s open/cache cache"_s
            << u"other users can write to it (mode 0777)"_s;
    }
    void unsafeUpdateFoldersAreRefused()
    {
        QFETCH(QString, setup);
        QFETCH(QString, because);
        if (setup.contains(u"chown"_s) && geteuid() != 0)
            QSKIP("giving a folder to another user needs root (CI runs as root)");
        const QString victim = path(u"victim"_s);
        QVERIFY(writeFile(victim + u"/keep"_s, "kept") && QDir().mkpath(victim + u"/folder"_s));
        const auto [status, output] = runCommand(u"cd '%1' && VICTIM='%2' && %3"_s.arg(m_cache, victim, setup));
        QVERIFY2(status == 0, qPrintable(output));
        serve(manifest(u"1.1"_s), release(u"1.1"_s, m_makerKey));
        const QByteArray before = resourcesOf(m_installed);
        const int requests = m_server->requestCount();
        QVERIFY(!runCheck(true));
        QCOMPARE(m_alerts.presented.last().message, u"Update failed"_s);
        QVERIFY2(m_alerts.presented.last().informativeText.startsWith(u"Tavrink will not put an update in "_s)
                     && m_alerts.presented.last().informativeText.endsWith(because + u'.'),
                 qPrintable(m_alerts.presented.last().informativeText));
        QCOMPARE(m_server->requestCount(), requests + 1); // the manifest only
        QCOMPARE(resourcesOf(m_installed), before);
        QCOMPARE(QDir(victim).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{u"folder"_s, u"keep"_s}));
        QCOMPARE(readFile(victim + u"/keep"_s), QByteArray("kept"));
        QCOMPARE(QDir(m_shared).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    }

    // An attempt a killed process left is cleared by the next check; one that still runs is not.
    void aCheckClearsWhatAbandonedAttemptsLeft()
    {
        auto running = UpdateFolder::begin(m_cache);
        QVERIFY(std::holds_alternative<std::unique_ptr<UpdateFolder::Attempt>>(running));
        const QString live = std::get<std::unique_ptr<UpdateFolder::Attempt>>(running)->path();
        const QString abandoned = updateFolder() + u"/attempt-killed"_s;
        QVERIFY(writeFile(abandoned + u"/tavrink-update-1/Tavrink.app/Info.json"_s, "{}"));
        QVERIFY(QFile::setPermissions(abandoned + u"/tavrink-update-1"_s, QFile::ReadOwner | QFile::ExeOwner));
        serve(manifest(u"1.0"_s));
        QVERIFY(!runCheck(false));
        QCOMPARE(leftovers(), QStringList{QFileInfo(live).fileName()});
        running = QString();
        QCOMPARE(leftovers(), QStringList());
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
        const QString fresh = path(u"new/Tavrink.app"_s);
        const auto installedVersion = [&] { return readFile(m_installed + u"/Info.json"_s).contains("1.1") ? 1 : 0; };
        // One install; killed that many microseconds after it starts, or run to its end: how long it took.
        const auto install = [&](std::optional<int> killAfter) {
            QDir(path(u"new"_s)).removeRecursively();
            if (!QDir().mkpath(path(u"new"_s)) || BundleInstaller::copy(sources[1 - installedVersion()], fresh))
                qFatal("the new bundle cannot be copied");
            QProcess process;
            process.start(helper,
                          {fresh, m_installed, QString::fromLatin1(Minisign::formatPublicKey(m_makerKey.publicKey()))});
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
            QVERIFY2(!CodeSignature::verify(m_installed, m_makerKey.publicKey()),
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
