// The settings file and launch at login, on real files in a temporary folder: the paths the
// desktop reads, registered defaults, edits by other processes, a damaged file, and the XDG
// autostart entry with the rules above it.

#include "Fakes.h"
#include "TestSupport.h"
#include "network/PublicIPService.h"
#include "platform/linux/xdg/DesktopEntry.h"
#include "platform/linux/xdg/XdgApplicationEntry.h"
#include "platform/linux/xdg/XdgAutostartLoginItem.h"
#include "settings/DefaultsStore.h"
#include "settings/LaunchAtLogin.h"
#include "settings/SettingsKey.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using Status = LoginItemService::Status;
Q_DECLARE_METATYPE(Status)

namespace {

const QString kExecutable = u"/opt/Tavrink.app/bin/tavrink"_s;
const QString kId = u"com.kelvandrosi.Tavrink"_s;

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(u"kelvandrosi/Tavrink.conf"_s); }
    QString folder() const { return m_dir.filePath(u"autostart"_s); }
    QString entry() const { return folder() + u'/' + kId + u".desktop"_s; }

    std::unique_ptr<DefaultsStore> store()
    {
        auto result = std::make_unique<DefaultsStore>(path());
        registerTavrinkDefaults(*result);
        return result;
    }

private Q_SLOTS:
    void init()
    {
        QTest::failOnWarning(QRegularExpression(u".*"_s));
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
    }

    void filesLiveWhereTheDesktopLooks()
    {
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
        QCOMPARE(DefaultsStore::standardFilePath(), path());
        QCOMPARE(XdgAutostartLoginItem::standardAutostartFolder(), folder());
        qunsetenv("XDG_CONFIG_HOME"); // unset: the XDG default
        QCOMPARE(XdgAutostartLoginItem::standardAutostartFolder(), QDir::homePath() + u"/.config/autostart"_s);
        qputenv("XDG_CONFIG_HOME", saved);
    }

    void defaultsAreReadNeverWrittenAndGiveWayToTheUser()
    {
        auto settings = store();
        QCOMPARE(settings->boolValue(SettingsKey::showHostnameInBar, false), true);
        QCOMPARE(settings->boolValue(SettingsKey::useFQDN, true), false);
        QCOMPARE(settings->boolValue(SettingsKey::showLocalAddresses, false), true);
        QVERIFY(!QFile::exists(path()));
        QSignalSpy changed(settings.get(), &DefaultsStore::valueChanged);
        QVERIFY(settings->setValue(SettingsKey::useFQDN, true));
        QVERIFY(settings->setValue(SettingsKey::showLocalAddresses, false));
        QVERIFY(settings->remove(SettingsKey::showLocalAddresses)); // reads as its default again
        QCOMPARE(changed.count(), 3);
        QCOMPARE(changed.first().first().toString(), SettingsKey::useFQDN);

        settings = store(); // registering again must not replace the user's value
        QCOMPARE(settings->boolValue(SettingsKey::useFQDN, false), true);
        QCOMPARE(settings->boolValue(SettingsKey::showLocalAddresses, false), true);
        QCOMPARE(readFile(path()), QByteArray("[General]\nuseFQDN=true\n"));
    }

    void editsByOtherProcessesAreHeard()
    {
        auto settings = store();
        QSignalSpy changed(settings.get(), &DefaultsStore::valueChanged);
        // Created by another writer, slower than the watcher.
        QFile file(path());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[General]\n");
        file.flush();
        QTest::qWait(5);
        file.write("showHostnameInBar=false\n");
        file.close();
        QTRY_COMPARE(settings->boolValue(SettingsKey::showHostnameInBar, true), false);
        QCOMPARE(changed.count(), 1);
        // Replaced, as editors save; then rewritten in place.
        QVERIFY(writeFile(path() + u".new"_s, "[General]\nuseFQDN=true\nshowHostnameInBar=false\n"));
        QVERIFY(QFile::remove(path()) && QFile::rename(path() + u".new"_s, path()));
        QTRY_COMPARE(settings->boolValue(SettingsKey::useFQDN, false), true);
        QVERIFY(writeFile(path(), "[General]\nuseFQDN=false\nshowHostnameInBar=false\n"));
        QTRY_COMPARE(settings->boolValue(SettingsKey::useFQDN, true), false);
        QCOMPARE(changed.count(), 3);
    }

    void values_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("expected");
        QTest::newRow("1") << QByteArray("useFQDN=1") << true;
        QTest::newRow("upper-case TRUE") << QByteArray("useFQDN=TRUE") << true;
        QTest::newRow("garbage reads as the default") << QByteArray("useFQDN=banana") << false;
        QTest::newRow("empty reads as the default") << QByteArray("useFQDN=") << false;
        QTest::newRow("a damaged new key reads as its default") << QByteArray("lookUpPublicAddress=banana") << true;
    }
    void values()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, expected);
        QVERIFY(writeFile(path(), "[General]\n" + line + '\n'));
        QCOMPARE(store()->boolValue(QString::fromLatin1(line.split('=').first()), !expected), expected);
    }

    // The user's own echo services replace the built-in ones only as a whole list of https
    // addresses; anything else is said once in the journal, and the built-in ones are asked.
    void userServices_data()
    {
        QTest::addColumn<QByteArray>("line"); // of the settings file; empty: none
        QTest::addColumn<QStringList>("expected"); // empty: the built-in services
        QTest::addColumn<bool>("isLogged");
        QTest::newRow("none") << QByteArray() << QStringList() << false;
        QTest::newRow("one") << QByteArray("publicIPv6Services=https://ip6.example.net/")
                             << QStringList{u"https://ip6.example.net/"_s} << false;
        QTest::newRow("two") << QByteArray("publicIPv6Services=https://a.example, https://b.example:8443/ip")
                             << QStringList{u"https://a.example"_s, u"https://b.example:8443/ip"_s} << false;
        QTest::newRow("an empty list") << QByteArray("publicIPv6Services=") << QStringList() << true;
        QTest::newRow("one of them http")
            << QByteArray("publicIPv6Services=https://a.example, http://b.example") << QStringList() << true;
        QTest::newRow("not an address") << QByteArray("publicIPv6Services=ipv6 please") << QStringList() << true;
    }
    void userServices()
    {
        QFETCH(QByteArray, line);
        QFETCH(QStringList, expected);
        QFETCH(bool, isLogged);
        QVERIFY(writeFile(path(), "[General]\n" + line + '\n'));
        RecordingErrorLog log;
        const QList<QUrl> endpoints = PublicIPService::endpointsFrom(
            store()->value(SettingsKey::publicIPv6Services), AddressFamily::IPv6, SettingsKey::publicIPv6Services, log);
        QCOMPARE(QUrl::toStringList(endpoints),
                 expected.isEmpty() ? QUrl::toStringList(PublicIPService::defaultEndpoints(AddressFamily::IPv6))
                                    : expected);
        QCOMPARE(log.messages.size(), isLogged ? 1 : 0);
    }

    void damagedFileReadsAsDefaultsAndIsKeptAside()
    {
        const QByteArray damaged("[General\nuseFQDN=true\n\xff\xfe garbage = = [\n");
        QVERIFY(writeFile(path(), damaged));
        auto settings = store();
        QCOMPARE(readFile(path()), damaged); // reading never writes
        QCOMPARE(settings->boolValue(SettingsKey::showHostnameInBar, false), true);
        settings->setValue(SettingsKey::showLocalAddresses, false);
        QCOMPARE(settings->boolValue(SettingsKey::showLocalAddresses, true), false);
        QCOMPARE(readFile(path() + u".damaged"_s), damaged);
    }

    void autostartStatus_data()
    {
        QTest::addColumn<QByteArray>("contents"); // empty: no file
        QTest::addColumn<Status>("expected");
        QTest::newRow("no file") << QByteArray() << Status::NotRegistered;
        QTest::newRow("unquoted Exec with arguments")
            << QByteArray("[Desktop Entry]\nType=Application\nExec=/opt/Tavrink.app/bin/tavrink --flag\n")
            << Status::Enabled;
        QTest::newRow("hidden entry") << XdgAutostartLoginItem::entryText(kExecutable) + "Hidden=true\n"
                                      << Status::NotFound;
        QTest::newRow("left by a bundle that moved")
            << XdgAutostartLoginItem::entryText(u"/home/me/Downloads/Tavrink.app/bin/tavrink"_s) << Status::NotFound;
        QTest::newRow("Exec in another group only")
            << QByteArray("[Desktop Entry]\nType=Application\n[Desktop Action x]\nExec=/opt/Tavrink.app/bin/tavrink\n")
            << Status::NotFound;
        QTest::newRow("unterminated quote")
            << QByteArray("[Desktop Entry]\nExec=\"/opt/Tavrink.app/bin/tavrink\n") << Status::NotFound;
    }
    void autostartStatus()
    {
        QFETCH(QByteArray, contents);
        QFETCH(Status, expected);
        if (!contents.isEmpty())
            QVERIFY(writeFile(entry(), contents));
        QCOMPARE(XdgAutostartLoginItem(folder(), kExecutable, kId).status(), expected);
    }

    // The application entry and the D-Bus service file follow the copy that runs: one of each,
    // rewritten when the copy moves, valid whatever the path holds.
    void applicationEntryFollowsTheCopy()
    {
        const QString data = m_dir.filePath(u"data"_s);
        const QString validator = QStandardPaths::findExecutable(u"desktop-file-validate"_s);
        const QByteArray bundled = readFile(qEnvironmentVariable("TAVRINK_BUNDLE")
                                            + u"/share/applications/com.kelvandrosi.Tavrink.desktop"_s);
        QVERIFY(!bundled.isEmpty());
        for (const QString& where : {u"a/Tavrink.app"_s, u"b/My 'Apps' a\"b$c`d\\e 100%/zoë/Tavrink.app"_s}) {
            const QString copy = m_dir.filePath(where);
            const QString executable = copy + u"/bin/tavrink"_s;
            QVERIFY(writeFile(copy + u"/share/applications/com.kelvandrosi.Tavrink.desktop"_s, bundled));
            XdgApplicationEntry entry(data, copy, executable, kId);
            QCOMPARE(entry.registerCopy(), std::nullopt);
            const auto keys = DesktopEntry::keys(readFile(entry.entryPath()));
            QCOMPARE(DesktopEntry::execProgram(keys.value(u"Exec"_s)), executable);
            QVERIFY(keys.value(u"Exec"_s).endsWith(u" %u"_s));
            QCOMPARE(keys.value(u"Icon"_s), copy + u"/share/com.kelvandrosi.Tavrink.png"_s);
            QCOMPARE(keys.value(u"MimeType"_s), u"x-scheme-handler/tavrink;"_s);
            QCOMPARE(QDir(data + u"/applications"_s).entryList({u"*.desktop"_s}), QStringList{kId + u".desktop"_s});
            if (!validator.isEmpty()) {
                const auto [status, output] = runCommand(validator + u" '"_s + entry.entryPath() + u'\'');
                QVERIFY2(status == 0 && output.isEmpty(), qPrintable(output));
            }
            // The service's Exec, split as the bus splits it (as a shell would), is the executable.
            const QByteArray service = readFile(entry.serviceFilePath());
            QVERIFY(service.startsWith("[D-BUS Service]\nName=com.kelvandrosi.Tavrink\nExec="));
            QProcess shell;
            shell.start(u"sh"_s,
                        {u"-c"_s, u"printf '[%s]' "_s + QString::fromUtf8(service.split('\n').value(2).mid(5))});
            QVERIFY(shell.waitForFinished());
            QCOMPARE(QString::fromUtf8(shell.readAll()), u'[' + executable + u']');
        }
    }

    void launchAtLoginCallsTheSystemOnlyForAChange()
    {
        FakeLoginItemService system;
        QCOMPARE(LaunchAtLogin::setEnabled(system, false), std::nullopt); // off while not registered
        QCOMPARE(LaunchAtLogin::setEnabled(system, true), std::nullopt);
        QCOMPARE(LaunchAtLogin::setEnabled(system, true), std::nullopt); // on while enabled
        QCOMPARE(system.registrations, 1);
        QCOMPARE(system.unregistrations, 0);
        QVERIFY(LaunchAtLogin::isEnabled(system) && !LaunchAtLogin::requiresApproval(system));
        system.current = Status::NotFound; // an entry of a moved bundle: off still unregisters
        QCOMPARE(LaunchAtLogin::setEnabled(system, false), std::nullopt);
        QCOMPARE(system.unregistrations, 1);

        system.afterRegistering = Status::RequiresApproval;
        QCOMPARE(LaunchAtLogin::setEnabled(system, true), std::nullopt);
        QVERIFY(!LaunchAtLogin::isEnabled(system) && LaunchAtLogin::requiresApproval(system));
        QCOMPARE(LaunchAtLogin::setEnabled(system, false), std::nullopt); // pending: unregisters
        QCOMPARE(system.current, Status::NotRegistered);
    }

    void autostartEntryIsWrittenAndRemovedForReal()
    {
        // A path that needs quoting reads back as itself.
        XdgAutostartLoginItem item(folder(), u"/home/me/My Apps/a\"b$c`d\\e/100%/Tavrink.app/bin/tavrink"_s, kId);
        QVERIFY(writeFile(entry(), XdgAutostartLoginItem::entryText(u"/old/Tavrink.app/bin/tavrink"_s)));
        QVERIFY(!LaunchAtLogin::isEnabled(item));
        QCOMPARE(LaunchAtLogin::setEnabled(item, true), std::nullopt); // a stale entry is rewritten
        QCOMPARE(item.status(), Status::Enabled);
        const QString validator = QStandardPaths::findExecutable(u"desktop-file-validate"_s);
        const auto [status, complaints]
            = validator.isEmpty() ? std::pair{0, QString()} : runCommand(validator + u" '"_s + entry() + u'\'');
        QVERIFY2(status == 0 && complaints.isEmpty(), qPrintable(complaints));
        QCOMPARE(LaunchAtLogin::setEnabled(item, false), std::nullopt);
        QVERIFY(!QFile::exists(entry()));

        // Root may write anywhere; a folder that is a file stops it all the same.
        QVERIFY(QDir(folder()).removeRecursively() && writeFile(folder(), "not a folder"));
        const std::optional<QString> error = LaunchAtLogin::setEnabled(item, true);
        QVERIFY2(error && error->contains(folder()), qPrintable(error.value_or(u"no error"_s)));
        QCOMPARE(item.status(), Status::NotRegistered);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
