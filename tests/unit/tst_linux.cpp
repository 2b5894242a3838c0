// The Linux facilities that need no privileges: display names from a sysfs tree laid out as the
// kernel does, the Tailscale daemon's LocalAPI played by a socket of the test's own, timers on
// CLOCK_BOOTTIME, and which panels draw the item how.

#include "FakeTailscaled.h"
#include "Fakes.h"
#include "NotificationServer.h"
#include "TestSupport.h"
#include "platform/linux/clipboard/WaylandClipboard.h"
#include "platform/linux/net/SysfsDisplayNames.h"
#include "platform/linux/net/TailscaleLocalApi.h"
#include "platform/linux/panel/StatusNotifierItem.h"
#include "platform/linux/session/FreedesktopNotifier.h"
#include "platform/linux/session/JournalErrorLog.h"
#include "platform/linux/session/TimerfdClock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Builds /sys/class/net/<name> the way the kernel lays it out, in a temporary folder.
struct FakeSysfs {
    QTemporaryDir root;

    QString net() const { return root.filePath(u"class/net"_s); }

    void add(const QString& name, const QByteArray& devType, int type, const QStringList& markers = {},
             const QString& devicePath = {})
    {
        const QString dir = net() + u'/' + name;
        QDir().mkpath(dir);
        write(dir + u"/uevent"_s,
              (devType.isEmpty() ? QByteArray() : "DEVTYPE=" + devType + '\n') + "INTERFACE=" + name.toUtf8() + '\n');
        write(dir + u"/type"_s, QByteArray::number(type) + '\n');
        for (const QString& marker : markers)
            QDir().mkpath(dir + u'/' + marker);
        if (!devicePath.isEmpty()) {
            const QString device = root.filePath(devicePath);
            QDir().mkpath(device);
            QDir().mkpath(root.filePath(u"bus/drivers/e1000e"_s));
            QFile::link(root.filePath(u"bus/drivers/e1000e"_s), device + u"/driver"_s);
            QFile::link(device, dir + u"/device"_s);
        }
    }
    static void write(const QString& path, const QByteArray& contents)
    {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(contents);
    }
};

} // namespace

