#include "menu/MenuContent.h"

#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;
using Command = MenuEntry::Command;
using Kind = MenuItem::Kind;

namespace {

// One line per entry: kind, text, icon, command, copied text, shortcut.
QStringList describe(const QList<MenuEntry>& entries)
{
    QStringList lines;
    for (const MenuEntry& entry : entries) {
        if (entry.item.kind == Kind::Separator) {
            lines << u"---"_s;
            continue;
        }
        QString line = (entry.item.kind == Kind::Button ? u"[button] "_s : u"[label] "_s) + entry.item.text;
        if (!entry.item.iconName.isEmpty())
            line += u" icon="_s + entry.item.iconName;
        if (entry.command == Command::Copy)
            line += u" copies="_s + entry.copyText;
        if (entry.command == Command::CopyHostname)
            line += u" copies-hostname"_s;
        if (entry.command == Command::Refresh)
            line += u" refreshes"_s;
        if (entry.command == Command::OpenAbout)
            line += u" opens-about"_s;
        if (entry.command == Command::OpenSettings)
            line += u" opens-settings"_s;
        if (entry.command == Command::Quit)
            line += u" quits"_s;
        if (!entry.item.shortcutKey.isEmpty())
            line += u" ctrl+"_s + entry.item.shortcutKey;
        lines << line;
    }
    return lines;
}

// Inputs from rows such as "wlan0 Wi-Fi 192.168.1.20", "public 203.0.113.7", "tailscale 100.64.0.1".
MenuContent::Inputs inputsFrom(const QStringList& rows)
{
    MenuContent::Inputs inputs;
    for (const QString& row : rows) {
        const QStringList words = row.split(u' ');
        if (words.first() == u"public"_s)
            inputs.publicAddress = words.last();
        else if (words.first() == u"tailscale"_s)
            inputs.tailscaleAddresses.append(words.last());
        else
            inputs.localAddresses.append({words.at(0), words.at(1), words.at(2)});
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

const QStringList kTail{u"[button] Refresh Now icon=view-refresh refreshes ctrl+r"_s, u"---"_s,
                        u"[button] About Tavrink 1.4 opens-about"_s, u"[button] Settings… opens-settings"_s,
                        u"[button] Quit Tavrink quits ctrl+q"_s};

} // namespace

class TestMenuContent : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    }

