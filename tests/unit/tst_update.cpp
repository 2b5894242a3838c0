// The rules of the update check that need no network: which version is newer, what a manifest
// must hold, and which manifest address is used.

#include "update/UpdateChecker.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// JSON written with single quotes, for legibility in the tables.
QByteArray json(const char* text)
{
    return QByteArray(text).replace('\'', '"');
}

} // namespace

class TestUpdate : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(u".*"_s)); }

    void isNewer_data()
    {
        QTest::addColumn<QString>("candidate");
        QTest::addColumn<QString>("reference");
        QTest::addColumn<bool>("isNewer");
        QTest::newRow("1.10 over 1.9") << u"1.10"_s << u"1.9"_s << true;
        QTest::newRow("1.9 under 1.10") << u"1.9"_s << u"1.10"_s << false;
        QTest::newRow("1.2 equals 1.2.0") << u"1.2"_s << u"1.2.0"_s << false;
        QTest::newRow("1.2.0 equals 1.2") << u"1.2.0"_s << u"1.2"_s << false;
        QTest::newRow("1.2.1 over 1.2") << u"1.2.1"_s << u"1.2"_s << true;
        QTest::newRow("2 over 1.99.99") << u"2"_s << u"1.99.99"_s << true;
        QTest::newRow("2.0 under 10") << u"2.0"_s << u"10"_s << false;
        QTest::newRow("3-beta counts as 0") << u"1.3-beta"_s << u"1.2"_s << false;
        QTest::newRow("a leading letter defeats its piece") << u"V2.0"_s << u"1.0"_s << false;
        QTest::newRow("twenty nines do not fit") << u"1.99999999999999999999"_s << u"1.0"_s << false;
        QTest::newRow("the largest 64-bit value fits") << u"9223372036854775807"_s << u"1"_s << true;
        QTest::newRow("a sign alone") << u"1.+"_s << u"1.0"_s << false;
        QTest::newRow("a space in the piece") << u"1. 2"_s << u"1.1"_s << false;
        QTest::newRow("non-ASCII digits") << u"1.\u0663"_s << u"1.1"_s << false;
        QTest::newRow("empty candidate") << QString() << u"0"_s << false;
        QTest::newRow("anything positive over the fallback 0") << u"0.0.1"_s << u"0"_s << true;
    }
    void isNewer()
    {
        QFETCH(QString, candidate);
        QFETCH(QString, reference);
        QFETCH(bool, isNewer);
        QCOMPARE(UpdateChecker::isNewer(candidate, reference), isNewer);
    }

    void decodeManifest_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("decoded"); // version|url|notes ("-" none); empty: refused
        QTest::newRow("all three") << json("{'version':'1.1','url':'https://example.com/T.zip','notes':'Fixes.'}")
                                   << u"1.1|https://example.com/T.zip|Fixes."_s;
        QTest::newRow("notes null") << json("{'version':'1.1','url':'https://e.com/a','notes':null}")
                                    << u"1.1|https://e.com/a|-"_s;
        QTest::newRow("extra member ignored")
            << json("{'version':'1','url':'https://e.com/a','size':3}") << u"1|https://e.com/a|-"_s;
        QTest::newRow("no url") << json("{'version':'1.1'}") << QString();
        QTest::newRow("no version") << json("{'url':'https://e.com/a'}") << QString();
        QTest::newRow("version as a number") << json("{'version':1.1,'url':'https://e.com/a'}") << QString();
        QTest::newRow("notes as a number") << json("{'version':'1','url':'https://e.com/a','notes':3}") << QString();
        QTest::newRow("url not an address") << json("{'version':'1','url':'ht tp://x y'}") << QString();
        QTest::newRow("url relative") << json("{'version':'1','url':'T.zip'}") << QString();
        QTest::newRow("an array") << json("[{'version':'1','url':'https://e.com/a'}]") << QString();
        QTest::newRow("an HTML page") << QByteArray("<html><body>Not Found</body></html>") << QString();
        QTest::newRow("empty") << QByteArray() << QString();
    }
    void decodeManifest()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, decoded);
        const auto result = UpdateChecker::decodeManifest(body);
        if (decoded.isEmpty()) {
            QVERIFY(std::holds_alternative<QString>(result));
            QVERIFY(!std::get<QString>(result).isEmpty());
            return;
        }
        const auto* manifest = std::get_if<UpdateChecker::Manifest>(&result);
        if (!manifest)
            QFAIL(qPrintable(std::get<QString>(result)));
        QCOMPARE(manifest->version + u'|' + manifest->url.toString() + u'|' + manifest->notes.value_or(u"-"_s),
                 decoded);
    }

    void manifestURL_data()
    {
        QTest::addColumn<QString>("override"); // null: none stored
        QTest::addColumn<QString>("url"); // empty: the check fails
        QTest::newRow("built in") << QString() << u"https://kelvandrosi.com/tavrink/appcast.json"_s;
        QTest::newRow("http") << u"http://example.com/m.json"_s << QString();
        QTest::newRow("not an address") << u"kelvandrosi com"_s << QString();
        QTest::newRow("stored empty") << u""_s << QString();
    }
    void manifestURL()
    {
        QFETCH(QString, override);
        QFETCH(QString, url);
        const auto result = UpdateChecker::manifestURL(override.isNull() ? std::nullopt : std::optional(override));
        QCOMPARE(std::holds_alternative<QUrl>(result) ? std::get<QUrl>(result).toString() : QString(), url);
    }
};

QTEST_GUILESS_MAIN(TestUpdate)
#include "tst_update.moc"
