// The command line and what it prints, through the real executable where the wiring decides
// (exit statuses, messages), and the template icon read from the bundle's resources.

#include "TestSupport.h"
#include "app/AppDelegate.h"
#include "app/TemplateIcon.h"
#include "commandline/CommandLine.h"
#include "commandline/Snapshot.h"
#include "platform/SingleInstance.h"

#include <QImage>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace Qt::StringLiterals;
using CommandLine::Mode;

class TestApp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(u".*"_s)); }

    void initTestCase() { useEnglishInUtc(); }

    void options_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("noPublic");
        QTest::addColumn<QStringList>("endpoints");
        QTest::newRow("nothing starts the panel item") << QStringList{} << int(Mode::Panel) << false << QStringList{};
        QTest::newRow("json without public lookup")
            << QStringList{u"--json"_s, u"--no-public"_s} << int(Mode::Json) << true << QStringList{};
        QTest::newRow("watch with two endpoints")
            << QStringList{u"--watch"_s, u"--endpoint"_s, u"https://a.test"_s, u"--endpoint=https://b.test:8443/ip"_s}
            << int(Mode::Watch) << false << QStringList{u"https://a.test"_s, u"https://b.test:8443/ip"_s};
        QTest::newRow("help wins") << QStringList{u"--json"_s, u"--help"_s} << int(Mode::Help) << false
                                   << QStringList{};
    }
    void options()
    {
        QFETCH(QStringList, arguments);
        const auto parsed = CommandLine::parse(QStringList{u"tavrink"_s} + arguments);
        QVERIFY(std::holds_alternative<CommandLine::Options>(parsed));
        const auto& options = std::get<CommandLine::Options>(parsed);
        QFETCH(int, mode);
        QFETCH(bool, noPublic);
        QFETCH(QStringList, endpoints);
        QCOMPARE(int(options.mode), mode);
        QCOMPARE(options.isPublicLookupSkipped, noPublic);
        QCOMPARE(QUrl::toStringList(options.endpoints), endpoints);
    }

    void executableAnswers_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output"); // a part of what it prints, on either stream
        QTest::newRow("help") << u"--help"_s << 0 << u"--no-public"_s;
        QTest::newRow("version") << u"--version"_s << 0 << u"Tavrink 1.0 (1)"_s;
        QTest::newRow("unknown option") << u"--jsn"_s << 2 << u"tavrink: unknown option \"--jsn\""_s;
        QTest::newRow("a mistake before help") << u"--jsno --help"_s << 2 << u"unknown option \"--jsno\""_s;
        QTest::newRow("a value for an option that takes none")
            << u"--json=1"_s << 2 << u"tavrink: unknown option \"--json=1\""_s;
        QTest::newRow("two modes") << u"--json --watch"_s << 2 << u"cannot be combined"_s;
        QTest::newRow("endpoint without URL") << u"--endpoint"_s << 2 << u"needs a URL"_s;
        QTest::newRow("plain HTTP endpoint") << u"--endpoint http://ip.test"_s << 2 << u"takes an https:// URL"_s;
        QTest::newRow("endpoint without host") << u"--endpoint https://"_s << 2 << u"takes an https:// URL"_s;
        QTest::newRow("no display: prints instead of the panel item") << u""_s << 0 << u"no graphical session"_s;
        QTest::newRow("an address to open with --json") << u"--json tavrink://settings"_s << 2 << u"takes no address"_s;
    }
    void executableAnswers()
    {
        QFETCH(QString, arguments);
        QFETCH(int, status);
        QFETCH(QString, output);
        // No display and no public lookup: nothing here leaves the machine or needs a screen.
        const auto [exitStatus, printed] = runCommand(
            u"env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME=/nonexistent %1/bin/tavrink %2 </dev/null"_s.arg(
                qEnvironmentVariable("TAVRINK_BUNDLE"), arguments + (arguments.isEmpty() ? u"--no-public"_s : u""_s)));
        QCOMPARE(exitStatus, status);
        QVERIFY2(printed.contains(output), qPrintable(printed));
    }

    void addressesThatOpenTheSettingsWindow_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("opens");
        QTest::newRow("host settings") << u"tavrink://settings"_s << true;
        QTest::newRow("host settings, empty path, other scheme") << u"https://settings"_s << true;
        QTest::newRow("host settings with user, port, query") << u"tavrink://me:pw@settings:99/?a=b#c"_s << true;
        QTest::newRow("host compared case-sensitively") << u"tavrink://SETTINGS"_s << false;
        QTest::newRow("host compared whole") << u"tavrink://mysettings"_s << false;
        QTest::newRow("no host, path /settings") << u"tavrink:///settings"_s << true;
        QTest::newRow("path containing the word") << u"tavrink://open/settings-pane"_s << true;
        QTest::newRow("path /mysettings") << u"tavrink:/mysettings"_s << true;
        QTest::newRow("percent-decoded path") << u"tavrink://x/%73ettings"_s << true;
        QTest::newRow("path compared case-sensitively") << u"tavrink://x/Settings"_s << false;
        QTest::newRow("about opens nothing") << u"tavrink://about"_s << false;
        QTest::newRow("the word only in the query") << u"tavrink://x/?settings"_s << false;
        QTest::newRow("the word only in the fragment") << u"tavrink://x/#settings"_s << false;
        QTest::newRow("a bare word is a relative path") << u"settings"_s << true;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("very long path") << u"tavrink://x/"_s + QString(100000, u'a') + u"settings"_s << true;
        QTest::newRow("non-UTF-8 bytes, decoded") << u"tavrink://x/%ff%fesettings"_s << true;
        QTest::newRow("IPv6 host with port") << u"tavrink://[::1]:80/"_s << false;
    }
    void addressesThatOpenTheSettingsWindow()
    {
        QFETCH(QString, url);
        QFETCH(bool, opens);
        QCOMPARE(AppDelegate::opensSettings(url), opens);
    }

    void launchSequence_data()
    {
        QTest::addColumn<bool>("relocates");
        QTest::addColumn<bool>("installs");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("neither offer takes over")
            << false << false << QStringList{u"relocate"_s, u"install"_s,  u"updates"_s, u"settings"_s,
                                             u"desktop"_s,  u"settings"_s, u"settings"_s};
        QTest::newRow("the relocation takes over") << true << false << QStringList{u"relocate"_s};
        QTest::newRow("the move takes over") << false << true << QStringList{u"relocate"_s, u"install"_s};
    }
    void launchSequence()
    {
        QFETCH(bool, relocates);
        QFETCH(bool, installs);
        QStringList calls;
        class Requests : public SingleInstance {
        public:
            Claim claim(const QStringList&, QString*) override { return Claim::First; }
            void release() override { }
            void listen() override { isListening = true; }
            bool isListening = false;
        } requests;
        const auto offer = [&calls](const QString& name, bool result) {
            calls << name;
            return result;
        };
        AppDelegate delegate({[&] { return offer(u"relocate"_s, relocates); },
                              [&] { return offer(u"install"_s, installs); }, &requests, [&] { calls << u"settings"_s; },
                              [&] { calls << u"updates"_s; }, u"/nonexistent/Tavrink.app"_s,
                              [&] {
                                  calls << u"desktop"_s;
                                  return std::optional<QString>();
                              },
                              nullptr});
        Q_EMIT requests.reopenRequested(); // before the handlers: nothing
        delegate.finishLaunching({u"tavrink://settings"_s});
        delegate.finishLaunching({u"tavrink://settings"_s}); // the second to ask finds it done
        QCOMPARE(requests.isListening, !relocates && !installs);
        Q_EMIT requests.reopenRequested();
        Q_EMIT requests.openRequested({u"tavrink://about"_s, u"tavrink://settings"_s});
        QFETCH(QStringList, expected);
        QCOMPARE(calls, expected);
    }

    // --help and the man page list the same options.
    void theManPageListsTheOptionsOfHelp()
    {
        const auto options = [](const QString& text) {
            QSet<QString> found;
            static const QRegularExpression option(u"(?<![\\w-])--?[a-z][a-z-]*"_s);
            for (auto it = option.globalMatch(text); it.hasNext();)
                found << it.next().captured();
            return found;
        };
        const QByteArray page = readFile(qEnvironmentVariable("TAVRINK_SOURCE") + u"/resources/man/tavrink.1"_s);
        QVERIFY(!page.isEmpty());
        // The page's "\-" is a minus sign.
        const QString manOptions = QString::fromUtf8(page)
                                       .replace(u"\\-"_s, u"-"_s)
                                       .section(u".SH OPTIONS"_s, 1, 1)
                                       .section(u".SH JSON"_s, 0, 0);
        const QSet<QString> help = options(CommandLine::helpText());
        QVERIFY(help.contains(u"--endpoint"_s) && help.contains(u"-h"_s));
        QCOMPARE(options(manOptions), help);
    }

    void jsonKeepsItsKeyOrderEscapesAndUtcTimes()
    {
        Snapshot snapshot;
        snapshot.fullHostname = u"odd\"name\\\n"_s;
        snapshot.shortHostname = u"odd"_s;
        snapshot.tailscaleAddresses = {u"100.101.102.103"_s};
        snapshot.localAddresses = {{u"wlan0"_s, u"Wi-Fi"_s, u"192.168.1.20"_s, u"wifi"_s}};
        snapshot.lastUpdated = QDateTime(QDate(2026, 12, 6), QTime(9, 41, 5), QTimeZone(3600));
        snapshot.tailscaleName = u"odd.tail1234.ts.net"_s;
        snapshot.publicIPv6Address = u"2001:db8::7"_s;
        QCOMPARE(snapshot.toJson(),
                 QByteArray("{\"hostname\":{\"full\":\"odd\\\"name\\\\\\n\",\"short\":\"odd\"},\"publicAddress\":null,"
                            "\"tailscaleAddresses\":[\"100.101.102.103\"],\"localAddresses\":[{\"interfaceName\":"
                            "\"wlan0\",\"displayName\":\"Wi-Fi\",\"address\":\"192.168.1.20\",\"kind\":\"wifi\"}],"
                            "\"lastUpdated\":\"2026-12-06T08:41:05Z\",\"lastError\":null,"
                            "\"tailscaleName\":\"odd.tail1234.ts.net\",\"publicIPv6Address\":\"2001:db8::7\"}"));
        QVERIFY(!QJsonDocument::fromJson(snapshot.toJson()).isNull());
    }

    void iconRepresentations_data()
    {
        QTest::addColumn<QList<int>>("pixelSizes"); // for 1x, 2x, 3x; 0: file absent, -1: not a PNG
        QTest::addColumn<QList<int>>("pointSides");
        QTest::newRow("only @2x") << QList<int>{0, 36, 0} << QList<int>{18};
        QTest::newRow("none present") << QList<int>{0, 0, 0} << QList<int>{};
        QTest::newRow("undecodable file skipped, order kept") << QList<int>{-1, 36, 54} << QList<int>{18, 18};
    }
    void iconRepresentations()
    {
        QFETCH(QList<int>, pixelSizes);
        QFETCH(QList<int>, pointSides);
        QTemporaryDir dir;
        const QStringList names{u""_s, u"@2x"_s, u"@3x"_s};
        QList<int> widths;
        for (int i = 0; i < 3; ++i) {
            const QString path = dir.filePath(u"MenubarIconTemplate%1.png"_s.arg(names[i]));
            if (pixelSizes[i] > 0) {
                QImage image(pixelSizes[i], pixelSizes[i], QImage::Format_ARGB32);
                image.fill(Qt::black);
                QVERIFY(image.save(path));
                widths << pixelSizes[i];
            } else if (pixelSizes[i] < 0) {
                QVERIFY(writeFile(path, "not a png"));
            }
        }
        QList<int> sides;
        QList<int> loaded;
        for (const QImage& image : TemplateIcon::load(dir.path())) {
            sides << TemplateIcon::pointSize(image).width();
            loaded << image.width();
        }
        QCOMPARE(sides, pointSides);
        QCOMPARE(loaded, widths);
    }
};

QTEST_GUILESS_MAIN(TestApp)
#include "tst_app.moc"
