// The menu: its entries built from the model's state and the settings, what stands for what
// across rebuilds, and what choosing an entry does.

#include "Fakes.h"
#include "TestSupport.h"
#include "menu/MenuContent.h"
#include "menu/MenuController.h"
#include "settings/DefaultsStore.h"
#include "settings/SettingsKey.h"

#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace Qt::StringLiterals;
using Command = MenuEntry::Command;

namespace {

// One line per entry: kind, text, icon, command with what it copies, shortcut.
QStringList describe(const QList<MenuEntry>& entries)
{
    static const char* const commands[]
        = {"", " copies=", " copies-hostname", " refreshes", " about", " checks-for-updates", " settings", " quits"};
    QStringList lines;
    for (const MenuEntry& entry : entries) {
        const MenuItem& item = entry.item;
        if (item.kind == MenuItem::Kind::Separator) {
            lines << u"---"_s;
            continue;
        }
        lines << (item.isEnabled() ? u"[button] "_s : u"[label] "_s) + item.text
                + (item.iconName.isEmpty() ? QString() : u" icon="_s + item.iconName)
                + QLatin1String(commands[int(entry.command)]) + entry.copyText
                + (item.shortcutKey.isEmpty() ? QString() : u" ctrl+"_s + item.shortcutKey);
    }
    return lines;
}

// Rows such as "wlan0 Wi-Fi 192.168.1.20 [kind]", "public 203.0.113.7", "tailscale 100.64.0.1",
// "tailscale-name box.tail.ts.net", "updated", "error", "hidden" (local addresses not shown),
// "no-virtual" (container and VM networks not shown), "ipv6-route", "public6 2001:db8::7",
// "lookups-off".
MenuContent::Inputs inputsFrom(const QStringList& rows)
{
    MenuContent::Inputs inputs{u"studio"_s, {}, {}, {}, {}, {}, true, QLocale(), u"1.4"_s};
    for (const QString& row : rows) {
        const QStringList words = row.split(u' ');
        if (words.first() == u"public"_s)
            inputs.publicAddress = words.last();
        else if (words.first() == u"tailscale"_s)
            inputs.tailscaleAddresses.append(words.last());
        else if (row == u"updated"_s)
            inputs.lastUpdated = QDateTime(QDate(2026, 12, 6), QTime(9, 41), QTimeZone::utc());
        else if (row == u"error"_s)
            inputs.lastError = u"No public IPv4 service returned a valid address."_s;
        else if (words.first() == u"tailscale-name"_s)
            inputs.tailscaleName = words.last();
        else if (row == u"hidden"_s)
            inputs.showLocalAddresses = false;
        else if (row == u"no-virtual"_s)
            inputs.showVirtualNetworks = false;
        else if (row == u"ipv6-route"_s)
            inputs.hasIPv6Route = true;
        else if (words.first() == u"public6"_s)
            inputs.publicIPv6Address = words.last();
        else if (row == u"lookups-off"_s)
            inputs.isPublicLookupEnabled = false;
        else
            inputs.localAddresses.append({words.at(0), words.at(1), words.at(2), words.value(3, u"other"_s)});
    }
    return inputs;
}

QString keyOf(const QList<MenuEntry>& entries, const QString& text)
{
    for (const MenuEntry& entry : entries) {
        if (entry.item.text == text)
            return entry.item.key;
    }
    return {};
}

const QString kHost = u"[button] Hostname: studio icon=computer copies-hostname"_s;
const QString kNoPublic = u"[label] Public IP unavailable icon=dialog-warning"_s;
const QString kNoTailscale = u"[label] Tailscale: Not connected icon=network-offline"_s;
const QString kWifi = u"wlan0 Wi-Fi 192.168.1.20"_s;
const QStringList kTail{u"[button] Refresh Now icon=view-refresh refreshes ctrl+r"_s,
                        u"---"_s,
                        u"[button] About Tavrink 1.4 about"_s,
                        u"[button] Check for Updates… checks-for-updates"_s,
                        u"[button] Settings… settings"_s,
                        u"[button] Quit Tavrink quits ctrl+q"_s};

} // namespace

class TestMenu : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    FakeNetwork m_network;
    FakeClipboard m_clipboard;
    std::unique_ptr<DefaultsStore> m_settings;
    std::unique_ptr<HostnameModel> m_hostname;
    std::unique_ptr<NetworkStatusModel> m_model;
    std::unique_ptr<MenuController> m_menu;

    QString keyOf(const QString& text) const { return ::keyOf(m_menu->entries(), text); }

