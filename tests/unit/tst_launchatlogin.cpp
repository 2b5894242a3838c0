#include "Fakes.h"
#include "platform/linux/XdgAutostartLoginItem.h"
#include "settings/LaunchAtLogin.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using Status = LoginItemService::Status;
Q_DECLARE_METATYPE(Status)

namespace {

const QString kExecutable = u"/opt/Tavrink.app/bin/tavrink"_s;

// Counts what reaches the system, so that the no-op rules can be seen to make no call.
class CountingService : public LoginItemService {
public:
    explicit CountingService(LoginItemService& inner)
        : m_inner(inner)
    {
    }
    int registrations = 0;
    int unregistrations = 0;
    Status status() override { return m_inner.status(); }
    std::optional<QString> registerItem() override
    {
        ++registrations;
        return m_inner.registerItem();
    }
    std::optional<QString> unregisterItem() override
    {
        ++unregistrations;
        return m_inner.unregisterItem();
    }
    void openSettings() override { }

private:
    LoginItemService& m_inner;
};

void write(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
}

} // namespace

class TestLaunchAtLogin : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString folder() const { return m_dir.filePath(u"autostart"_s); }
    QString entry() const { return folder() + u"/com.kelvandrosi.Tavrink.desktop"_s; }

private Q_SLOTS:
    void init() { QDir(folder()).removeRecursively(); }

    void status_data()
    {
        QTest::addColumn<QByteArray>("contents"); // empty: no file
        QTest::addColumn<Status>("expected");
        QTest::newRow("no file") << QByteArray() << Status::NotRegistered;
        QTest::newRow("our entry") << XdgAutostartLoginItem::entryText(kExecutable) << Status::Enabled;
        QTest::newRow("unquoted Exec with arguments")
            << QByteArray("[Desktop Entry]\nType=Application\nExec=/opt/Tavrink.app/bin/tavrink --flag\n")
            << Status::Enabled;
        QTest::newRow("hidden entry") << XdgAutostartLoginItem::entryText(kExecutable) + "Hidden=true\n"
                                      << Status::NotFound;
        QTest::newRow("entry left by a bundle that moved")
            << XdgAutostartLoginItem::entryText(u"/home/me/Downloads/Tavrink.app/bin/tavrink"_s) << Status::NotFound;
        QTest::newRow("Exec in another group only")
            << QByteArray("[Desktop Entry]\nType=Application\n[Desktop Action x]\nExec=/opt/Tavrink.app/bin/tavrink\n")
            << Status::NotFound;
        QTest::newRow("unterminated quote")
            << QByteArray("[Desktop Entry]\nExec=\"/opt/Tavrink.app/bin/tavrink\n") << Status::NotFound;
    }
    void status()
    {
        QFETCH(QByteArray, contents);
        QFETCH(Status, expected);
        if (!contents.isEmpty())
            write(entry(), contents);
        XdgAutostartLoginItem item(folder(), kExecutable, u"com.kelvandrosi.Tavrink"_s);
        QCOMPARE(item.status(), expected);
    }

    void pathsThatNeedQuotingRoundTrip_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("spaces") << u"/home/me/My Apps/Tavrink.app/bin/tavrink"_s;
        QTest::newRow("quote, dollar, backquote, backslash") << u"/tmp/a\"b$c`d\\e/Tavrink.app/bin/tavrink"_s;
        QTest::newRow("percent and non-ASCII") << u"/home/zoë/100%/Tavrink.app/bin/tavrink"_s;
    }
    void pathsThatNeedQuotingRoundTrip()
    {
        QFETCH(QString, path);
        XdgAutostartLoginItem item(folder(), path, u"com.kelvandrosi.Tavrink"_s);
        QCOMPARE(item.registerItem(), std::nullopt);
        QCOMPARE(item.status(), Status::Enabled);
    }

    void transitions()
    {
        XdgAutostartLoginItem item(folder(), kExecutable, u"com.kelvandrosi.Tavrink"_s);
        CountingService system(item);

        QCOMPARE(LaunchAtLogin::setEnabled(system, false), std::nullopt); // off while not registered
        QCOMPARE(system.unregistrations, 0);
        QVERIFY(!QFile::exists(entry()));

        QCOMPARE(LaunchAtLogin::setEnabled(system, true), std::nullopt);
        QCOMPARE(system.registrations, 1);
        QVERIFY(LaunchAtLogin::isEnabled(system));
        QVERIFY(!LaunchAtLogin::requiresApproval(system));

        const QDateTime written = QFileInfo(entry()).lastModified();
        QCOMPARE(LaunchAtLogin::setEnabled(system, true), std::nullopt); // on while enabled
        QCOMPARE(system.registrations, 1);
        QCOMPARE(QFileInfo(entry()).lastModified(), written);

        QCOMPARE(LaunchAtLogin::setEnabled(system, false), std::nullopt);
        QCOMPARE(system.unregistrations, 1);
        QVERIFY(!QFile::exists(entry()));
        QVERIFY(!LaunchAtLogin::isEnabled(system));
    }

    void staleEntryIsRewrittenOrRemoved()
    {
        write(entry(), XdgAutostartLoginItem::entryText(u"/old/place/Tavrink.app/bin/tavrink"_s));
        XdgAutostartLoginItem item(folder(), kExecutable, u"com.kelvandrosi.Tavrink"_s);
        CountingService system(item);
        QVERIFY(!LaunchAtLogin::isEnabled(system));
        QCOMPARE(LaunchAtLogin::setEnabled(system, true), std::nullopt);
        QCOMPARE(item.status(), Status::Enabled);

        write(entry(), XdgAutostartLoginItem::entryText(kExecutable) + "Hidden=true\n");
        QCOMPARE(LaunchAtLogin::setEnabled(system, false), std::nullopt); // not found: still unregisters
        QCOMPARE(system.unregistrations, 1);
        QCOMPARE(item.status(), Status::NotRegistered);
    }

    void unwritableFolderGivesAnErrorAndNoChange()
    {
        // Root may write anywhere; a folder that is a file stops it all the same.
        write(folder(), "not a folder");
        XdgAutostartLoginItem item(folder(), kExecutable, u"com.kelvandrosi.Tavrink"_s);
        const std::optional<QString> error = LaunchAtLogin::setEnabled(item, true);
        QVERIFY(error);
        QVERIFY2(error->contains(folder()), qPrintable(*error));
        QCOMPARE(item.status(), Status::NotRegistered);
        QFile::remove(folder());
    }

    void approvalPending()
    {
        FakeLoginItemService system;
        system.afterRegistering = Status::RequiresApproval;
        QCOMPARE(LaunchAtLogin::setEnabled(system, true), std::nullopt);
        QVERIFY(!LaunchAtLogin::isEnabled(system));
        QVERIFY(LaunchAtLogin::requiresApproval(system));
        system.current = Status::RequiresApproval;
        QCOMPARE(LaunchAtLogin::setEnabled(system, false), std::nullopt); // pending: unregisters
        QCOMPARE(system.current, Status::NotRegistered);
    }

    void writtenEntryIsValid()
    {
        const QString validator = QStandardPaths::findExecutable(u"desktop-file-validate"_s);
        if (validator.isEmpty())
            QSKIP("desktop-file-validate (desktop-file-utils) is needed");
        XdgAutostartLoginItem item(folder(), u"/home/me/My Apps/Tavrink.app/bin/tavrink"_s,
                                   u"com.kelvandrosi.Tavrink"_s);
        QCOMPARE(item.registerItem(), std::nullopt);
        QProcess validate;
        validate.start(validator, {entry()});
        QVERIFY(validate.waitForFinished());
        const QString output = QString::fromUtf8(validate.readAll());
        QVERIFY2(validate.exitCode() == 0 && !output.contains(u"error"_s), qPrintable(output));
    }
};

QTEST_GUILESS_MAIN(TestLaunchAtLogin)
#include "tst_launchatlogin.moc"
