// The network rules without a network: address classification, the snapshot of interface
// addresses, the two lists the menu shows, and the hostname.

#include "Fakes.h"
#include "network/IPAddress.h"
#include "network/NetworkInterfaces.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// "eth0 10.0.0.2", with a word after it: link (no address family), unformatted, or known (an
// IPv6 state was read, with nothing set).
std::vector<SystemAddressEntry> entries(const QStringList& rows)
{
    std::vector<SystemAddressEntry> result;
    for (const QString& row : rows) {
        const QStringList w = row.split(u' ');
        SystemAddressEntry entry = FakeInventory::up(w[0], w[1]);
        if (w.contains(u"link"_s))
            entry.family = AddressFamily::Other;
        if (w.contains(u"unformatted"_s))
            entry.numericHost.reset();
        if (w.contains(u"known"_s))
            entry.ipv6State = IPv6AddressState{};
        result.push_back(entry);
    }
    return result;
}

// "eth0 10.0.0.2", with " -" when not preferred.
QList<InterfaceAddress> addresses(const QStringList& rows)
{
    QList<InterfaceAddress> result;
    for (const QString& row : rows)
        result.append({row.section(u' ', 0, 0), row.section(u' ', 1, 1), !row.endsWith(u" -"_s)});
    return result;
}

QStringList rows(const QList<InterfaceAddress>& list)
{
    QStringList result;
    for (const InterfaceAddress& a : list)
        result << a.name + u' ' + a.address + (a.isPreferred ? u""_s : u" -"_s);
    return result;
}

QStringList rows(const QList<LocalAddress>& list)
{
    QStringList result;
    for (const LocalAddress& local : list)
        result << local.interfaceName + u' ' + local.displayName + u' ' + local.address + u' ' + local.kind;
    return result;
}

} // namespace

