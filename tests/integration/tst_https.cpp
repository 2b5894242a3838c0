// HTTPS against servers on 127.0.0.1 and ::1 with a certificate authority made for the test: the
// one request every part of the program uses, and the public IPv4 and IPv6 lookups built on it.

#include "TestCertificates.h"
#include "TestHttpsServer.h"
#include "TestSupport.h"
#include "network/HttpsRequest.h"
#include "network/PublicIPService.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <set>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Reply = TestHttpsServer::Reply;
using Outcome = HttpsRequest::Outcome;

class TestHttps : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TestCertificates> m_certificates;
    QNetworkAccessManager m_network;

    std::unique_ptr<TestHttpsServer> server(const Reply& reply, bool isTrusted = true, bool isIPv6 = false)
    {
        auto result = TestHttpsServer::start(isTrusted ? m_certificates->trusted() : m_certificates->untrusted(), reply,
                                             isIPv6);
        if (!result)
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
        return lookup->address();
    }

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(u".*"_s)); }

    void initTestCase()
    {
        m_certificates = std::make_unique<TestCertificates>();
        if (!m_certificates->trustInThisProcess())
            QSKIP(qPrintable(u"the openssl command is needed: "_s + m_certificates->errorString()));
    }

    void request_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("size"); // of the body; the cap is 10 bytes
        QTest::addColumn<QByteArray>("redirect"); // "http" or "https": to this server
        QTest::addColumn<bool>("toFile"); // else in memory
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QByteArray>("received"); // in memory or in the file
        const QByteArray full(10, 'x');
        QTest::newRow("a 2xx at the cap, in memory")
            << 299 << 10 << QByteArray() << false << int(Outcome::Succeeded) << full;
        QTest::newRow("at the cap, streamed to a file")
            << 200 << 10 << QByteArray() << true << int(Outcome::Succeeded) << full;
        QTest::newRow("a byte over the cap")
            << 200 << 11 << QByteArray() << false << int(Outcome::TooLarge) << QByteArray();
        QTest::newRow("over the cap, to a file: nothing left")
            << 200 << 11 << QByteArray() << true << int(Outcome::TooLarge) << QByteArray();
        QTest::newRow("404, to a file: nothing left")
            << 404 << 5 << QByteArray() << true << int(Outcome::HttpError) << QByteArray();
        QTest::newRow("a redirect to https is followed")
            << 302 << 0 << QByteArray("https") << false << int(Outcome::Succeeded) << QByteArray("moved");
        QTest::newRow("a redirect to http is not")
            << 302 << 0 << QByteArray("http") << true << int(Outcome::NotHttps) << QByteArray();
        // Another account's link at the file's name: neither followed nor removed.
        QTest::newRow("a link where the file goes")
            << 200 << 10 << QByteArray("planted") << true << int(Outcome::FileError) << QByteArray("victim");
    }
    void request()
    {
        QFETCH(int, status);
        QFETCH(int, size);
        QFETCH(QByteArray, redirect);
        QFETCH(bool, toFile);
        QFETCH(int, outcome);
        QFETCH(QByteArray, received);
        const auto echo = server({});
        const bool isPlanted = redirect == "planted";
        if (isPlanted)
            redirect.clear();
        const QByteArray target = redirect + "://127.0.0.1:" + QByteArray::number(echo->url().port()) + "/moved";
        echo->setHandler([&](int index) {
            return index > 0 ? Reply{200, "moved"}
                             : Reply{status, QByteArray(size, 'x'), false, redirect.isEmpty() ? QByteArray() : target};
        });
        QTemporaryDir dir;
        const QString file = toFile ? dir.filePath(u"download"_s) : QString();
        if (isPlanted)
            QVERIFY(writeFile(dir.filePath(u"victim"_s), "victim") && QFile::link(dir.filePath(u"victim"_s), file));
        HttpsRequest request(&m_network, echo->url(), {5000ms, 10, file, std::nullopt});
        QSignalSpy finished(&request, &HttpsRequest::finished);
        request.start();
        QVERIFY(finished.wait(10000));
        QCOMPARE(int(request.outcome()), outcome);
        QCOMPARE(request.errorString().isEmpty(), outcome == int(Outcome::Succeeded));
        QCOMPARE(request.status(), isPlanted ? 0 : redirect == "http" ? 302 : redirect == "https" ? 200 : status);
        QCOMPARE(toFile ? readFile(file) : request.body(), received);
        QCOMPARE(QFile::exists(file), isPlanted || (toFile && outcome == int(Outcome::Succeeded)));
        QCOMPARE(echo->requestCount(), isPlanted ? 0 : redirect == "https" ? 2 : 1);
    }

    // An http address is refused before it is asked: tst_updatechecker's "an http archive".
    void untrustedServersAreNeverAsked()
    {
        const auto rogue = server({200, "203.0.113.66\n"}, false);
        const PublicIPService service(&m_network, {rogue->url()});
        QCOMPARE(lookUp(service), std::nullopt);
        QCOMPARE(rogue->requestCount(), 0);
    }

    // The same rules for both families; the IPv6 lookup asks a server on ::1, over IPv6, and takes
    // a global unicast address alone, in its canonical form.
    void lookupReplies_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected"); // null: refused; for the IPv6 lookup when it begins "6 "
        QTest::newRow("address with line break") << 200 << QByteArray("203.0.113.7\r\n") << u"203.0.113.7"_s;
        QTest::newRow("IPv6: a global address, written in capitals")
            << 200 << QByteArray("2001:DB8:0::7\n") << u"6 2001:db8::7"_s;
        QTest::newRow("IPv6: an IPv4 address") << 200 << QByteArray("203.0.113.7\n") << u"6 "_s;
        QTest::newRow("IPv6: link-local") << 200 << QByteArray("fe80::1\n") << u"6 "_s;
        QTest::newRow("IPv6: unique-local") << 200 << QByteArray("fd00::1\n") << u"6 "_s;
        QTest::newRow("IPv6: with a zone") << 200 << QByteArray("2001:db8::7%eth0") << u"6 "_s;
        QTest::newRow("IPv6: brackets and a port") << 200 << QByteArray("[2001:db8::7]:443") << u"6 "_s;
        QTest::newRow("IPv6: an HTML page") << 200 << QByteArray("<html>2001:db8::7</html>") << u"6 "_s;
        QTest::newRow("IPv6: 10 MB") << 200 << QByteArray("2001:db8::7") + QByteArray(10 << 20, ' ') << u"6 "_s;
        QTest::newRow("IPv6 address") << 200 << QByteArray("2001:db8::1\n") << QString();
        QTest::newRow("404 with a valid body") << 404 << QByteArray("203.0.113.7") << QString();
        QTest::newRow("not UTF-8") << 200 << QByteArray("203.0.113.7\xff") << QString();
        // A decoder drops the mark; the address behind it is still not what was sent.
        QTest::newRow("byte-order mark in front") << 200 << QByteArray("\xef\xbb\xbf") + "203.0.113.7" << QString();
        QTest::newRow("over 1 KiB") << 200 << QByteArray("203.0.113.7") + QByteArray(1024, ' ') << QString();
    }
    void lookupReplies()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, expected);
        const bool isIPv6 = expected.startsWith(u"6 "_s);
        const auto echo = server({status, body}, true, isIPv6);
        const PublicIPService service(&m_network, {echo->url()}, PublicIPService::defaultTimeout,
                                      isIPv6 ? AddressFamily::IPv6 : AddressFamily::IPv4);
        QCOMPARE(lookUp(service).value_or(QString()), isIPv6 ? expected.mid(2) : expected);
        QCOMPARE(echo->requestCount(), 1);
    }

    void firstValidReplyWinsAfterOthersFail()
    {
        const auto broken = server({503, "203.0.113.9"});
        const auto empty = server({200, ""});
        const auto good = server({200, "203.0.113.7\n"});
        const PublicIPService service(&m_network, {broken->url(), empty->url(), good->url()});
        QCOMPARE(lookUp(service), std::optional(u"203.0.113.7"_s));
        QCOMPARE(good->requestCount(), 1);

        // Every endpoint failing ends after exactly one request each; none at all fails at once.
        good->setReply({404, ""});
        const int asked = broken->requestCount() + empty->requestCount() + good->requestCount();
        const std::unique_ptr<PublicIPLookup> lookup = service.fetch();
        QSignalSpy finished(lookup.get(), &PublicIPLookup::finished);
        QVERIFY(finished.wait(20000));
        QCOMPARE(description(lookup->error().value()), u"No public IPv4 service returned a valid address."_s);
        QCOMPARE(broken->requestCount() + empty->requestCount() + good->requestCount(), asked + 3);
        QCOMPARE(lookUp(PublicIPService(&m_network, {})), std::nullopt);
    }

    // Each lookup draws a fresh order: the stalled endpoint is asked first in some lookups and not
    // in others, and costs its timeout when it is; the good answer wins either way.
    void eachLookupDrawsAFreshOrderAndAStalledEndpointGivesWay()
    {
        const auto stalled = server({200, "", true});
        const auto good = server({200, "203.0.113.7\n"});
        const QList<QUrl> urls{stalled->url(), good->url()};
        const PublicIPService service(&m_network, urls, std::chrono::milliseconds(400));
        std::set<bool> stalledFirst;
        for (int round = 0; round < 30 && stalledFirst.size() < 2; ++round) {
            QElapsedTimer timer;
            timer.start();
            const int stalledBefore = stalled->requestCount();
            QCOMPARE(lookUp(service), std::optional(u"203.0.113.7"_s));
            stalledFirst.insert(stalled->requestCount() > stalledBefore);
            if (stalled->requestCount() > stalledBefore)
                QVERIFY(timer.elapsed() >= 350);
        }
        QVERIFY2(stalledFirst.size() == 2, "thirty lookups all asked the same endpoint first");
        QCOMPARE(service.endpoints(), urls); // the stored list is never reordered
    }
};

QTEST_GUILESS_MAIN(TestHttps)
#include "tst_https.moc"
