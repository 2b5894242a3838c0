#include "settings/DefaultsStore.h"
#include "settings/SettingsKey.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

void writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestDefaultsStore : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(u"kelvandrosi/Tavrink.conf"_s); }

private Q_SLOTS:
    void init()
    {
        QFile::remove(path());
        QFile::remove(path() + u".damaged"_s);
    }

    void standardFileFollowsXdgConfigHome()
    {
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
        QCOMPARE(DefaultsStore::standardFilePath(), m_dir.path() + u"/kelvandrosi/Tavrink.conf"_s);
        qputenv("XDG_CONFIG_HOME", saved);
    }

    void registeredDefaultsAreReadButNeverWritten()
    {
        DefaultsStore store(path());
        registerTavrinkDefaults(store);
        QCOMPARE(store.boolValue(SettingsKey::showHostnameInBar, false), true);
        QCOMPARE(store.boolValue(SettingsKey::useFQDN, true), false);
        QCOMPARE(store.boolValue(SettingsKey::showLocalAddresses, false), true);
        QVERIFY(!QFile::exists(path()));
    }

    void userValueWinsOverDefaultAndSurvivesRestart()
    {
        {
            DefaultsStore store(path());
            registerTavrinkDefaults(store);
            QSignalSpy changed(&store, &DefaultsStore::valueChanged);
            QVERIFY(store.setValue(SettingsKey::useFQDN, true));
            QCOMPARE(changed.count(), 1);
            QCOMPARE(changed.first().first().toString(), SettingsKey::useFQDN);
        }
        DefaultsStore store(path());
        registerTavrinkDefaults(store); // registering again must not replace the user's value
        QCOMPARE(store.boolValue(SettingsKey::useFQDN, false), true);
        QVERIFY(readFile(path()).contains("useFQDN=true"));
        QVERIFY(!readFile(path()).contains("showHostnameInBar"));
    }

    void removedKeyReadsAsDefaultAgain()
    {
        DefaultsStore store(path());
        registerTavrinkDefaults(store);
        store.setValue(SettingsKey::showLocalAddresses, false);
        QSignalSpy changed(&store, &DefaultsStore::valueChanged);
        QVERIFY(store.remove(SettingsKey::showLocalAddresses));
        QCOMPARE(store.boolValue(SettingsKey::showLocalAddresses, false), true);
        QCOMPARE(changed.count(), 1);
    }

    void editOfTheFileByAnotherProcessIsHeard()
    {
        DefaultsStore store(path());
        registerTavrinkDefaults(store);
        store.setValue(SettingsKey::useFQDN, false);
        QSignalSpy changed(&store, &DefaultsStore::valueChanged);
        writeFile(path() + u".new"_s, "[General]\nuseFQDN=true\nshowHostnameInBar=false\n");
        QVERIFY(QFile::remove(path()) && QFile::rename(path() + u".new"_s, path())); // as editors save
        QTRY_COMPARE(changed.count(), 2);
        QCOMPARE(store.boolValue(SettingsKey::useFQDN, false), true);
        QCOMPARE(store.boolValue(SettingsKey::showHostnameInBar, true), false);

        writeFile(path(), "[General]\nuseFQDN=false\nshowHostnameInBar=false\n"); // rewritten in place
        QTRY_COMPARE(changed.count(), 3);
        QCOMPARE(store.boolValue(SettingsKey::useFQDN, true), false);
    }

    void fileCreatedByAnotherProcessIsHeard()
    {
        DefaultsStore store(path());
        registerTavrinkDefaults(store);
        QVERIFY(!QFile::exists(path()));
        QSignalSpy changed(&store, &DefaultsStore::valueChanged);
        {
            QFile file(path());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[General]\n");
            file.flush();
            QTest::qWait(5); // the writer is slower than the watcher
            file.write("showHostnameInBar=false\n");
        }
        QTRY_COMPARE(store.boolValue(SettingsKey::showHostnameInBar, true), false);
        QCOMPARE(changed.count(), 1);
    }

    void values_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("expected");
        QTest::newRow("true") << QByteArray("useFQDN=true") << true;
        QTest::newRow("1") << QByteArray("useFQDN=1") << true;
        QTest::newRow("upper-case TRUE") << QByteArray("useFQDN=TRUE") << true;
        QTest::newRow("false") << QByteArray("useFQDN=false") << false;
        QTest::newRow("garbage reads as the default") << QByteArray("useFQDN=banana") << false;
        QTest::newRow("empty reads as the default") << QByteArray("useFQDN=") << false;
    }
    void values()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, expected);
        QDir().mkpath(m_dir.filePath(u"kelvandrosi"_s));
        writeFile(path(), "[General]\n" + line + '\n');
        DefaultsStore store(path());
        registerTavrinkDefaults(store);
        QCOMPARE(store.boolValue(SettingsKey::useFQDN, true), expected);
    }

    void damagedFileReadsAsDefaultsAndIsKeptAside()
    {
        QDir().mkpath(m_dir.filePath(u"kelvandrosi"_s));
        const QByteArray damaged("[General\nuseFQDN=true\n\xff\xfe garbage = = [\n");
        writeFile(path(), damaged);
        DefaultsStore store(path());
        registerTavrinkDefaults(store);
        if (readFile(path()) != damaged)
            QFAIL("reading the settings changed the file");
        QCOMPARE(store.boolValue(SettingsKey::showHostnameInBar, false), true);

        store.setValue(SettingsKey::showLocalAddresses, false);
        QCOMPARE(store.boolValue(SettingsKey::showLocalAddresses, true), false);
        QCOMPARE(readFile(path() + u".damaged"_s), damaged);
    }
};

QTEST_GUILESS_MAIN(TestDefaultsStore)
#include "tst_defaultsstore.moc"
