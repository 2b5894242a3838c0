// Tavrink against the real kernel: network namespaces made by the test, with veth, bridge and
// tun interfaces named as container, VM and overlay managers name theirs, Tailscale's, CGNAT,
// link-local, deprecated, tentative and DAD-failed addresses.

#include "TestSupport.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kNs = u"tavrink-test-%1"_s.arg(::getpid());
const QString kPeer = u"tavrink-peer-%1"_s.arg(::getpid());

QString tavrink()
{
    return qEnvironmentVariable("TAVRINK_BUNDLE") + u"/bin/tavrink"_s;
}

// Runs a command line to its end; its output, or the end of the test run naming it.
QString run(const QString& line)
{
    const auto [status, output] = runCommand(line);
    if (status != 0)
        qFatal("command failed: %s\n%s", qPrintable(line), qPrintable(output));
    return output;
}

QStringList localRows(const QJsonObject& snapshot)
{
    QStringList rows;
    const QJsonArray locals = snapshot[u"localAddresses"_s].toArray();
    for (const QJsonValue& local : locals) {
        rows << local[u"interfaceName"_s].toString() + u' ' + local[u"displayName"_s].toString() + u' '
                + local[u"address"_s].toString() + u' ' + local[u"kind"_s].toString();
    }
    return rows;
}

} // namespace