private Q_SLOTS:
    void initTestCase() { useEnglishInUtc(); }

    void init()
    {
        QTest::failOnWarning(QRegularExpression(u".*"_s));
        QFile::remove(m_dir.filePath(u"Tavrink.conf"_s));
        m_network.inventory.entries = {FakeInventory::up(u"wlan0"_s, u"192.168.1.20"_s)};
        m_clipboard.texts.clear();
        m_settings = std::make_unique<DefaultsStore>(m_dir.filePath(u"Tavrink.conf"_s));
        registerTavrinkDefaults(*m_settings);
        m_hostname = fakeHostname(u"studio.example.com"_s);
        m_model = m_network.makeModel();
        m_menu = std::make_unique<MenuController>(*m_model, *m_settings, *m_hostname, m_clipboard);
    }

    void entries_data()
    {
        QTest::addColumn<QStringList>("inputs");
        QTest::addColumn<QStringList>("expected");
        const QString wifi = u"[button] Wi-Fi: 192.168.1.20 icon=network-wired copies=192.168.1.20"_s;
        QTest::newRow("before the first lookup, no Tailscale")
            << QStringList{kWifi} << QStringList{kHost, kNoPublic, kNoTailscale, wifi, u"---"_s} + kTail;
        QTest::newRow("two Tailscale addresses; the time wins over the error")
            << QStringList{u"public 203.0.113.7"_s,
                           u"tailscale 100.101.102.103"_s,
                           u"tailscale fd7a:115c:a1e0::1"_s,
                           kWifi,
                           u"updated"_s,
                           u"error"_s}
            << QStringList{kHost,
                           u"[button] Public IP: 203.0.113.7 icon=network-workgroup copies=203.0.113.7"_s,
                           u"[button] Tailscale: 100.101.102.103 icon=network-vpn copies=100.101.102.103"_s,
                           u"[button] Tailscale: fd7a:115c:a1e0::1 icon=network-vpn copies=fd7a:115c:a1e0::1"_s,
                           wifi,
                           u"---"_s,
                           u"[label] Updated 09:41"_s}
                + kTail;
        QTest::newRow("the Tailscale name after its addresses; container networks hidden")
            << QStringList{u"tailscale 100.101.102.103"_s,
                           u"tailscale-name studio.tail1234.ts.net"_s,
                           kWifi,
                           u"docker0 Docker 172.17.0.1 container"_s,
                           u"wt0 NetBird 100.90.12.7 overlay"_s,
                           u"no-virtual"_s}
            << QStringList{kHost,
                           kNoPublic,
                           u"[button] Tailscale: 100.101.102.103 icon=network-vpn copies=100.101.102.103"_s,
                           u"[button] Tailscale name: studio.tail1234.ts.net icon=network-vpn "
                           "copies=studio.tail1234.ts.net"_s,
                           wifi,
                           u"[button] NetBird: 100.90.12.7 icon=network-wired copies=100.90.12.7"_s,
                           u"---"_s}
                + kTail;
        const QString public4 = u"[button] Public IP: 203.0.113.7 icon=network-workgroup copies=203.0.113.7"_s;
        QTest::newRow("the public IPv6 address after the IPv4 one")
            << QStringList{u"public 203.0.113.7"_s, u"ipv6-route"_s, u"public6 2001:db8::7"_s}
            << QStringList{kHost, public4,
                           u"[button] Public IPv6: 2001:db8::7 icon=network-workgroup copies=2001:db8::7"_s,
                           kNoTailscale, u"---"_s}
                + kTail;
        QTest::newRow("an IPv6 route, no IPv6 answer")
            << QStringList{u"public 203.0.113.7"_s, u"ipv6-route"_s}
            << QStringList{kHost, public4, u"[label] Public IPv6 unavailable icon=dialog-warning"_s, kNoTailscale,
                           u"---"_s}
                + kTail;
        QTest::newRow("lookups off: one row says so, and the error is no news")
            << QStringList{u"ipv6-route"_s, u"lookups-off"_s, u"error"_s}
            << QStringList{kHost, u"[label] Public IP: not looked up icon=network-offline"_s, kNoTailscale, u"---"_s}
                + kTail;
        QTest::newRow("local addresses hidden, the error as status line")
            << QStringList{kWifi, u"hidden"_s, u"error"_s}
            << QStringList{kHost, kNoPublic, kNoTailscale, u"---"_s,
                           u"[label] No public IPv4 service returned a valid address."_s}
                + kTail;
    }
    void entries()
    {
        QFETCH(QStringList, inputs);
        QFETCH(QStringList, expected);
        QCOMPARE(describe(MenuContent::entries(inputsFrom(inputs))), expected);
    }

    void keysNameWhatRowsShow_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("rowBefore");
        QTest::addColumn<QString>("rowAfter");
        QTest::addColumn<bool>("isSameRow");
        const QString row = u"Wi-Fi: 192.168.1.20"_s;
        QTest::newRow("an address keeps its key when rows come in above")
            << QStringList{kWifi} << QStringList{u"tailscale 100.64.0.1"_s, u"eth0 Ethernet 10.0.0.9"_s, kWifi} << row
            << row << true;
        QTest::newRow("a new display name is the same row")
            << QStringList{kWifi} << QStringList{u"wlan0 Wireless 192.168.1.20"_s} << row << u"Wireless: 192.168.1.20"_s
            << true;
        QTest::newRow("the same address on another interface is another row")
            << QStringList{kWifi} << QStringList{u"eth0 Wi-Fi 192.168.1.20"_s} << row << row << false;
        QTest::newRow("an address listed twice is two rows")
            << QStringList{kWifi} << QStringList{kWifi, kWifi} << row << row << true;
        QTest::newRow("the public address is one place, found or not")
            << QStringList{} << QStringList{u"public 203.0.113.7"_s} << u"Public IP unavailable"_s
            << u"Public IP: 203.0.113.7"_s << true;
        QTest::newRow("a Tailscale address is a row of its own")
            << QStringList{} << QStringList{u"tailscale 100.64.0.1"_s} << u"Tailscale: Not connected"_s
            << u"Tailscale: 100.64.0.1"_s << false;
    }
    void keysNameWhatRowsShow()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        QFETCH(QString, rowBefore);
        QFETCH(QString, rowAfter);
        QFETCH(bool, isSameRow);
        const QList<MenuEntry> first = MenuContent::entries(inputsFrom(before));
        const QList<MenuEntry> second = MenuContent::entries(inputsFrom(after));
        for (const QList<MenuEntry>& menu : {first, second}) {
            QSet<QString> keys;
            for (const MenuEntry& entry : menu) {
                QVERIFY2(!keys.contains(entry.item.key), qPrintable(u"key given twice: "_s + entry.item.key));
                keys.insert(entry.item.key);
                // Rows of values are the ones that copy what they show.
                QCOMPARE(entry.item.isFixed, entry.command != Command::Copy || entry.item.key == u"public-address"_s);
            }
        }
        QVERIFY(!::keyOf(first, rowBefore).isEmpty());
        QCOMPARE(::keyOf(first, rowBefore) == ::keyOf(second, rowAfter), isSameRow);
    }

    void unknownVersionShowsAQuestionMark()
    {
        MenuContent::Inputs inputs;
        QVERIFY(describe(MenuContent::entries(inputs)).contains(u"[button] About Tavrink ? about"_s));
    }

    void choicesCopyWhatWasChosen()
    {
        m_network.inventory.entries.push_back(FakeInventory::up(u"eth0"_s, u"10.0.0.9"_s));
        m_model->refresh();
        QTRY_VERIFY(!keyOf(u"eth0: 10.0.0.9"_s).isEmpty());

        // The hostname is read at the click, after the setting changed and before the menu was rebuilt.
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

    void commandsRunAndNothingElse()
    {
        QStringList ran;
        connect(m_menu.get(), &MenuController::aboutRequested, this, [&] { ran << u"about"_s; });
        connect(m_menu.get(), &MenuController::updateCheckRequested, this, [&] { ran << u"updates"_s; });
        connect(m_menu.get(), &MenuController::settingsRequested, this, [&] { ran << u"settings"_s; });
        connect(m_menu.get(), &MenuController::quitRequested, this, [&] { ran << u"quit"_s; });
        // Disabled rows, separators, rows no longer there and no key at all run nothing.
        for (const QString& key : {u"refresh"_s, u"about"_s, u"check-for-updates"_s, u"settings"_s, u"quit"_s,
                                   u"public-address"_s, u"addresses-end"_s, u"local:eth9|10.9.9.9"_s, QString()}) {
            const int reads = m_network.inventory.readCount;
            m_menu->choose(key);
            QCoreApplication::processEvents();
            if (m_network.inventory.readCount > reads)
                ran << u"refresh"_s;
        }
        QCOMPARE(ran, (QStringList{u"refresh"_s, u"about"_s, u"updates"_s, u"settings"_s, u"quit"_s}));
        QVERIFY(m_clipboard.texts.isEmpty());
    }

    void oneRebuildPerTurnOfTheEventLoop()
    {
        QSignalSpy changed(m_menu.get(), &MenuController::entriesChanged);
        m_network.inventory.entries.push_back(FakeInventory::up(u"eth0"_s, u"10.0.0.9"_s));
        m_model->refresh(); // two assignments
        m_settings->setValue(SettingsKey::showLocalAddresses, true);
        QTRY_COMPARE(changed.count(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(changed.count(), 1);
        QVERIFY(!keyOf(u"eth0: 10.0.0.9"_s).isEmpty());
        m_settings->setValue(SettingsKey::showLocalAddresses, false);
        QTRY_COMPARE(changed.count(), 2);
        QVERIFY(keyOf(u"eth0: 10.0.0.9"_s).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMenu)
#include "tst_menu.moc"
