#include "network/IPAddress.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestIPAddress : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void normalizedIPv4_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // null: refused
        QTest::newRow("surrounding spaces and line feed trimmed") << u"  192.168.1.10\n"_s << u"192.168.1.10"_s;
        QTest::newRow("plain address unchanged") << u"192.168.1.10"_s << u"192.168.1.10"_s;
        QTest::newRow("tabs, CR, NEL and no-break space trimmed")
            << u"\t\r"_s + QChar(0x85) + QChar(0xa0) + u"203.0.113.7"_s + QChar(0x2028) << u"203.0.113.7"_s;
        QTest::newRow("empty") << u""_s << QString();
        QTest::newRow("whitespace only") << u" \n"_s << QString();
        QTest::newRow("shortened form") << u"10.1"_s << QString();
        QTest::newRow("octet above 255") << u"1.2.3.256"_s << QString();
        QTest::newRow("five parts") << u"1.2.3.4.5"_s << QString();
        QTest::newRow("port suffix") << u"1.2.3.4:80"_s << QString();
        QTest::newRow("prefix length") << u"1.2.3.4/24"_s << QString();
        QTest::newRow("interior space") << u"1. 2.3.4"_s << QString();
        QTest::newRow("IPv6") << u"2001:db8::1"_s << QString();
        QTest::newRow("leading zero") << u"010.1.1.1"_s << QString();
        QTest::newRow("hexadecimal part") << u"0x7f.0.0.1"_s << QString();
        QTest::newRow("label in front") << u"ip=1.2.3.4"_s << QString();
        QTest::newRow("two addresses") << u"1.2.3.4 5.6.7.8"_s << QString();
        QTest::newRow("embedded NUL is not the end of the text") << u"1.2.3.4"_s + QChar(0) + u"junk"_s << QString();
    }
    void normalizedIPv4()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const std::optional<QString> result = IPAddress::normalizedIPv4(text);
        if (expected.isNull())
            QVERIFY2(!result, qPrintable(*result));
        else
            QCOMPARE(result.value_or(u"<refused>"_s), expected);
    }

    void ranges_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("tailscale4");
        QTest::addColumn<bool>("linkLocal4");
        QTest::addColumn<bool>("tailscale6");
        QTest::addColumn<bool>("linkLocal6");
        QTest::newRow("CGNAT low edge goes to Tailscale") << u"100.64.0.0"_s << true << false << false << false;
        QTest::newRow("Tailscale middle") << u"100.100.100.100"_s << true << false << false << false;
        QTest::newRow("CGNAT high edge") << u"100.127.255.255"_s << true << false << false << false;
        QTest::newRow("below CGNAT") << u"100.63.255.255"_s << false << false << false << false;
        QTest::newRow("above CGNAT") << u"100.128.0.0"_s << false << false << false << false;
        QTest::newRow("private 10.64") << u"10.64.0.1"_s << false << false << false << false;
        QTest::newRow("Tailscale with whitespace") << u" 100.64.1.1\n"_s << true << false << false << false;
        QTest::newRow("malformed near Tailscale") << u"100.64.1"_s << false << false << false << false;
        QTest::newRow("link-local low") << u"169.254.0.0"_s << false << true << false << false;
        QTest::newRow("link-local high") << u"169.254.255.255"_s << false << true << false << false;
        QTest::newRow("before link-local") << u"169.253.1.1"_s << false << false << false << false;
        QTest::newRow("after link-local") << u"169.255.0.1"_s << false << false << false << false;
        QTest::newRow("Tailscale IPv6") << u"fd7a:115c:a1e0::1"_s << false << false << true << false;
        QTest::newRow("Tailscale IPv6 upper case") << u"FD7A:115C:A1E0::1"_s << false << false << true << false;
        QTest::newRow("Tailscale IPv6 subnet") << u"fd7a:115c:a1e0:ab12::53"_s << false << false << true << false;
        QTest::newRow("Tailscale prefix without colon") << u"fd7a:115c:a1e0"_s << false << false << false << false;
        QTest::newRow("neighbouring ULA") << u"fd7a:115c:a1e1::1"_s << false << false << false << false;
        QTest::newRow("Tailscale IPv6 after a space") << u" fd7a:115c:a1e0::1"_s << false << false << false << false;
        QTest::newRow("fe80::1") << u"fe80::1"_s << false << false << false << true;
        QTest::newRow("FE80::1") << u"FE80::1"_s << false << false << false << true;
        QTest::newRow("top of fe80::/10") << u"febf:ffff::1"_s << false << false << false << true;
        QTest::newRow("link-local with whitespace") << u" fe80::1\t"_s << false << false << false << true;
        QTest::newRow("site-local is not link-local") << u"fec0::1"_s << false << false << false << false;
        QTest::newRow("zone suffix makes it unreadable") << u"fe80::1%en0"_s << false << false << false << false;
        QTest::newRow("mapped IPv4 link-local") << u"::ffff:169.254.1.1"_s << false << false << false << false;
    }
    void ranges()
    {
        QFETCH(QString, text);
        QFETCH(bool, tailscale4);
        QFETCH(bool, linkLocal4);
        QFETCH(bool, tailscale6);
        QFETCH(bool, linkLocal6);
        QCOMPARE(IPAddress::isTailscaleIPv4(text), tailscale4);
        QCOMPARE(IPAddress::isLinkLocalIPv4(text), linkLocal4);
        QCOMPARE(IPAddress::isTailscaleIPv6(text), tailscale6);
        QCOMPARE(IPAddress::isLinkLocalIPv6(text), linkLocal6);
    }
};

QTEST_GUILESS_MAIN(TestIPAddress)
#include "tst_ipaddress.moc"
