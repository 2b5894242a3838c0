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

    int indexOf(const QString& text) const
    {
        const QList<MenuEntry> entries = m_menu->entries();
        for (qsizetype i = 0; i < entries.size(); ++i) {
            if (entries.at(i).item.text == text)
                return static_cast<int>(i);
        }
        return -1;
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

    void hostnameIsReadAgainWhenChosen()
    {
        const int index = indexOf(u"Hostname: studio"_s);
        QVERIFY(index >= 0);
        m_settings->setValue(SettingsKey::useFQDN, true); // the menu has not been rebuilt yet
        m_menu->choose(index);
        QCOMPARE(m_clipboard.texts, QStringList{u"studio.example.com"_s});
    }

    void disabledRowsAndStaleIndexesDoNothing()
    {
        m_menu->choose(indexOf(u"Public IP unavailable"_s));
        m_menu->choose(-1);
        m_menu->choose(1000);
        QVERIFY(m_clipboard.texts.isEmpty());
    }

    void refreshAndQuit()
    {
        const int reads = m_network.inventory.readCount;
        m_menu->choose(indexOf(u"Refresh Now"_s));
        QCOMPARE(m_network.inventory.readCount, reads + 1);
        QSignalSpy quit(m_menu.get(), &MenuController::quitRequested);
        m_menu->choose(indexOf(u"Quit Tavrink"_s));
        QCOMPARE(quit.count(), 1);
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
        QVERIFY(indexOf(u"eth0: 10.0.0.9"_s) >= 0);

        m_settings->setValue(SettingsKey::showLocalAddresses, false);
        QTRY_COMPARE(changed.count(), 2);
        QCOMPARE(indexOf(u"eth0: 10.0.0.9"_s), -1);
    }
};

QTEST_GUILESS_MAIN(TestMenuController)
#include "tst_menucontroller.moc"
