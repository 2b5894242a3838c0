#include "FakeClipboard.h"
#include "FakeNetwork.h"
#include "Fakes.h"
#include "menu/MenuController.h"
#include "network/HostnameModel.h"
#include "network/NetworkStatusModel.h"
#include "settings/DefaultsStore.h"
#include "settings/SettingsKey.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestMenuController : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    FakeNetwork m_network;
    FakeClipboard m_clipboard;
    std::unique_ptr<DefaultsStore> m_settings;
    std::unique_ptr<HostnameModel> m_hostname;
    std::unique_ptr<NetworkStatusModel> m_model;
    std::unique_ptr<MenuController> m_menu;

    QString keyOf(const QString& text) const
    {
        const QList<MenuEntry> entries = m_menu->entries();
        for (const MenuEntry& entry : entries) {
            if (entry.item.text == text)
                return entry.item.key;
        }
        return {};
    }

private Q_SLOTS:
    void init()
    {
        QFile::remove(m_dir.filePath(u"Tavrink.conf"_s));
        m_network.inventory = FakeInventory();
        m_network.inventory.entries = {FakeInventory::up(u"wlan0"_s, u"192.168.1.20"_s)};
        m_network.inventory.names = {{u"wlan0"_s, u"Wi-Fi"_s}};
        m_clipboard.texts.clear();
        m_settings = std::make_unique<DefaultsStore>(m_dir.filePath(u"Tavrink.conf"_s));
        registerTavrinkDefaults(*m_settings);
        m_hostname = std::make_unique<HostnameModel>([] { return u"studio.example.com"_s; },
                                                     [](const QString&) { return QString(); });
        m_model = m_network.makeModel();
        m_menu = std::make_unique<MenuController>(*m_model, *m_settings, *m_hostname, m_clipboard);
    }

    void copiesWhatWasChosen()
    {
        m_network.inventory.entries.push_back(FakeInventory::up(u"eth0"_s, u"10.0.0.9"_s));
        m_model->refresh();
        QTRY_VERIFY(!keyOf(u"eth0: 10.0.0.9"_s).isEmpty());

        // The hostname is read at the click, after the settings changed and before the menu was rebuilt.
        m_menu->choose(keyOf(u"Hostname: studio"_s));
        m_settings->setValue(SettingsKey::useFQDN, true);
        QTRY_COMPARE(m_clipboard.texts, QStringList{u"studio.example.com"_s});

        // The interface goes away in the turn the click arrives: the rebuild that drops its row
        // comes first, and the click still copies the address that was chosen.
        m_network.inventory.entries.pop_back();
        m_model->refresh();
        m_menu->choose(keyOf(u"eth0: 10.0.0.9"_s));
        QTRY_COMPARE(m_clipboard.texts, (QStringList{u"studio.example.com"_s, u"10.0.0.9"_s}));
        QVERIFY(keyOf(u"eth0: 10.0.0.9"_s).isEmpty());
    }

    void commandsRunAndNothingElse_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Refresh Now") << u"refresh"_s << u"refresh"_s;
        QTest::newRow("About") << u"about"_s << u"about"_s;
        QTest::newRow("Settings") << u"settings"_s << u"settings"_s;
        QTest::newRow("Quit") << u"quit"_s << u"quit"_s;
        QTest::newRow("disabled row") << u"public-address"_s << QString();
        QTest::newRow("separator") << u"addresses-end"_s << QString();
        QTest::newRow("a row no longer there") << u"local:eth9|10.9.9.9"_s << QString();
        QTest::newRow("no key") << QString() << QString();
    }
    void commandsRunAndNothingElse()
    {
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QStringList ran;
        connect(m_menu.get(), &MenuController::aboutRequested, this, [&] { ran << u"about"_s; });
        connect(m_menu.get(), &MenuController::settingsRequested, this, [&] { ran << u"settings"_s; });
        connect(m_menu.get(), &MenuController::quitRequested, this, [&] { ran << u"quit"_s; });
        const int reads = m_network.inventory.readCount;
        m_menu->choose(key);
        QCoreApplication::processEvents();
        if (m_network.inventory.readCount > reads)
            ran << u"refresh"_s;
        QCOMPARE(ran, expected.isEmpty() ? QStringList() : QStringList{expected});
        QVERIFY(m_clipboard.texts.isEmpty());
    }

    void oneRebuildPerTurnOfTheEventLoop()
    {
        QSignalSpy changed(m_menu.get(), &MenuController::entriesChanged);
        m_network.inventory.entries.push_back(FakeInventory::up(u"eth0"_s, u"10.0.0.9"_s));
        m_model->refresh(); // two assignments
        m_settings->setValue(SettingsKey::showLocalAddresses, true);
        QTRY_COMPARE(changed.count(), 1);
        QTest::qWait(50);
        QCOMPARE(changed.count(), 1);
        QVERIFY(!keyOf(u"eth0: 10.0.0.9"_s).isEmpty());

        m_settings->setValue(SettingsKey::showLocalAddresses, false);
        QTRY_COMPARE(changed.count(), 2);
        QVERIFY(keyOf(u"eth0: 10.0.0.9"_s).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMenuController)
#include "tst_menucontroller.moc"
