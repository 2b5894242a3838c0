#include "app/Snapshot.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

Snapshot sample()
{
    Snapshot snapshot;
    snapshot.fullHostname = u"studio.example.com"_s;
    snapshot.shortHostname = u"studio"_s;
    snapshot.tailscaleAddresses = {u"100.101.102.103"_s, u"fd7a:115c:a1e0::1"_s};
    snapshot.localAddresses = {{u"wlan0"_s, u"Wi-Fi"_s, u"192.168.1.20"_s}, {u"br0"_s, u"Bridge"_s, u"10.1.0.1"_s}};
    return snapshot;
}

} // namespace

class TestSnapshot : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    }

    void jsonHasFixedKeyOrderAndNulls()
    {
        QCOMPARE(sample().toJson(),
                 QByteArray(R"({"hostname":{"full":"studio.example.com","short":"studio"},"publicAddress":null,)"
                            R"("tailscaleAddresses":["100.101.102.103","fd7a:115c:a1e0::1"],"localAddresses":[)"
                            R"({"interfaceName":"wlan0","displayName":"Wi-Fi","address":"192.168.1.20"},)"
                            R"({"interfaceName":"br0","displayName":"Bridge","address":"10.1.0.1"}],)"
                            R"("lastUpdated":null,"lastError":null})"));
    }

    void jsonEscapesAndDates()
    {
        Snapshot snapshot;
        snapshot.fullHostname = u"odd\"name\\\n"_s;
        snapshot.publicAddress = u"203.0.113.7"_s;
        snapshot.lastUpdated = QDateTime(QDate(2026, 12, 6), QTime(9, 41, 5), Qt::OffsetFromUTC, 3600);
        snapshot.lastError = u"No public IPv4 service returned a valid address."_s;
        QJsonParseError error;
        const QJsonObject object = QJsonDocument::fromJson(snapshot.toJson(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(object[u"hostname"_s][u"full"_s].toString(), snapshot.fullHostname);
        QCOMPARE(object[u"publicAddress"_s].toString(), u"203.0.113.7"_s);
        QCOMPARE(object[u"lastUpdated"_s].toString(), u"2026-12-06T08:41:05Z"_s);
        QCOMPARE(object[u"lastError"_s].toString(), *snapshot.lastError);
    }

    void printLinesStopAtTheStatusLine()
    {
        Snapshot snapshot = sample();
        snapshot.lastError = u"No public IPv4 service returned a valid address."_s;
        QCOMPARE(
            snapshot.menuLines(true, false),
            (QStringList{u"Hostname: studio.example.com"_s, u"Public IP unavailable"_s, u"Tailscale: 100.101.102.103"_s,
                         u"Tailscale: fd7a:115c:a1e0::1"_s, u"No public IPv4 service returned a valid address."_s}));
    }
};

QTEST_GUILESS_MAIN(TestSnapshot)
#include "tst_snapshot.moc"
