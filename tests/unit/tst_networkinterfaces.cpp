#include "Fakes.h"
#include "network/NetworkInterfaces.h"

#include <QTest>

using namespace Qt::StringLiterals;

using Entries = std::vector<SystemAddressEntry>;
using Addresses = QList<InterfaceAddress>;
using Names = QHash<QString, QString>;
Q_DECLARE_METATYPE(Entries)
Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

SystemAddressEntry entry(const QString& name, AddressFamily family, std::optional<QString> host, bool isUp = true,
                         bool isLoopback = false, std::optional<IPv6AddressState> state = std::nullopt)
{
    return {name, isUp, isLoopback, family, std::move(host), state};
}

QStringList rows(const QList<LocalAddress>& list)
{
    QStringList result;
    for (const LocalAddress& local : list)
        result << local.interfaceName + u' ' + local.displayName + u' ' + local.address;
    return result;
}

} // namespace

class TestNetworkInterfaces : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void activeAddresses_data()
    {
        const auto v4 = AddressFamily::IPv4;
        const auto v6 = AddressFamily::IPv6;
        const IPv6AddressState deprecated{false, false, true};
        const IPv6AddressState tentative{true, false, false};
        const IPv6AddressState duplicated{false, true, false};
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<Addresses>("expected");
        QTest::newRow("loopback contributes nothing, not even IPv6")
            << Entries{entry(u"lo"_s, v4, u"127.0.0.1"_s, true, true), entry(u"lo"_s, v6, u"::1"_s, true, true)}
            << Addresses{};
        QTest::newRow("a down interface contributes nothing")
            << Entries{entry(u"eth1"_s, v4, u"10.0.0.2"_s, false)} << Addresses{};
        QTest::newRow("link-layer entries are skipped")
            << Entries{entry(u"eth0"_s, AddressFamily::Other, std::nullopt), entry(u"eth0"_s, v4, u"10.0.0.2"_s)}
            << Addresses{{u"eth0"_s, u"10.0.0.2"_s, true}};
        QTest::newRow("an address the system could not format is left out")
            << Entries{entry(u"eth0"_s, v6, std::nullopt), entry(u"eth0"_s, v4, u"10.0.0.2"_s)}
            << Addresses{{u"eth0"_s, u"10.0.0.2"_s, true}};
        QTest::newRow("zone suffix removed") << Entries{entry(u"wlan0"_s, v6, u"fe80::1c2b:3aff:fe4d:5e6f%wlan0"_s)}
                                             << Addresses{{u"wlan0"_s, u"fe80::1c2b:3aff:fe4d:5e6f"_s, true}};
        QTest::newRow("IPv6 state decides preference; unknown state is preferred")
            << Entries{entry(u"e"_s, v6, u"2001:db8::1"_s, true, false, deprecated),
                       entry(u"e"_s, v6, u"2001:db8::2"_s, true, false, tentative),
                       entry(u"e"_s, v6, u"2001:db8::3"_s, true, false, duplicated),
                       entry(u"e"_s, v6, u"2001:db8::4"_s, true, false, IPv6AddressState{}),
                       entry(u"e"_s, v6, u"2001:db8::5"_s)}
            << Addresses{{u"e"_s, u"2001:db8::1"_s, false},
                         {u"e"_s, u"2001:db8::2"_s, false},
                         {u"e"_s, u"2001:db8::3"_s, false},
                         {u"e"_s, u"2001:db8::4"_s, true},
                         {u"e"_s, u"2001:db8::5"_s, true}};
        QTest::newRow("two IPv4 and three IPv6 keep the system's order")
            << Entries{entry(u"e"_s, v6, u"2001:db8::9"_s), entry(u"e"_s, v4, u"10.0.0.9"_s),
                       entry(u"e"_s, v6, u"fe80::9%e"_s), entry(u"e"_s, v4, u"10.0.0.1"_s),
                       entry(u"e"_s, v6, u"2001:db8::9"_s)}
            << Addresses{{u"e"_s, u"2001:db8::9"_s, true},
                         {u"e"_s, u"10.0.0.9"_s, true},
                         {u"e"_s, u"fe80::9"_s, true},
                         {u"e"_s, u"10.0.0.1"_s, true},
                         {u"e"_s, u"2001:db8::9"_s, true}};
    }
    void activeAddresses()
    {
        QFETCH(Entries, entries);
        QFETCH(Addresses, expected);
        QCOMPARE(NetworkInterfaces::activeAddresses(entries), expected);
    }

    void tailscaleAddresses_data()
    {
        QTest::addColumn<Addresses>("input");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty") << Addresses{} << QStringList{};
        QTest::newRow("de-duplicated, IPv4 before IPv6") << Addresses{{u"tailscale0"_s, u"fd7a:115c:a1e0::1"_s, true},
                                                                      {u"tailscale0"_s, u"100.101.102.103"_s, true},
                                                                      {u"tun5"_s, u"100.101.102.103"_s, true}}
                                                         << QStringList{u"100.101.102.103"_s, u"fd7a:115c:a1e0::1"_s};
        QTest::newRow("text order, not numeric")
            << Addresses{{u"t"_s, u"100.64.0.7"_s, true}, {u"t"_s, u"100.100.1.2"_s, true}}
            << QStringList{u"100.100.1.2"_s, u"100.64.0.7"_s};
        QTest::newRow("CGNAT address on Ethernet counts; preference does not matter")
            << Addresses{{u"eth0"_s, u"100.72.10.20"_s, true},
                         {u"t"_s, u"fd7a:115c:a1e0::2"_s, false},
                         {u"eth0"_s, u"192.168.1.20"_s, true}}
            << QStringList{u"100.72.10.20"_s, u"fd7a:115c:a1e0::2"_s};
    }
    void tailscaleAddresses()
    {
        QFETCH(Addresses, input);
        QFETCH(QStringList, expected);
        QCOMPARE(NetworkInterfaces::tailscaleAddresses(input), expected);
    }

    void localAddresses_data()
    {
        QTest::addColumn<Addresses>("input");
        QTest::addColumn<Names>("names");
        QTest::addColumn<std::optional<QString>>("primary");
        QTest::addColumn<QStringList>("expected");
        const Names wifi{{u"wlan0"_s, u"Wi-Fi"_s}};
        QTest::newRow("empty") << Addresses{} << wifi << std::optional(u"wlan0"_s) << QStringList{};
        QTest::newRow("link-local, deprecated, Tailscale and CGNAT are left out")
            << Addresses{{u"wlan0"_s, u"192.168.1.20"_s, true},
                         {u"wlan0"_s, u"fe80::1c2b:3aff:fe4d:5e6f"_s, true},
                         {u"wlan0"_s, u"2001:db8::5"_s, true},
                         {u"wlan0"_s, u"2001:db8::9"_s, false},
                         {u"wlan0"_s, u"169.254.3.4"_s, true},
                         {u"tailscale0"_s, u"100.101.102.103"_s, true},
                         {u"tailscale0"_s, u"fd7a:115c:a1e0::1"_s, true},
                         {u"eth0"_s, u"100.72.10.20"_s, true}}
            << wifi << std::optional(u"wlan0"_s)
            << QStringList{u"wlan0 Wi-Fi 192.168.1.20"_s, u"wlan0 Wi-Fi 2001:db8::5"_s};
        QTest::newRow("primary interface first even when another name sorts first")
            << Addresses{{u"br0"_s, u"10.1.0.1"_s, true}, {u"wlan0"_s, u"192.168.1.20"_s, true}}
            << Names{{u"wlan0"_s, u"Wi-Fi"_s}, {u"br0"_s, u"Bridge"_s}} << std::optional(u"wlan0"_s)
            << QStringList{u"wlan0 Wi-Fi 192.168.1.20"_s, u"br0 Bridge 10.1.0.1"_s};
        QTest::newRow("without a primary interface, by display name")
            << Addresses{{u"wlan0"_s, u"192.168.1.20"_s, true}, {u"br0"_s, u"10.1.0.1"_s, true}}
            << Names{{u"wlan0"_s, u"Wi-Fi"_s}, {u"br0"_s, u"a bridge"_s}} << std::optional<QString>()
            << QStringList{u"br0 a bridge 10.1.0.1"_s, u"wlan0 Wi-Fi 192.168.1.20"_s};
        QTest::newRow("same display name: interface names as text, en10 before en5")
            << Addresses{{u"en5"_s, u"10.0.5.1"_s, true}, {u"en10"_s, u"10.0.10.1"_s, true}}
            << Names{{u"en5"_s, u"Ethernet"_s}, {u"en10"_s, u"Ethernet"_s}} << std::optional<QString>()
            << QStringList{u"en10 Ethernet 10.0.10.1"_s, u"en5 Ethernet 10.0.5.1"_s};
        QTest::newRow("unnamed interface shows and sorts by its own name")
            << Addresses{{u"wlan0"_s, u"192.168.1.20"_s, true}, {u"utun3"_s, u"10.8.0.2"_s, true}} << wifi
            << std::optional<QString>() << QStringList{u"utun3 utun3 10.8.0.2"_s, u"wlan0 Wi-Fi 192.168.1.20"_s};
        QTest::newRow("display names compare numbers by value, ignoring case")
            << Addresses{{u"b"_s, u"10.0.0.2"_s, true}, {u"a"_s, u"10.0.0.1"_s, true}, {u"c"_s, u"10.0.0.3"_s, true}}
            << Names{{u"a"_s, u"Dock 10"_s}, {u"b"_s, u"dock 9"_s}, {u"c"_s, u"Ethernet"_s}} << std::optional<QString>()
            << QStringList{u"b dock 9 10.0.0.2"_s, u"a Dock 10 10.0.0.1"_s, u"c Ethernet 10.0.0.3"_s};
        QTest::newRow("one interface: IPv4 first, each family in text order")
            << Addresses{{u"e"_s, u"2001:db8::b"_s, true},
                         {u"e"_s, u"192.168.1.20"_s, true},
                         {u"e"_s, u"2001:db8::a"_s, true},
                         {u"e"_s, u"192.168.1.100"_s, true}}
            << Names{} << std::optional<QString>()
            << QStringList{u"e e 192.168.1.100"_s, u"e e 192.168.1.20"_s, u"e e 2001:db8::a"_s, u"e e 2001:db8::b"_s};
        QTest::newRow("duplicates are kept")
            << Addresses{{u"e"_s, u"10.0.0.1"_s, true}, {u"e"_s, u"10.0.0.1"_s, true}} << Names{}
            << std::optional<QString>() << QStringList{u"e e 10.0.0.1"_s, u"e e 10.0.0.1"_s};
    }
    void localAddresses()
    {
        QFETCH(Addresses, input);
        QFETCH(Names, names);
        QFETCH(std::optional<QString>, primary);
        QFETCH(QStringList, expected);
        QCOMPARE(rows(NetworkInterfaces::localAddresses(input, names, primary)), expected);
    }

    void localAddressIdentity()
    {
        const LocalAddress wifi{u"en0"_s, u"Wi-Fi"_s, u"192.168.1.20"_s};
        const LocalAddress renamed{u"en0"_s, u"Ethernet"_s, u"192.168.1.20"_s};
        QCOMPARE(wifi.id(), u"en0|192.168.1.20"_s);
        QCOMPARE(renamed.id(), wifi.id());
        QVERIFY(!(renamed == wifi));
    }

    void listsFromInventory()
    {
        FakeInventory inventory;
        inventory.entries
            = {FakeInventory::up(u"eth0"_s, u"10.0.0.5"_s), FakeInventory::up(u"tailscale0"_s, u"100.100.1.1"_s)};
        inventory.names = {{u"eth0"_s, u"Ethernet"_s}};
        const QList<InterfaceAddress> addresses = NetworkInterfaces::activeAddresses(inventory);
        QCOMPARE(NetworkInterfaces::tailscaleAddresses(addresses), QStringList{u"100.100.1.1"_s});
        QCOMPARE(rows(NetworkInterfaces::localAddresses(addresses, inventory)),
                 QStringList{u"eth0 Ethernet 10.0.0.5"_s});
    }
};

QTEST_GUILESS_MAIN(TestNetworkInterfaces)
#include "tst_networkinterfaces.moc"