class TestLinux : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(u".*"_s)); }

    void namesFromSysfs()
    {
        FakeSysfs sysfs;
        sysfs.add(u"wlp2s0"_s, "wlan", 1, {u"phy80211"_s}, u"devices/pci0000:00/0000:02:00.0"_s);
        sysfs.add(u"enp3s0"_s, "", 1, {}, u"devices/pci0000:00/0000:03:00.0"_s);
        sysfs.add(u"enx00e04c"_s, "", 1, {}, u"devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0"_s);
        sysfs.add(u"bond0"_s, "bond", 1, {u"bonding"_s});
        sysfs.add(u"eth0.5"_s, "vlan", 1);
        sysfs.add(u"wg0"_s, "wireguard", 65534);
        sysfs.add(u"veth1"_s, "", 1);
        sysfs.add(u"wwan0"_s, "wwan", 519, {}, u"devices/pci0000:00/usb1/1-2/1-2:1.4"_s);
        sysfs.add(u"lo"_s, "", 772);
        sysfs.add(u"dummy0"_s, "", 1);
        // Managers the namespace test cannot make, and names that are theirs on another kind of device.
        sysfs.add(u"vboxnet0"_s, "", 1);
        sysfs.add(u"cali7f3a9b2c1d"_s, "", 1);
        sysfs.add(u"wt1"_s, "wireguard", 65534);
        sysfs.add(u"podman1"_s, "", 1, {u"bridge"_s});
        sysfs.add(u"docker0"_s, "", 1);
        sysfs.add(u"virbr-odd name!"_s, "", 1);

        const SysfsDisplayNames names(sysfs.net(), [](const QString& name) {
            return name == u"veth1"_s || name.startsWith(u"cali"_s) ? u"veth"_s : QString();
        });
        const QHash<QString, QString> expected{
            {u"wlp2s0"_s, u"Wi-Fi"_s},
            {u"enp3s0"_s, u"Ethernet"_s},
            {u"enx00e04c"_s, u"USB Ethernet"_s},
            {u"bond0"_s, u"Bond"_s},
            {u"eth0.5"_s, u"VLAN"_s},
            {u"wg0"_s, u"WireGuard"_s},
            {u"veth1"_s, u"Virtual Ethernet"_s},
            {u"wwan0"_s, u"Mobile Broadband"_s},
            {u"vboxnet0"_s, u"VirtualBox"_s},
            {u"cali7f3a9b2c1d"_s, u"Kubernetes"_s},
            {u"wt1"_s, u"NetBird"_s},
            {u"podman1"_s, u"Podman"_s},
        };
        QCOMPARE(names.byInterface(), expected);
    }

    void hostStyleFromTheWatchersCommandLine_data()
    {
        using Style = HostStyle::Style;
        QTest::addColumn<QStringList>("commandLine");
        QTest::addColumn<Style>("style");
        const QString wrapper = u"/usr/lib/x86_64-linux-gnu/xfce4/panel/wrapper-2.0"_s;
        const QString plugins = u"/usr/lib/x86_64-linux-gnu/xfce4/panel/plugins/"_s;
        QTest::newRow("ayatana") << QStringList{u"/usr/libexec/ayatana-indicator-application/"
                                                "ayatana-indicator-application-service"_s}
                                 << Style::Label;
        QTest::newRow("gnome shell") << QStringList{u"/usr/bin/gnome-shell"_s} << Style::Label;
        QTest::newRow("mate") << QStringList{u"/usr/libexec/mate-panel/notification-area-applet"_s} << Style::Label;
        QTest::newRow("xfce systray") << QStringList{wrapper, plugins + u"libsystray.so"_s, u"2"_s}
                                      << Style::SquarePicture;
        QTest::newRow("xfce, another plugin")
            << QStringList{wrapper, plugins + u"libindicator-plugin.so"_s} << Style::WidePicture;
        QTest::newRow("plasma") << QStringList{u"/usr/bin/kded5"_s} << Style::SymbolicIcon;
        QTest::newRow("lxqt") << QStringList{u"lxqt-panel"_s} << Style::SquarePicture;
        QTest::newRow("waybar") << QStringList{u"waybar"_s, u"-b"_s, u"bar-0"_s} << Style::WidePicture;
        QTest::newRow("gone") << QStringList{} << Style::WidePicture;
    }

    void hostStyleFromTheWatchersCommandLine()
    {
        QFETCH(QStringList, commandLine);
        QFETCH(HostStyle::Style, style);
        QCOMPARE(HostStyle::of(commandLine), style);
    }

    // What each answer gives (two queries each: a failure reaches the journal once); a daemon
    // that is not there is no failure, and a socket that is not root's is never asked.
    void tailscaleDaemonAnswers_data()
    {
        QTest::addColumn<QByteArray>("reply"); // or "hang", "missing", "another user's"
        QTest::addColumn<QString>("status"); // "addresses | name"; empty: none
        QTest::addColumn<bool>("isLogged");
        const QByteArray ok = "HTTP/1.0 200 OK\r\nContent-Type: application/json\r\n\r\n";
        const QByteArray status
            = R"({"Version":"1.76.1","Self":{"TailscaleIPs":["100.101.102.103","fd7a:115c:a1e0::53"],)"
              R"("DNSName":"studio.tail1234.ts.net."}})";
        QTest::newRow("a status") << ok + status << u"100.101.102.103 fd7a:115c:a1e0::53 | studio.tail1234.ts.net"_s
                                  << false;
        QTest::newRow("a name that is no DNS name")
            << ok + R"({"Self":{"TailscaleIPs":["100.101.102.103"],"DNSName":"a b\n."}})" << u"100.101.102.103 | "_s
            << false;
        QTest::newRow("truncated") << ok + status.left(40) << QString() << true;
        QTest::newRow("not JSON") << ok + "<html>Bad Gateway</html>" << QString() << true;
        QTest::newRow("an error status") << "HTTP/1.0 403 Forbidden\r\n\r\n" + status << QString() << true;
        QTest::newRow("gigantic") << ok + QByteArray(300 * 1024, ' ') + status << QString() << true;
        QTest::newRow("hangs") << QByteArray("hang") << QString() << true;
        QTest::newRow("no socket") << QByteArray("missing") << QString() << false;
        QTest::newRow("another user's socket") << QByteArray("another user's") << QString() << true;
    }
    void tailscaleDaemonAnswers()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, status);
        QFETCH(bool, isLogged);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"tailscaled.sock"_s);
        std::optional<FakeTailscaled> daemon;
        if (reply != "missing")
            daemon.emplace(path, reply, reply == "hang");
        if (reply == "another user's" && (geteuid() != 0 || chown(QFile::encodeName(path).constData(), 65534, 0) != 0))
            QSKIP("giving a socket to another user needs root (CI runs as root)");
        RecordingErrorLog log;
        TailscaleLocalApi api(log, path, geteuid());
        QStringList answers;
        connect(&api, &TailscaleStatusSource::answered, this, [&answers](const std::optional<TailscaleStatus>& given) {
            answers << (given ? given->addresses.join(u' ') + u" | "_s + given->dnsName : QString());
        });
        for (int round = 1; round <= 2; ++round) {
            api.query();
            api.query(); // replaces the first
            QTRY_COMPARE_WITH_TIMEOUT(answers.size(), round, 2000);
            QTest::qWait(50);
            QCOMPARE(answers, QStringList(round, status));
        }
        QCOMPARE(log.messages.size(), isLogged ? 1 : 0);
        if (reply == "another user's")
            QCOMPARE(daemon->connections(), 0);
        if (status.isEmpty())
            return;
        QVERIFY(daemon->request().startsWith("GET /localapi/v0/status?peers=false HTTP/1.0\r\n"));
    }

    // A host's click position is used where it is plausible: on a screen, near the pointer.
    void menuOpensWhereTheUserClicked_data()
    {
        QTest::addColumn<QPoint>("given");
        QTest::addColumn<QPoint>("pointer"); // (-1, -1): not known, as on Wayland
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("Cinnamon: at the item") << QPoint(828, 560) << QPoint(840, 590) << QPoint(828, 560);
        QTest::newRow("MATE: far from the item") << QPoint(0, 26) << QPoint(1000, 15) << QPoint(1000, 15);
        QTest::newRow("off the screen: at the pointer") << QPoint(9000, -40) << QPoint(1000, 15) << QPoint(1000, 15);
        QTest::newRow("off the screen, no pointer: inside") << QPoint(9000, -40) << QPoint(-1, -1) << QPoint(1279, 0);
        QTest::newRow("no pointer: as given") << QPoint(0, 26) << QPoint(-1, -1) << QPoint(0, 26);
    }
    void menuOpensWhereTheUserClicked()
    {
        QFETCH(QPoint, given);
        QFETCH(QPoint, pointer);
        QFETCH(QPoint, expected);
        const std::optional<QPoint> known = pointer == QPoint(-1, -1) ? std::nullopt : std::optional(pointer);
        QCOMPARE(StatusNotifierItem::menuPosition(given, known, {QRect(0, 0, 1280, 800)}), expected);
    }

    void missingSysfsGivesNoNames() { QVERIFY(SysfsDisplayNames(u"/nonexistent/class/net"_s).byInterface().isEmpty()); }

    void timersFireAgainAndAgainUntilDestroyed()
    {
        TimerfdClock clock;
        int repeated = 0;
        int once = 0;
        auto every = clock.schedule(std::chrono::milliseconds(20), true, [&] { ++repeated; });
        const auto single = clock.schedule(std::chrono::milliseconds(20), false, [&] { ++once; });
        QTRY_VERIFY(repeated >= 4);
        QCOMPARE(once, 1);
        every.reset();
        const int stopped = repeated;
        QTest::qWait(100);
        QCOMPARE(repeated, stopped);
        QVERIFY(qAbs(clock.now().secsTo(QDateTime::currentDateTime())) <= 1);
    }

    // Notices go to the desktop's server and never wait for it: with none on the bus the journal
    // hears so once; while it has not taken one notice, the next is dropped; a button chosen in
    // the server's own menu reaches the handler.
    void noticesReachTheDesktopsServer()
    {
        if (!NotificationServer::isAvailable())
            QSKIP("dunst is needed for a notification server");
        PrivateBus bus(PrivateBus::Services::None);
        QDBusConnection connection = QDBusConnection::connectToBus(bus.address(), u"notices"_s);
        QVERIFY(connection.isConnected());
        RecordingErrorLog log;
        FreedesktopNotifier notifier(connection, u"com.kelvandrosi.Tavrink"_s, {}, log);
        const Notice changed{u"Public IP changed"_s, u"203.0.113.7 → 203.0.113.9"_s, {{u"copy"_s, u"Copy"_s}}};
        notifier.notify(changed);
        QTRY_COMPARE(log.messages.size(), 1);
        notifier.notify(changed);
        QTest::qWait(300);
        QCOMPARE(log.messages, QStringList{u"No notification server on the session bus: notices are not shown"_s});

        NotificationServer server;
        QVERIFY(server.start(bus.address(), connection));
        QStringList chosen;
        notifier.notify(changed, [&chosen](const QString& key) { chosen << key; });
        notifier.notify({u"Second"_s, {}, {}}); // the first is not taken yet
        QCOMPARE(log.messages.size(), 2);
        QVERIFY(log.messages.last().contains(u"has not taken the last notice yet; \"Second\" is not sent"_s));
        QTRY_COMPARE(server.shown(), QStringList{u"Public IP changed: 203.0.113.7 → 203.0.113.9"_s});
        QVERIFY(server.choose(u"Copy"_s));
        QTRY_COMPARE(chosen, QStringList{u"copy"_s});

        // A server that hangs: the call returns at once, and what follows is dropped, not queued.
        server.setHanging(true);
        QElapsedTimer sending;
        sending.start();
        notifier.notify({u"Third"_s, {}, {}});
        notifier.notify({u"Fourth"_s, {}, {}});
        QVERIFY(sending.elapsed() < 1000);
        QVERIFY(log.messages.last().contains(u"\"Fourth\" is not sent"_s));
        server.setHanging(false);
        QTRY_COMPARE(server.shown().size(), 2);
        QDBusConnection::disconnectFromBus(u"notices"_s);
    }

    // A Wayland display without data-control and no XWayland: the fallback still gets each copy,
    // and the journal hears once that it cannot work.
    void copyingThatCannotWorkIsSaidOnce()
    {
        qputenv("WAYLAND_DISPLAY", "tavrink-test-no-such-display");
        qunsetenv("DISPLAY");
        auto fallback = std::make_unique<FakeClipboard>();
        const FakeClipboard* copies = fallback.get();
        RecordingErrorLog log;
        WaylandClipboard clipboard(std::move(fallback), log);
        clipboard.setText(u"10.0.0.1"_s);
        clipboard.setText(u"10.0.0.2"_s);
        QCOMPARE(copies->texts, (QStringList{u"10.0.0.1"_s, u"10.0.0.2"_s}));
        QCOMPARE(log.messages.size(), 1);
        QVERIFY2(log.messages.first().contains(u"neither the data-control protocol nor XWayland"_s),
                 qPrintable(log.messages.first()));
    }

    // One entry is one datagram in the journal's native protocol; a message with a line break
    // goes in the binary form, whose length the journal reads as 64-bit little-endian.
    void journalEntries_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QByteArray>("field");
        QTest::newRow("one line") << u"Update 1.1 refused"_s << QByteArray("MESSAGE=Update 1.1 refused\n");
        QTest::newRow("two lines") << u"a\nb"_s << QByteArray("MESSAGE\n\x03\0\0\0\0\0\0\0a\nb\n", 20);
    }
    void journalEntries()
    {
        QFETCH(QString, message);
        QFETCH(QByteArray, field);
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.filePath(u"socket"_s));
        const int journal = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
        QCOMPARE(bind(journal, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        JournalErrorLog("com.kelvandrosi.TavrinkMac", "update", dir.filePath(u"socket"_s)).error(message);
        QByteArray datagram(4096, '\0');
        datagram.truncate(recv(journal, datagram.data(), static_cast<size_t>(datagram.size()), MSG_DONTWAIT));
        close(journal);
        QCOMPARE(
            datagram,
            field + "PRIORITY=3\nSYSLOG_IDENTIFIER=tavrink\nSUBSYSTEM=com.kelvandrosi.TavrinkMac\nCATEGORY=update\n");
    }
};

QTEST_GUILESS_MAIN(TestLinux)
#include "tst_linux.moc"
