// The move into an applications folder over temporary folders standing for /opt and the home
// folder, with the system's real file operations: the offers and their texts, the remembered
// "Not Now", what is replaced at the destination and what is left on failure, the old copy in
// the Trash (XDG_DATA_HOME), the relaunch observed through a marker; read-only mounts (root,
// as in CI) for the copy that cannot stay where it runs and for a system folder that refuses.

#include "Fakes.h"
#include "TestSupport.h"
#include "platform/linux/session/LinuxBundleReplacer.h"
#include "settings/DefaultsStore.h"
#include "settings/SettingsKey.h"
#include "update/Translocation.h"

#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

class TestRelocation : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QStringList m_mounts;

    QString path(const QString& relative) const { return m_dir->filePath(relative); }
    bool mountReadOnly(const QString& folder)
    {
        m_mounts.prepend(folder);
        return runCommand(u"mount --bind '%1' '%1' && mount -o remount,bind,ro '%1'"_s.arg(folder)).first == 0;
    }

private Q_SLOTS:
    void init()
    {
        QTest::failOnWarning(QRegularExpression(u".*"_s));
        m_dir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_DATA_HOME", path(u"home/.local/share"_s).toUtf8());
        QVERIFY(QDir().mkpath(path(u"opt"_s)) && QDir().mkpath(path(u"home"_s)));
    }
    void cleanup()
    {
        for (const QString& folder : std::as_const(m_mounts))
            runCommand(u"umount '%1'"_s.arg(folder));
        m_mounts.clear();
    }

    void offersAndMoves_data()
    {
        QTest::addColumn<QString>("running"); // the running bundle, under the test folder
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<int>("answer");
        // "message | text"; a text ending in "…" is a beginning; {dir} is the test folder.
        QTest::addColumn<QStringList>("alerts");
        QTest::addColumn<QString>("newCopy"); // where the copy lands; empty: nowhere
        // Each names the folder the move goes to: the system's where it can be written, else ~/Applications.
        const QString offer = u"Move Tavrink to %2? | Tavrink is running from %1. It will move itself to %2 and "
                              "reopen. That needs no administrator password, and the copy you downloaded goes to the "
                              "Trash."_s;
        const QString relocation = u"Move Tavrink to an applications folder | Tavrink is running from a read-only "
                                   "location, so it can't install its own updates. Tavrink will move itself to %1 "
                                   "and relaunch."_s;
        const QString couldNot
            = u"Could not move Tavrink | Copy Tavrink.app into %1 with your file manager, then open it again.\n\n(…"_s;
        const QString system = u"{dir}/opt"_s, user = u"~/Applications"_s;
        const QString downloads = offer.arg(u"~/Downloads"_s, system);
        QTest::newRow("in the system folder: nothing")
            << u"opt/Tavrink.app"_s << QStringList() << 0 << QStringList() << QString();
        QTest::newRow("in ~/Applications: nothing")
            << u"home/Applications/Tavrink.app"_s << QStringList() << 0 << QStringList() << QString();
        QTest::newRow("declined before: nothing")
            << u"home/Downloads/Tavrink.app"_s << QStringList{u"skip"_s} << 0 << QStringList() << QString();
        QTest::newRow("owned by the package manager: nothing")
            << u"home/Downloads/Tavrink.app"_s << QStringList{u"packaged"_s} << 0 << QStringList() << QString();
        QTest::newRow("owned by the package manager, read-only: nothing")
            << u"media/Tavrink.app"_s << QStringList{u"packaged"_s, u"readonly"_s} << 0 << QStringList() << QString();
        QTest::newRow("Not Now") << u"home/Downloads/Tavrink.app"_s << QStringList() << 1 << QStringList{downloads}
                                 << QString();
        QTest::newRow("from ~/Downloads, renamed, over an older copy")
            << u"home/Downloads/Tavrink-1.1.app"_s << QStringList{u"older"_s} << 0 << QStringList{downloads}
            << u"opt/Tavrink.app"_s;
        QTest::newRow("a subfolder of the system folder is not it")
            << u"opt/Utilities/Tavrink.app"_s << QStringList() << 0
            << QStringList{offer.arg(u"{dir}/opt/Utilities"_s, system)} << u"opt/Tavrink.app"_s;
        QTest::newRow("a file at the destination is replaced")
            << u"home/Downloads/Tavrink.app"_s << QStringList{u"file"_s} << 0 << QStringList{downloads}
            << u"opt/Tavrink.app"_s;
        QTest::newRow("a link at the destination is replaced, not followed")
            << u"home/Downloads/Tavrink.app"_s << QStringList{u"link"_s} << 0 << QStringList{downloads}
            << u"opt/Tavrink.app"_s;
        QTest::newRow("a system folder that refuses: the user's, made")
            << u"home/Downloads/Tavrink.app"_s << QStringList{u"older"_s, u"opt-readonly"_s} << 0
            << QStringList{offer.arg(u"~/Downloads"_s, user)} << u"home/Applications/Tavrink.app"_s;
        QTest::newRow("both refuse: the second's reason, nothing changed")
            << u"home/Downloads/Tavrink.app"_s << QStringList{u"older"_s, u"opt-readonly"_s, u"applications-file"_s}
            << 0 << QStringList{offer.arg(u"~/Downloads"_s, user), couldNot.arg(user)} << QString();
        QTest::newRow("read-only: moved and relaunched") << u"media/Tavrink.app"_s << QStringList{u"readonly"_s} << 0
                                                         << QStringList{relocation.arg(system)} << u"opt/Tavrink.app"_s;
        QTest::newRow("read-only: Quit") << u"media/Tavrink.app"_s << QStringList{u"readonly"_s} << 1
                                         << QStringList{relocation.arg(system)} << QString();
        QTest::newRow("read-only, both refuse: the critical alert, then quit")
            << u"media/Tavrink.app"_s << QStringList{u"readonly"_s, u"opt-readonly"_s, u"applications-file"_s} << 0
            << QStringList{relocation.arg(user), couldNot.arg(user)} << QString();
    }
    void offersAndMoves()
    {
        QFETCH(QString, running);
        QFETCH(QStringList, setup);
        QFETCH(int, answer);
        QFETCH(QStringList, alerts);
        QFETCH(QString, newCopy);
        const bool needsRoot = setup.contains(u"readonly"_s) || setup.contains(u"opt-readonly"_s);
        if (needsRoot && geteuid() != 0)
            QSKIP("read-only bind mounts need root (CI runs as root)");
        const QString bundle = path(running);
        const QString marker = path(u"relaunched"_s);
        QVERIFY(makeMarkerBundle(bundle, u"1.1"_s, marker));
        QVERIFY(writeFile(bundle + u"/share/data"_s, "data"));
        if (setup.contains(u"packaged"_s))
            QVERIFY(writeFile(bundle + u"/Info.json"_s,
                              "{\"CFBundleShortVersionString\": \"1.1\", \"TavrinkDistribution\": \"deb\"}"));
        const QString existing = path(u"opt/Tavrink.app"_s);
        if (setup.contains(u"older"_s) && running != u"opt/Tavrink.app"_s)
            QVERIFY(makeMarkerBundle(existing, u"1.0"_s, marker));
        if (setup.contains(u"file"_s))
            QVERIFY(writeFile(existing, "a file"));
        if (setup.contains(u"link"_s)) {
            QVERIFY(writeFile(path(u"elsewhere/keep"_s), "kept"));
            QVERIFY(QFile::link(path(u"elsewhere"_s), existing));
        }
        if (setup.contains(u"applications-file"_s))
            QVERIFY(writeFile(path(u"home/Applications"_s), "a file"));
        if (setup.contains(u"readonly"_s))
            QVERIFY(mountReadOnly(QFileInfo(bundle).path()));
        if (setup.contains(u"opt-readonly"_s))
            QVERIFY(mountReadOnly(path(u"opt"_s)));
        DefaultsStore settings(path(u"Tavrink.conf"_s));
        if (setup.contains(u"skip"_s))
            settings.setValue(SettingsKey::skipUserApplicationsInstall, true);
        const QByteArray existingBefore = readFile(existing + u"/Info.json"_s);
        ScriptedAlertPresenter presenter;
        presenter.answer = answer;
        LinuxBundleReplacer system;
        int terminations = 0;
        Translocation translocation(
            {presenter, settings, system, bundle, path(u"home"_s), path(u"opt"_s), [&] { ++terminations; }});

        const bool isReadOnly = setup.contains(u"readonly"_s) && !setup.contains(u"packaged"_s);
        QCOMPARE(translocation.isActive(), isReadOnly);
        const bool tookOver = translocation.offerToRelocate() || translocation.offerUserInstall();
        QCOMPARE(tookOver, isReadOnly || !newCopy.isEmpty());
        QCOMPARE(terminations, tookOver ? 1 : 0);

        QStringList shown;
        for (const Alert& alert : std::as_const(presenter.presented))
            shown << alert.message + u" | "_s + alert.informativeText;
        QCOMPARE(shown.size(), alerts.size());
        for (qsizetype i = 0; i < alerts.size(); ++i) {
            const QString expected = QString(alerts[i]).replace(u"{dir}"_s, m_dir->path());
            if (expected.endsWith(u'…'))
                QVERIFY2(shown[i].startsWith(expected.chopped(1)), qPrintable(shown[i]));
            else
                QCOMPARE(shown[i], expected);
        }
        if (shown.size() == 2)
            QCOMPARE(presenter.presented.last().style, isReadOnly ? Alert::Style::Critical : Alert::Style::Warning);

        // "Not Now" is remembered, and only it.
        QCOMPARE(settings.boolValue(SettingsKey::skipUserApplicationsInstall, false),
                 setup.contains(u"skip"_s) || (!isReadOnly && answer == 1 && !alerts.isEmpty()));
        // Nothing half-made is left beside the destinations.
        for (const QString& folder : {path(u"opt"_s), path(u"home/Applications"_s)})
            QVERIFY(QDir(folder).entryList({u".Tavrink*"_s}, QDir::AllEntries | QDir::Hidden).isEmpty());
        if (newCopy.isEmpty()) {
            if (setup.contains(u"older"_s))
                QCOMPARE(readFile(existing + u"/Info.json"_s), existingBefore);
            QVERIFY(QFile::exists(bundle + u"/Info.json"_s)); // the running copy stays
            QTest::qWait(700);
            QVERIFY(!QFile::exists(marker));
            return;
        }
        const QString copy = path(newCopy);
        QCOMPARE(readFile(copy + u"/Info.json"_s), QByteArray("{\"CFBundleShortVersionString\": \"1.1\"}"));
        QCOMPARE(readFile(copy + u"/share/data"_s), QByteArray("data"));
        QCOMPARE(QFileInfo(copy + u"/tavrink"_s).symLinkTarget(), copy + u"/bin/tavrink"_s);
        QVERIFY(QFileInfo(copy + u"/bin/tavrink"_s).isExecutable());
        if (setup.contains(u"link"_s))
            QCOMPARE(readFile(path(u"elsewhere/keep"_s)), QByteArray("kept"));
        // The copy outside the applications folders goes to the Trash; a read-only one stays.
        QCOMPARE(QFile::exists(bundle), isReadOnly);
        QCOMPARE(QFile::exists(path(u"home/.local/share/Trash/files/"_s) + QFileInfo(bundle).fileName()), !isReadOnly);
        QTRY_COMPARE_WITH_TIMEOUT(readFile(marker), QByteArray("1.1\n"), 10000);
    }
};

QTEST_GUILESS_MAIN(TestRelocation)
#include "tst_relocation.moc"
