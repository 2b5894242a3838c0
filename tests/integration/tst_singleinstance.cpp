// One Tavrink per session, through the real executable on a private session bus and an X
// server of the test's own: later launches, links and D-Bus calls reach the running instance
// and end in one settings window, also the call that started it by name; the snapshot options
// work beside it; without a bus it runs alone and says so.

#include "TestSupport.h"
#include "TestWatcher.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

const auto kName = u"com.kelvandrosi.Tavrink"_s;
const auto kPath = u"/com/kelvandrosi/Tavrink"_s;
const auto kInterface = u"org.freedesktop.Application"_s;

int windowsNamed(const QString& title)
{
    return int(runCommand(u"xwininfo -root -tree"_s).second.count(u'"' + title + u'"'));
}

} // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<PrivateBus> m_bus;
    std::unique_ptr<TestWatcher> m_watcher;
    QTemporaryDir m_config;
    QProcess m_first;

    static QString tavrink() { return qEnvironmentVariable("TAVRINK_BUNDLE") + u"/bin/tavrink"_s; }
    // A later launch with these arguments (none needs quoting), run to its end: its exit status
    // and what it printed.
    static std::pair<int, QString> launch(const QStringList& arguments)
    {
        return runCommand(u"'%1' %2"_s.arg(tavrink(), arguments.join(u' ')), 15000);
    }
    static QDBusMessage call(const QString& method, const QVariantList& arguments)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(kName, kPath, kInterface, method);
        message.setArguments(arguments);
        return QDBusConnection::sessionBus().call(message, QDBus::Block, 10000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X server (CTest runs this under xvfb-run)");
        // The bus daemon reads the service files of this data folder, where Tavrink writes its own.
        qputenv("XDG_DATA_HOME", m_config.filePath(u"data"_s).toUtf8());
        QVERIFY(QDir().mkpath(m_config.filePath(u"data/dbus-1/services"_s)));
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        qputenv("TMPDIR", m_config.path().toUtf8());
        QVERIFY(QDir().mkpath(m_config.filePath(u"run"_s)));
        QVERIFY(
            QFile::setPermissions(m_config.filePath(u"run"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("XDG_RUNTIME_DIR", m_config.filePath(u"run"_s).toUtf8());
        // The build tree lies outside the applications folders: the offer to move has been declined.
        QVERIFY(writeFile(m_config.filePath(u"kelvandrosi/Tavrink.conf"_s),
                          "[General]\nskipUserApplicationsInstall=true\n"
                          "UpdateManifestURL=https://127.0.0.1:9/appcast.json\n"));
        // Last, so that what the bus starts by name has the environment above.
        m_bus = std::make_unique<PrivateBus>();
        QVERIFY(!m_bus->address().isEmpty());
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus->address().toUtf8());
        m_watcher = std::make_unique<TestWatcher>(u"watcher"_s);
        QVERIFY(m_watcher->start());
    }
    void init()
    {
        m_first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_first.start(tavrink(), {u"--no-public"_s});
        QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::sessionBus().interface()->isServiceRegistered(kName), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(m_watcher->registeredItems().size(), 1, 10000);
    }
    void cleanup()
    {
        m_first.terminate();
        m_first.waitForFinished(5000);
        QTRY_VERIFY_WITH_TIMEOUT(!QDBusConnection::sessionBus().interface()->isServiceRegistered(kName), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(windowsNamed(u"Tavrink Settings"_s), 0, 5000);
        // A new process, a new item: the count starts again.
        m_watcher = std::make_unique<TestWatcher>(u"watcher"_s);
        QVERIFY(m_watcher->start());
    }

    void laterLaunchesReachTheRunningInstance_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("settingsWindows");
        QTest::newRow("a plain launch reopens") << QStringList{} << 1;
        QTest::newRow("tavrink://settings") << QStringList{u"tavrink://settings"_s} << 1;
        QTest::newRow("two settings links: one window")
            << QStringList{u"tavrink://settings"_s, u"tavrink:///open/settings"_s} << 1;
        QTest::newRow("tavrink://about opens nothing") << QStringList{u"tavrink://about"_s} << 0;
        QTest::newRow("--json beside it prints and takes nothing") << QStringList{u"--json"_s, u"--no-public"_s} << 0;
    }
    void laterLaunchesReachTheRunningInstance()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, settingsWindows);
        const auto [status, printed] = launch(arguments);
        QCOMPARE(status, 0);
        if (arguments.contains(u"--json"_s))
            QVERIFY2(printed.startsWith(u"{\"hostname\""_s), qPrintable(printed));
        else
            QVERIFY2(printed.isEmpty(), qPrintable(printed));
        QTRY_COMPARE_WITH_TIMEOUT(windowsNamed(u"Tavrink Settings"_s), settingsWindows, 5000);
        QTest::qWait(300); // a second window would come now
        QCOMPARE(windowsNamed(u"Tavrink Settings"_s), settingsWindows);
        QCOMPARE(windowsNamed(u"About Tavrink"_s), 0);
        QCOMPARE(m_watcher->registeredItems().size(), 1); // no second panel item
    }

    void theApplicationInterfaceOverDBus()
    {
        const QString xml = QDBusConnection::sessionBus()
                                .call(QDBusMessage::createMethodCall(
                                    kName, kPath, u"org.freedesktop.DBus.Introspectable"_s, u"Introspect"_s))
                                .arguments()
                                .value(0)
                                .toString();
        const QString committed = QString::fromUtf8(
            readFile(qEnvironmentVariable("TAVRINK_SOURCE") + u"/resources/dbus/org.freedesktop.Application.xml"_s));
        QCOMPARE(members(xml, kInterface), members(committed, kInterface));
        QCOMPARE(members(xml, kInterface).size(), 3);

        const QDBusMessage action = call(u"ActivateAction"_s, {u"quit"_s, QVariantList(), QVariantMap()});
        QCOMPARE(action.type(), QDBusMessage::ErrorMessage);
        QCOMPARE(action.errorName(), u"org.freedesktop.DBus.Error.NotSupported"_s);
        // Whatever the scheme, the rule looks at the path: "settings@x" is mailto's.
        QCOMPARE(call(u"Open"_s, {QStringList{u"tavrink://about"_s, u"mailto:settings@x"_s}, QVariantMap()}).type(),
                 QDBusMessage::ReplyMessage);
        QTRY_COMPARE_WITH_TIMEOUT(windowsNamed(u"Tavrink Settings"_s), 1, 5000);
    }

    // The running copy registers itself with the desktop; by that name the bus can start it.
    void theDesktopFindsTheRunningCopy()
    {
        const QString entry = m_config.filePath(u"data/applications/com.kelvandrosi.Tavrink.desktop"_s);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(entry), 5000);
        const QByteArray text = readFile(entry);
        QVERIFY2(text.contains("\nExec=" + QFile::encodeName(tavrink()) + " %u\n"), text.constData());
        // The panel icon goes into the user's icon theme, where Plasma finds it by name.
        QVERIFY(QFile::exists(m_config.filePath(u"data/icons/hicolor/scalable/status/tavrink-symbolic.svg"_s)));
        // Started again, the same copy writes nothing new and no second entry.
        const QDateTime written = QFileInfo(entry).lastModified();
        QCOMPARE(launch({}).first, 0);
        QCOMPARE(QDir(QFileInfo(entry).path()).entryList({u"*.desktop"_s}), QStringList{QFileInfo(entry).fileName()});
        QCOMPARE(QFileInfo(entry).lastModified(), written);

        m_first.terminate();
        QVERIFY(m_first.waitForFinished(5000));
        QTRY_VERIFY_WITH_TIMEOUT(!QDBusConnection::sessionBus().interface()->isServiceRegistered(kName), 5000);
        QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
            u"org.freedesktop.DBus"_s, u"/org/freedesktop/DBus"_s, u"org.freedesktop.DBus"_s, u"ReloadConfig"_s));
        QCOMPARE(call(u"Activate"_s, {QVariantMap()}).type(), QDBusMessage::ReplyMessage);
        QTRY_COMPARE_WITH_TIMEOUT(windowsNamed(u"Tavrink Settings"_s), 1, 10000);
        // The bus started it: it is ended by its name's owner process.
        const uint pid = QDBusConnection::sessionBus().interface()->servicePid(kName).value();
        QVERIFY(pid > 0);
        ::kill(pid_t(pid), SIGTERM);
    }

    // Without a bus it runs alone and says so once; a launch that finds no instance to reach
    // applies the rule to its address once its launch sequence is through.
    void withoutASessionBusItRunsAloneAndOpensItsAddress()
    {
        QProcess alone;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, u"unix:path=/nonexistent/bus"_s);
        alone.setProcessEnvironment(environment);
        alone.start(tavrink(), {u"--no-public"_s, u"tavrink://settings"_s});
        QTRY_COMPARE_WITH_TIMEOUT(windowsNamed(u"Tavrink Settings"_s), 1, 10000);
        QCOMPARE(alone.state(), QProcess::Running);
        alone.terminate();
        QVERIFY(alone.waitForFinished(5000));
        const QString printed = QString::fromUtf8(alone.readAllStandardError());
        QCOMPARE(printed.count(u"no session bus"_s), 1);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