class TestNetns : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_config;

    QJsonObject snapshot()
    {
        const QString output = run(
            u"ip netns exec %1 env XDG_CONFIG_HOME=%2 %3 --json --no-public"_s.arg(kNs, m_config.path(), tavrink()));
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(output.toUtf8(), &error);
        if (error.error != QJsonParseError::NoError)
            qFatal("not JSON: %s", qPrintable(output));
        return document.object();
    }

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(u".*"_s)); }

    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("creating network namespaces needs root; CI runs this as root");
        if (QStandardPaths::findExecutable(u"ip"_s).isEmpty())
            QSKIP("the ip command (iproute2) is needed");
        QVERIFY2(QFile::exists(tavrink()), qPrintable(tavrink()));
        runCommand(u"ip netns del %1; ip netns del %2"_s.arg(kNs, kPeer));
        run(u"ip netns add %1 && ip netns add %2"_s.arg(kNs, kPeer));
        const QString n = u"ip -n "_s + kNs + u' ';
        const QString p = u"ip -n "_s + kPeer + u' ';
        const QStringList setup{
            n + u"link set lo up"_s,
            // vtest0: the primary interface, with a peer that answers duplicate address detection.
            n + u"link add vtest0 type veth peer name vpeer0 netns "_s + kPeer,
            p + u"link set vpeer0 up"_s,
            p + u"addr add 2001:db8:77::66/64 dev vpeer0 nodad"_s,
            n + u"addr add 192.168.77.20/24 dev vtest0"_s,
            n + u"addr add 100.72.10.20/24 dev vtest0"_s,
            n + u"addr add 169.254.10.10/16 dev vtest0"_s,
            n + u"addr add 2001:db8:77::5/64 dev vtest0 nodad"_s,
            n + u"addr add 2001:db8:77::7/64 dev vtest0 nodad valid_lft 5000 preferred_lft 4000"_s,
            n + u"addr add 2001:db8:77::9/64 dev vtest0 nodad preferred_lft 0"_s,
            n + u"link set vtest0 up"_s,
            n + u"addr add 2001:db8:77::66/64 dev vtest0"_s,
            // br0: a bridge with one port, so that it has a carrier.
            n + u"link add br0 type bridge"_s,
            n + u"link add vbr type veth peer name vbrpeer"_s,
            n + u"link set vbr master br0"_s,
            n + u"link set vbr up"_s,
            n + u"link set vbrpeer up"_s,
            n + u"link set br0 up"_s,
            n + u"addr add 10.20.0.1/24 dev br0"_s,
            n + u"addr add 2001:db8:20::1/64 dev br0 nodad"_s,
            // Tailscale's tunnel, and another one.
            n + u"tuntap add dev tailscale0 mode tun"_s,
            n + u"link set tailscale0 up"_s,
            n + u"addr add 100.101.102.103/32 dev tailscale0"_s,
            n + u"addr add fd7a:115c:a1e0::53/128 dev tailscale0 nodad"_s,
            n + u"tuntap add dev tun0 mode tun"_s,
            n + u"link set tun0 up"_s,
            n + u"addr add 10.8.0.2/32 dev tun0"_s,
            // Container and VM bridges, and overlays: NetBird's address lies in Tailscale's range.
            n + u"link add docker0 up type bridge && "_s + n + u"addr add 172.17.0.1/16 dev docker0"_s,
            n + u"link add br-3f2a9c1d7e4b up type bridge && "_s + n + u"addr add 172.18.0.1/16 dev br-3f2a9c1d7e4b"_s,
            n + u"link add virbr0 up type bridge && "_s + n + u"addr add 192.168.122.1/24 dev virbr0"_s,
            n + u"link add cni0 up type bridge && "_s + n + u"addr add 10.244.0.1/24 dev cni0"_s,
            n + u"tuntap add dev ztabcdef12 mode tap && "_s + n + u"link set ztabcdef12 up"_s,
            n + u"addr add 10.147.17.5/24 dev ztabcdef12"_s,
            n + u"tuntap add dev wt0 mode tun && "_s + n + u"link set wt0 up && "_s + n
                + u"addr add 100.90.12.7/16 dev wt0"_s,
            // vtest2: up without a carrier, so its IPv6 address stays tentative.
            n + u"link add vtest2 type veth peer name vpeer2"_s,
            n + u"link set vtest2 up"_s,
            n + u"addr add 10.88.0.1/24 dev vtest2"_s,
            n + u"addr add 2001:db8:88::1/64 dev vtest2"_s,
            // vtest3: down, with an address.
            n + u"link add vtest3 type veth peer name vpeer3"_s,
            n + u"addr add 10.99.0.1/24 dev vtest3"_s,
            // Two IPv4 default routes: the lower metric wins.
            n + u"route add default via 10.20.0.254 dev br0 metric 200"_s,
            n + u"route add default via 192.168.77.1 dev vtest0 metric 100"_s,
        };
        for (const QString& line : setup)
            run(line);
        QTRY_VERIFY2_WITH_TIMEOUT(runCommand(n + u"-6 addr show dev vtest0"_s).second.contains(u"dadfailed"_s),
                                  "duplicate address detection never failed for 2001:db8:77::66", 15000);
    }

    void cleanupTestCase() { runCommand(u"ip netns del %1; ip netns del %2"_s.arg(kNs, kPeer)); }

    void jsonListsWhatTheKernelHas()
    {
        const QJsonObject json = snapshot();
        // Only Tailscale's interface holds Tailscale addresses: CGNAT and NetBird's are local.
        QCOMPARE(json[u"tailscaleAddresses"_s].toArray().toVariantList(),
                 (QVariantList{u"100.101.102.103"_s, u"fd7a:115c:a1e0::53"_s}));
        // Primary first; then by display name, each interface told apart; loopback, link-local,
        // deprecated, tentative, DAD-failed and down-interface addresses nowhere.
        QCOMPARE(localRows(json),
                 (QStringList{
                     u"vtest0 Virtual Ethernet (vtest0) 100.72.10.20 other"_s,
                     u"vtest0 Virtual Ethernet (vtest0) 192.168.77.20 other"_s,
                     u"vtest0 Virtual Ethernet (vtest0) 2001:db8:77::5 other"_s,
                     u"vtest0 Virtual Ethernet (vtest0) 2001:db8:77::7 other"_s,
                     u"br0 Bridge 10.20.0.1 other"_s,
                     u"br0 Bridge 2001:db8:20::1 other"_s,
                     u"br-3f2a9c1d7e4b Docker (br-3f2a9c1d7e4b) 172.18.0.1 container"_s,
                     u"docker0 Docker (docker0) 172.17.0.1 container"_s,
                     u"cni0 Kubernetes 10.244.0.1 kubernetes"_s,
                     u"wt0 NetBird 100.90.12.7 overlay"_s,
                     u"vtest2 Virtual Ethernet (vtest2) 10.88.0.1 other"_s,
                     u"virbr0 Virtual Machines 192.168.122.1 vm"_s,
                     u"tun0 VPN 10.8.0.2 vpn"_s,
                     u"ztabcdef12 ZeroTier 10.147.17.5 overlay"_s,
                 }));
        const QString full = json[u"hostname"_s][u"full"_s].toString();
        QCOMPARE(json[u"hostname"_s][u"short"_s].toString(), full.section(u'.', 0, 0));

        // --print shows the menu's lines; the settings file at its documented place decides the
        // form of the hostname.
        QVERIFY(writeFile(m_config.filePath(u"kelvandrosi/Tavrink.conf"_s),
                          "[General]\nuseFQDN=true\nshowVirtualNetworks=false\n"));
        const QStringList lines = run(u"ip netns exec %1 env XDG_CONFIG_HOME=%2 %3 --print --no-public"_s.arg(
                                          kNs, m_config.path(), tavrink()))
                                      .split(u'\n');
        QFile::remove(m_config.filePath(u"kelvandrosi/Tavrink.conf"_s));
        QCOMPARE(lines.mid(0, 3),
                 (QStringList{u"Hostname: "_s + full, u"Public IP unavailable"_s, u"Tailscale: 100.101.102.103"_s}));
        // Container, VM and Kubernetes networks hidden; overlays stay.
        QCOMPARE(lines.filter(QRegularExpression(u"^(Docker|Kubernetes|Virtual Machines|NetBird|ZeroTier)"_s)),
                 (QStringList{u"NetBird: 100.90.12.7"_s, u"ZeroTier: 10.147.17.5"_s}));
    }

    // The primary interface when the IPv4 default routes are replaced by others: its rows come
    // first, where the display names alone would put the bridge's.
    void primaryInterfaceFollowsTheDefaultRoute_data()
    {
        QTest::addColumn<QString>("route"); // added in place of both IPv4 default routes
        QTest::addColumn<QString>("firstRow");
        QTest::newRow("an IPv6 default route when there is no IPv4 one")
            << u"-6 route add default via 2001:db8:77::1 dev vtest0"_s
            << u"vtest0 Virtual Ethernet (vtest0) 100.72.10.20 other"_s;
        // vtest2 has no carrier: its hop is down, and the route goes through the other one.
        QTest::newRow("a multipath route's first hop is down")
            << u"route add default nexthop via 10.88.0.254 dev vtest2 nexthop via 192.168.77.1 dev vtest0"_s
            << u"vtest0 Virtual Ethernet (vtest0) 100.72.10.20 other"_s;
    }
    void primaryInterfaceFollowsTheDefaultRoute()
    {
        QFETCH(QString, route);
        QFETCH(QString, firstRow);
        const QString n = u"ip -n "_s + kNs + u' ';
        run(n + u"route del default via 192.168.77.1 dev vtest0"_s);
        run(n + u"route del default via 10.20.0.254 dev br0"_s);
        run(n + route);
        const QStringList rows = localRows(snapshot());
        // The public IPv6 row is there only while there is an IPv6 default route.
        const QString printed = run(
            u"ip netns exec %1 env XDG_CONFIG_HOME=%2 %3 --print --no-public"_s.arg(kNs, m_config.path(), tavrink()));
        run(n + QString(route).replace(u" add "_s, u" del "_s));
        run(n + u"route add default via 10.20.0.254 dev br0 metric 200"_s);
        run(n + u"route add default via 192.168.77.1 dev vtest0 metric 100"_s);
        QCOMPARE(rows.value(0), firstRow);
        QCOMPARE(printed.contains(u"Public IPv6 unavailable"_s), route.startsWith(u"-6"_s));
    }

    void watchPrintsOneLineAboutASecondAfterABurst()
    {
        QProcess watch;
        watch.setProcessEnvironment([this] {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(u"XDG_CONFIG_HOME"_s, m_config.path());
            return environment;
        }());
        watch.start(u"ip"_s, {u"netns"_s, u"exec"_s, kNs, tavrink(), u"--watch"_s, u"--no-public"_s});
        QList<QPair<qint64, QByteArray>> lines;
        QElapsedTimer clock;
        clock.start();
        connect(&watch, &QProcess::readyReadStandardOutput, this, [&] {
            while (watch.canReadLine())
                lines.append({clock.elapsed(), watch.readLine()});
        });
        // The lists at start, then the monitor's first report one second later; link-local
        // addresses that finish duplicate address detection meanwhile are changes too, so wait
        // until the namespace is quiet.
        QTRY_VERIFY_WITH_TIMEOUT(lines.size() >= 2, 5000);
        for (qsizetype seen = -1; seen != lines.size();) {
            seen = lines.size();
            QTest::qWait(2000);
        }
        const qsizetype settled = lines.size();

        // A lifetime refresh is no change.
        run(u"ip -n %1 -6 addr change 2001:db8:77::7/64 dev vtest0 nodad valid_lft 6000 preferred_lft 5000"_s.arg(kNs));
        QTest::qWait(2000);
        QCOMPARE(lines.size(), settled);

        for (int i = 1; i <= 3; ++i) {
            run(u"ip -n %1 addr add 10.20.1.%2/24 dev br0"_s.arg(kNs).arg(i));
            QTest::qWait(150);
        }
        const qint64 lastChange = clock.elapsed() - 150;
        QTRY_COMPARE_WITH_TIMEOUT(lines.size(), settled + 1, 5000);
        QTest::qWait(2000);
        QCOMPARE(lines.size(), settled + 1);
        const qint64 delay = lines.last().first - lastChange;
        QVERIFY2(delay >= 900, qPrintable(u"line came %1 ms after the last change"_s.arg(delay)));
        QVERIFY(lines.last().second.contains("\"10.20.1.3\""));

        watch.terminate();
        QVERIFY(watch.waitForFinished(5000));
        QCOMPARE(watch.exitStatus(), QProcess::NormalExit);
        QCOMPARE(watch.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestNetns)
#include "tst_netns.moc"