    void entries_data()
    {
        QTest::addColumn<bool>("hasPublic");
        QTest::addColumn<QStringList>("tailscale");
        QTest::addColumn<bool>("showLocal");
        QTest::addColumn<bool>("hasLocal");
        QTest::addColumn<bool>("hasUpdated");
        QTest::addColumn<bool>("hasError");
        QTest::addColumn<QStringList>("expected");
        const QString host = u"[button] Hostname: studio icon=computer copies-hostname"_s;
        const QString wifi = u"[button] Wi-Fi: 192.168.1.20 icon=network-wired copies=192.168.1.20"_s;
        QTest::newRow("before the first lookup, no Tailscale")
            << false << QStringList{} << true << true << false << false
            << QStringList{host, u"[label] Public IP unavailable icon=dialog-warning"_s,
                           u"[label] Tailscale: Not connected icon=network-offline"_s, wifi, u"---"_s}
                + kTail;
        QTest::newRow("two Tailscale addresses, each copying its own")
            << true << QStringList{u"100.101.102.103"_s, u"fd7a:115c:a1e0::1"_s} << true << true << true << false
            << QStringList{host,
                           u"[button] Public IP: 203.0.113.7 icon=network-workgroup copies=203.0.113.7"_s,
                           u"[button] Tailscale: 100.101.102.103 icon=network-vpn copies=100.101.102.103"_s,
                           u"[button] Tailscale: fd7a:115c:a1e0::1 icon=network-vpn copies=fd7a:115c:a1e0::1"_s,
                           wifi,
                           u"---"_s,
                           u"[label] Updated 09:41"_s}
                + kTail;
        QTest::newRow("local addresses hidden: the separator follows Tailscale")
            << false << QStringList{} << false << true << false << true
            << QStringList{host, u"[label] Public IP unavailable icon=dialog-warning"_s,
                           u"[label] Tailscale: Not connected icon=network-offline"_s, u"---"_s,
                           u"[label] No public IPv4 service returned a valid address."_s}
                + kTail;
        QTest::newRow("local list shown but empty")
            << false << QStringList{} << true << false << false << false
            << QStringList{host, u"[label] Public IP unavailable icon=dialog-warning"_s,
                           u"[label] Tailscale: Not connected icon=network-offline"_s, u"---"_s}
                + kTail;
        QTest::newRow("updated and error: the time wins")
            << true << QStringList{} << false << false << true << true
            << QStringList{host, u"[button] Public IP: 203.0.113.7 icon=network-workgroup copies=203.0.113.7"_s,
                           u"[label] Tailscale: Not connected icon=network-offline"_s, u"---"_s,
                           u"[label] Updated 09:41"_s}
                + kTail;
    }
    void entries()
    {
        QFETCH(bool, hasPublic);
        QFETCH(QStringList, tailscale);
        QFETCH(bool, showLocal);
        QFETCH(bool, hasLocal);
        QFETCH(bool, hasUpdated);
        QFETCH(bool, hasError);
        QFETCH(QStringList, expected);
        MenuContent::Inputs inputs;
        inputs.hostname = u"studio"_s;
        inputs.version = u"1.4"_s;
        if (hasPublic)
            inputs.publicAddress = u"203.0.113.7"_s;
        inputs.tailscaleAddresses = tailscale;
        if (hasLocal)
            inputs.localAddresses = {{u"wlan0"_s, u"Wi-Fi"_s, u"192.168.1.20"_s}};
        inputs.showLocalAddresses = showLocal;
        if (hasUpdated)
            inputs.lastUpdated = QDateTime(QDate(2026, 12, 6), QTime(9, 41), Qt::UTC);
        if (hasError)
            inputs.lastError = u"No public IPv4 service returned a valid address."_s;
        QCOMPARE(describe(MenuContent::entries(inputs)), expected);
    }

    void keysNameWhatRowsShow_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("rowBefore");
        QTest::addColumn<QString>("rowAfter");
        QTest::addColumn<bool>("isSameRow");
        const QString wifi = u"wlan0 Wi-Fi 192.168.1.20"_s;
        QTest::newRow("an address keeps its key when a row comes in above")
            << QStringList{wifi} << QStringList{u"tailscale 100.64.0.1"_s, u"eth0 Ethernet 10.0.0.9"_s, wifi}
            << u"Wi-Fi: 192.168.1.20"_s << u"Wi-Fi: 192.168.1.20"_s << true;
        QTest::newRow("a new display name is the same row")
            << QStringList{wifi} << QStringList{u"wlan0 Wireless 192.168.1.20"_s} << u"Wi-Fi: 192.168.1.20"_s
            << u"Wireless: 192.168.1.20"_s << true;
        QTest::newRow("the same address on another interface is another row")
            << QStringList{u"wlan0 Wi-Fi 10.0.0.9"_s} << QStringList{u"eth0 Wi-Fi 10.0.0.9"_s} << u"Wi-Fi: 10.0.0.9"_s
            << u"Wi-Fi: 10.0.0.9"_s << false;
        QTest::newRow("an address listed twice on one interface is two rows")
            << QStringList{wifi} << QStringList{wifi, wifi} << u"Wi-Fi: 192.168.1.20"_s << u"Wi-Fi: 192.168.1.20"_s
            << true;
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
                // Rows of values are those that copy what they show.
                QCOMPARE(entry.item.isFixed, entry.command != Command::Copy || entry.item.key == u"public-address"_s);
            }
        }
        QVERIFY(!keyOf(first, rowBefore).isEmpty());
        QCOMPARE(keyOf(first, rowBefore) == keyOf(second, rowAfter), isSameRow);
    }

    void unknownVersionShowsAQuestionMark()
    {
        MenuContent::Inputs inputs;
        const QStringList menu = describe(MenuContent::entries(inputs));
        QVERIFY(menu.contains(u"[button] About Tavrink ? opens-about"_s));
    }
};

QTEST_GUILESS_MAIN(TestMenuContent)
#include "tst_menucontent.moc"
