#include "app/CommandLine.h"

#include <QTest>

using namespace Qt::StringLiterals;
using CommandLine::Mode;

class TestCommandLine : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error"); // empty: accepted
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("noPublic");
        QTest::addColumn<QStringList>("endpoints");
        QTest::newRow("nothing starts the panel item")
            << QStringList{} << u""_s << int(Mode::Panel) << false << QStringList{};
        QTest::newRow("json without public lookup")
            << QStringList{u"--json"_s, u"--no-public"_s} << u""_s << int(Mode::Json) << true << QStringList{};
        QTest::newRow("watch with two endpoints")
            << QStringList{u"--watch"_s, u"--endpoint"_s, u"https://a.test"_s, u"--endpoint=https://b.test:8443/ip"_s}
            << u""_s << int(Mode::Watch) << false << QStringList{u"https://a.test"_s, u"https://b.test:8443/ip"_s};
        QTest::newRow("help wins") << QStringList{u"--json"_s, u"--help"_s} << u""_s << int(Mode::Help) << false
                                   << QStringList{};
        QTest::newRow("unknown option") << QStringList{u"--jsn"_s} << u"unknown option \"--jsn\""_s << 0 << false
                                        << QStringList{};
        QTest::newRow("two modes") << QStringList{u"--json"_s, u"--watch"_s} << u"cannot be combined"_s << 0 << false
                                   << QStringList{};
        QTest::newRow("endpoint without URL")
            << QStringList{u"--endpoint"_s} << u"needs a URL"_s << 0 << false << QStringList{};
        QTest::newRow("plain HTTP endpoint refused") << QStringList{u"--endpoint"_s, u"http://ip.test"_s}
                                                     << u"takes an https:// URL"_s << 0 << false << QStringList{};
        QTest::newRow("endpoint without host refused")
            << QStringList{u"--endpoint"_s, u"https://"_s} << u"takes an https:// URL"_s << 0 << false << QStringList{};
    }
    void parse()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        const auto result = CommandLine::parse(QStringList{u"tavrink"_s} + arguments);
        if (!error.isEmpty()) {
            QVERIFY(std::holds_alternative<CommandLine::Error>(result));
            const QString message = std::get<CommandLine::Error>(result).message;
            QVERIFY2(message.contains(error), qPrintable(message));
            return;
        }
        QVERIFY(std::holds_alternative<CommandLine::Options>(result));
        const auto& options = std::get<CommandLine::Options>(result);
        QFETCH(int, mode);
        QFETCH(bool, noPublic);
        QFETCH(QStringList, endpoints);
        QCOMPARE(int(options.mode), mode);
        QCOMPARE(options.isPublicLookupSkipped, noPublic);
        QStringList urls;
        for (const QUrl& url : options.endpoints)
            urls << url.toString();
        QCOMPARE(urls, endpoints);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