class TestNetwork : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(u".*"_s)); }

    void normalizedIPv4_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // null: refused
        QTest::newRow("spaces and line feed trimmed") << u"  192.168.1.10\n"_s << u"192.168.1.10"_s;
        QTest::newRow("tabs, CR, NEL, no-break and line separator trimmed")
            << u"\t\r"_s + QChar(0x85) + QChar(0xa0) + u"203.0.113.7"_s + QChar(0x2028) << u"203.0.113.7"_s;
        QTest::newRow("empty") << u""_s << QString();
        QTest::newRow("whitespace only") << u" \n"_s << QString();
        QTest::newRow("shortened form") << u"10.1"_s << QString();
        QTest::newRow("octet above 255") << u"1.2.3.256"_s << QString();
        QTest::newRow("prefix length") << u"1.2.3.4/24"_s << QString();
        QTest::newRow("interior space") << u"1. 2.3.4"_s << QString();
        QTest::newRow("IPv6") << u"2001:db8::1"_s << QString();
        QTest::newRow("leading zero") << u"010.1.1.1"_s << QString();
        QTest::newRow("hexadecimal part") << u"0x7f.0.0.1"_s << QString();
        QTest::newRow("embedded NUL is not the end of the text") << u"1.2.3.4"_s + QChar(0) + u"junk"_s << QString();
    }
    void normalizedIPv4()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(IPAddress::normalizedIPv4(text).value_or(QString()), expected);
    }

    void ranges_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("ranges"); // which of t4 (Tailscale IPv4), l4, t6, l6 hold
        QTest::newRow("CGNAT low edge") << u"100.64.0.0"_s << u"t4"_s;
        QTest::newRow("CGNAT high edge") << u"100.127.255.255"_s << u"t4"_s;
        QTest::newRow("below CGNAT") << u"100.63.255.255"_s << u""_s;
        QTest::newRow("above CGNAT") << u"100.128.0.0"_s << u""_s;
        QTest::newRow("Tailscale IPv4 with whitespace") << u" 100.64.1.1\n"_s << u"t4"_s;
        QTest::newRow("malformed near Tailscale") << u"100.64.1"_s << u""_s;
        QTest::newRow("link-local low edge") << u"169.254.0.0"_s << u"l4"_s;
        QTest::newRow("link-local high edge") << u"169.254.255.255"_s << u"l4"_s;
        QTest::newRow("before link-local") << u"169.253.255.255"_s << u""_s;
        QTest::newRow("after link-local") << u"169.255.0.1"_s << u""_s;
        QTest::newRow("Tailscale IPv6, upper case") << u"FD7A:115C:A1E0::1"_s << u"t6"_s;
        QTest::newRow("Tailscale IPv6 subnet") << u"fd7a:115c:a1e0:ab12::53"_s << u"t6"_s;
        QTest::newRow("Tailscale prefix without its colon") << u"fd7a:115c:a1e0"_s << u""_s;
        QTest::newRow("neighbouring ULA") << u"fd7a:115c:a1e1::1"_s << u""_s;
        QTest::newRow("Tailscale IPv6 after a space") << u" fd7a:115c:a1e0::1"_s << u""_s;
        QTest::newRow("FE80::1") << u"FE80::1"_s << u"l6"_s;
        QTest::newRow("top of fe80::/10, with whitespace") << u" febf:ffff::1\t"_s << u"l6"_s;
        QTest::newRow("site-local is not link-local") << u"fec0::1"_s << u""_s;
        QTest::newRow("zone suffix makes it unreadable") << u"fe80::1%en0"_s << u""_s;
        QTest::newRow("mapped IPv4 link-local") << u"::ffff:169.254.1.1"_s << u""_s;
    }
    void ranges()
    {
        QFETCH(QString, text);
        QFETCH(QString, ranges);
        QStringList held;
        if (IPAddress::isTailscaleIPv4(text))
            held << u"t4"_s;
        if (IPAddress::isLinkLocalIPv4(text))
            held << u"l4"_s;
        if (IPAddress::isTailscaleIPv6(text))
            held << u"t6"_s;
        if (IPAddress::isLinkLocalIPv6(text))
            held << u"l6"_s;
        QCOMPARE(held.join(u' '), ranges);
    }

    // What the kernel gives in a network namespace (loopback, down interfaces, tentative,
    // deprecated and DAD-failed addresses, primary first, display names, families) is checked
    // against the kernel itself; these are the cases a namespace cannot make.
    void activeAddresses()
    {
        const std::vector<SystemAddressEntry> given
            = entries({u"eth0 - link"_s, u"eth0 2001:db8::1 unformatted"_s, u"e fe80::9%e"_s, u"e 2001:db8::4 known"_s,
                       u"e 2001:db8::9"_s, u"e 2001:db8::9"_s});
        QCOMPARE(rows(NetworkInterfaces::activeAddresses(given)),
                 (QStringList{u"e fe80::9"_s, u"e 2001:db8::4"_s, u"e 2001:db8::9"_s, u"e 2001:db8::9"_s}));
    }

    void lists()
    {
        const QList<InterfaceAddress> given = addresses(
            {u"b 10.0.0.2"_s, u"a 10.0.0.1"_s, u"en5 10.0.5.1"_s, u"en10 10.0.10.1"_s, u"utun3 10.8.0.2"_s,
             u"c 10.0.0.3"_s, u"t 100.64.0.7"_s, u"u 100.64.0.7 -"_s, u"t fd7a:115c:a1e0::2 -"_s, u"a fe80::1"_s,
             u"a 169.254.0.9"_s, u"wt0 100.90.12.7"_s, u"Docker 10.1.0.1"_s, u"d 172.17.0.1"_s});
        const QHash<QString, QString> names{
            {u"a"_s, u"Dock 10"_s},     {u"b"_s, u"dock 9"_s},    {u"c"_s, u"Ethernet"_s},  {u"en5"_s, u"Ethernet"_s},
            {u"en10"_s, u"Ethernet"_s}, {u"t"_s, u"Tailscale"_s}, {u"wt0"_s, u"NetBird"_s}, {u"d"_s, u"Docker"_s}};
        const QSet<QString> tailscale = NetworkInterfaces::tailscaleInterfaces(given, names, std::nullopt);
        // Numbers in names by value, case ignored; interfaces that would read alike add their own
        // name; unnamed: its own name. Link-local addresses (fe80::/10, 169.254/16) and Tailscale's
        // are never local rows, but another overlay's address in Tailscale's range is.
        QCOMPARE(
            rows(NetworkInterfaces::localAddresses(given, names, std::nullopt, tailscale)),
            (QStringList{u"b dock 9 10.0.0.2 other"_s, u"a Dock 10 10.0.0.1 other"_s, u"Docker Docker 10.1.0.1 other"_s,
                         u"d Docker (d) 172.17.0.1 container"_s, u"c Ethernet (c) 10.0.0.3 ethernet"_s,
                         u"en5 Ethernet (en5) 10.0.5.1 ethernet"_s, u"en10 Ethernet (en10) 10.0.10.1 ethernet"_s,
                         u"wt0 NetBird 100.90.12.7 overlay"_s, u"utun3 utun3 10.8.0.2 other"_s}));
        // Once each, whatever their preference.
        QCOMPARE(NetworkInterfaces::tailscaleAddresses(given, tailscale),
                 (QStringList{u"100.64.0.7"_s, u"fd7a:115c:a1e0::2"_s}));
    }

    // Tailscale's interfaces: the daemon's word where it names an address of this machine, else the name.
    void tailscaleInterfaces_data()
    {
        QTest::addColumn<QStringList>("reported"); // the daemon's addresses; empty: no answer
        QTest::addColumn<QStringList>("interfaces");
        QTest::newRow("no daemon: the tun device named tailscale") << QStringList{} << QStringList{u"t"_s};
        QTest::newRow("the daemon's address lies on another interface")
            << QStringList{u"100.90.12.7"_s} << QStringList{u"wt0"_s};
        QTest::newRow("addresses this machine does not have") << QStringList{u"100.99.0.1"_s} << QStringList{u"t"_s};
        QTest::newRow("an address outside Tailscale's ranges") << QStringList{u"10.0.0.3"_s} << QStringList{u"t"_s};
    }
    void tailscaleInterfaces()
    {
        QFETCH(QStringList, reported);
        QFETCH(QStringList, interfaces);
        const auto status = reported.isEmpty() ? std::nullopt : std::optional(TailscaleStatus{reported, {}});
        const QSet<QString> found = NetworkInterfaces::tailscaleInterfaces(
            addresses({u"t 100.64.0.7"_s, u"wt0 100.90.12.7"_s, u"c 10.0.0.3"_s}),
            {{u"t"_s, u"Tailscale"_s}, {u"wt0"_s, u"NetBird"_s}}, status);
        QCOMPARE(QStringList(found.cbegin(), found.cend()), interfaces);
    }

    void shortName_data()
    {
        QTest::addColumn<QString>("hostName");
        QTest::addColumn<QString>("expected");
        QTest::newRow("several labels") << u"mac.example.com"_s << u"mac"_s;
        QTest::newRow("no dot") << u"studio"_s << u"studio"_s;
        QTest::newRow("leading dot") << u".hidden"_s << u""_s;
        QTest::newRow("trailing dot") << u"studio."_s << u"studio"_s;
    }
    void shortName()
    {
        QFETCH(QString, hostName);
        QFETCH(QString, expected);
        const auto model = fakeHostname(hostName);
        QCOMPARE(model->fullName(), hostName);
        QCOMPARE(model->shortName(), expected);
    }

    void canonicalNameOnlyForTheHostItWasResolvedFor()
    {
        QString kernelName = u"studio"_s;
        HostnameModel model([&] { return kernelName; }, [](const QString& name) { return name + u".example.com"_s; });
        QCOMPARE(model.fullName(), u"studio"_s); // nothing resolved yet: reading never waits
        QSignalSpy resolved(&model, &HostnameModel::resolved);
        model.resolve();
        QVERIFY(resolved.wait(5000));
        QCOMPARE(model.fullName(), u"studio.example.com"_s);
        kernelName = u"renamed"_s; // renamed since the last resolution
        QCOMPARE(model.fullName(), u"renamed"_s);

        const auto unresolved = fakeHostname(u"box"_s);
        QSignalSpy failed(unresolved.get(), &HostnameModel::resolved);
        unresolved->resolve();
        QVERIFY(failed.wait(5000));
        QCOMPARE(unresolved->fullName(), u"box"_s);
    }

    void modelGoneBeforeItsResolutionEnds()
    {
        auto model = std::make_unique<HostnameModel>([] { return u"slow"_s; },
                                                     [](const QString& name) {
                                                         QThread::msleep(200);
                                                         return name + u".lan"_s;
                                                     });
        model->resolve();
        model.reset();
        QTest::qWait(400); // the late answer must find nobody and touch nothing
    }
};

QTEST_GUILESS_MAIN(TestNetwork)
#include "tst_network.moc"
