#include "TestCertificates.h"
#include "TestHttpsServer.h"
#include "network/PublicIPService.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <set>

using namespace Qt::StringLiterals;
using Reply = TestHttpsServer::Reply;

class TestPublicIPService : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TestCertificates> m_certificates;
    QNetworkAccessManager m_network;

    std::unique_ptr<TestHttpsServer> server(const Reply& reply, bool isTrusted = true)
    {
        auto result
            = std::make_unique<TestHttpsServer>(isTrusted ? m_certificates->trusted() : m_certificates->untrusted());
        result->setReply(reply);
        if (!result->listen())
            qFatal("cannot listen on 127.0.0.1");
        return result;
    }

    // Runs one lookup to its end.
    static std::optional<QString> lookUp(const PublicIPService& service)
    {
        const std::unique_ptr<PublicIPLookup> lookup = service.fetch();
        QSignalSpy finished(lookup.get(), &PublicIPLookup::finished);
        if (!finished.wait(20000))
            qFatal("lookup never finished");
        if (lookup->address() && lookup->error())
            qFatal("a lookup cannot both succeed and fail");
        return lookup->address();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_certificates = std::make_unique<TestCertificates>();
        if (!m_certificates->isValid())
            QSKIP(qPrintable(u"the openssl command is needed: "_s + m_certificates->errorString()));
        m_certificates->trustInThisProcess();
    }

    void singleReply_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected"); // null: refused
        QTest::newRow("address with line break") << 200 << QByteArray("203.0.113.7\n") << u"203.0.113.7"_s;
        QTest::newRow("spaces, tabs, CR and LF around")
            << 200 << QByteArray(" \t203.0.113.7\r\n\n") << u"203.0.113.7"_s;
        QTest::newRow("any 2xx is accepted") << 299 << QByteArray("198.51.100.1") << u"198.51.100.1"_s;
        QTest::newRow("label in front") << 200 << QByteArray("ip=203.0.113.7\n") << QString();
        QTest::newRow("two addresses") << 200 << QByteArray("203.0.113.7 203.0.113.8") << QString();
        QTest::newRow("address with port") << 200 << QByteArray("203.0.113.7:443") << QString();
        QTest::newRow("IPv6 address") << 200 << QByteArray("2001:db8::1\n") << QString();
        QTest::newRow("HTML page") << 200 << QByteArray("<html>203.0.113.7</html>") << QString();
        QTest::newRow("empty 200") << 200 << QByteArray() << QString();
        QTest::newRow("204") << 204 << QByteArray() << QString();
        QTest::newRow("404 with a valid body") << 404 << QByteArray("203.0.113.7") << QString();
        QTest::newRow("503 with a valid body") << 503 << QByteArray("203.0.113.7") << QString();
        QTest::newRow("not UTF-8") << 200 << QByteArray("203.0.113.7\xff") << QString();
        QTest::newRow("oversized body") << 200 << QByteArray("203.0.113.7") + QByteArray(64 * 1024, ' ') << QString();
    }
    void singleReply()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        const auto echo = server({status, body, false});
        const PublicIPService service(&m_network, {echo->url()});
        const std::optional<QString> address = lookUp(service);
        QCOMPARE(address.value_or(QString()), expected);
        QCOMPARE(echo->requestCount(), 1);
    }

    void firstValidReplyWinsAndTheRestAreNotAsked()
    {
        const auto good = server({200, "203.0.113.7\n", false});
        const auto other = server({200, "198.51.100.1\n", false});
        const PublicIPService service(&m_network, {good->url(), other->url()});
        for (int i = 0; i < 6; ++i) {
            const std::optional<QString> address = lookUp(service);
            QVERIFY(address == u"203.0.113.7"_s || address == u"198.51.100.1"_s);
        }
        QCOMPARE(good->requestCount() + other->requestCount(), 6);
    }

    void invalidRepliesGiveWayToTheNext()
    {
        const auto broken = server({503, "203.0.113.9", false});
        const auto empty = server({200, "", false});
        const auto good = server({200, "203.0.113.7\n", false});
        const PublicIPService service(&m_network, {broken->url(), empty->url(), good->url()});
        QCOMPARE(lookUp(service), std::optional(u"203.0.113.7"_s));
        QCOMPARE(good->requestCount(), 1);
    }

    void allFailingAfterExactlyThreeRequests()
    {
        const auto a = server({500, "", false});
        const auto b = server({200, "nope", false});
        const auto c = server({404, "", false});
        const PublicIPService service(&m_network, {a->url(), b->url(), c->url()});
        const std::unique_ptr<PublicIPLookup> lookup = service.fetch();
        QSignalSpy finished(lookup.get(), &PublicIPLookup::finished);
        QVERIFY(finished.wait(20000));
        QCOMPARE(lookup->address(), std::nullopt);
        QCOMPARE(description(lookup->error().value()), u"No public IPv4 service returned a valid address."_s);
        QCOMPARE(a->requestCount() + b->requestCount() + c->requestCount(), 3);
    }

    void noEndpointsFailsAtOnce()
    {
        const PublicIPService service(&m_network, {});
        QCOMPARE(lookUp(service), std::nullopt);
    }

    void stalledEndpointGivesWayAfterItsTimeout()
    {
        const auto stalled = server({200, "", true});
        const auto good = server({200, "203.0.113.7\n", false});
        const PublicIPService service(&m_network, {stalled->url(), good->url()}, std::chrono::milliseconds(400));
        // Whichever order is drawn, the answer is the good one; when the stalled one came first it cost its timeout.
        for (int i = 0; i < 4; ++i) {
            QElapsedTimer timer;
            timer.start();
            const int stalledBefore = stalled->requestCount();
            QCOMPARE(lookUp(service), std::optional(u"203.0.113.7"_s));
            if (stalled->requestCount() > stalledBefore)
                QVERIFY(timer.elapsed() >= 350);
        }
        QVERIFY(stalled->requestCount() >= 1 || good->requestCount() == 4);
    }

    void untrustedCertificateIsRefused()
    {
        const auto rogue = server({200, "203.0.113.66\n", false}, false);
        const PublicIPService service(&m_network, {rogue->url()});
        QCOMPARE(lookUp(service), std::nullopt);
        QCOMPARE(rogue->requestCount(), 0);
    }

    void shuffledOrderVaries()
    {
        std::set<QString> firstAsked;
        std::vector<std::unique_ptr<TestHttpsServer>> servers;
        QList<QUrl> urls;
        for (int i = 0; i < 3; ++i) {
            servers.push_back(server({200, "203.0.113.7", false}));
            urls.append(servers.back()->url());
        }
        const PublicIPService service(&m_network, urls);
        for (int round = 0; round < 30 && firstAsked.size() < 2; ++round) {
            QList<int> before;
            for (const auto& s : servers)
                before << s->requestCount();
            lookUp(service);
            for (int i = 0; i < 3; ++i) {
                if (servers[static_cast<size_t>(i)]->requestCount() > before[i])
                    firstAsked.insert(urls[i].toString());
            }
        }
        QVERIFY2(firstAsked.size() >= 2, "thirty lookups all asked the same endpoint first");
        QCOMPARE(service.endpoints(), urls); // the stored list is never reordered
    }
};

QTEST_GUILESS_MAIN(TestPublicIPService)
#include "tst_publicipservice.moc"
