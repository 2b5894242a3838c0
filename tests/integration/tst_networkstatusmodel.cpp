#include "FakeClock.h"
#include "Fakes.h"
#include "TestCertificates.h"
#include "TestHttpsServer.h"
#include "TestSupport.h"
#include "network/NetworkStatusModel.h"
#include "network/PublicAddressChangeWatch.h"
#include "platform/linux/session/LogindWakeMonitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Reply = TestHttpsServer::Reply;

namespace {

const QString kFailure = u"No public IPv4 service returned a valid address."_s;

} // namespace

class TestNetworkStatusModel : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TestCertificates> m_certificates;
    std::unique_ptr<TestHttpsServer> m_echo;
    QNetworkAccessManager m_network;
    FakeInventory m_inventory;
    FakeClock m_clock;
    RecordingErrorLog m_log;
    FakePathMonitor* m_pathMonitor = nullptr;

    std::unique_ptr<NetworkStatusModel> makeModel(std::unique_ptr<WakeMonitor> wake = nullptr,
                                                  const TestHttpsServer* echo6 = nullptr, QList<QUrl> echoes = {})
    {
        auto pathMonitor = std::make_unique<FakePathMonitor>();
        m_pathMonitor = pathMonitor.get();
        return std::make_unique<NetworkStatusModel>(NetworkStatusModel::Dependencies{
            m_inventory, m_clock, m_log, std::move(pathMonitor), std::move(wake),
            std::make_unique<PublicIPService>(&m_network, echoes.isEmpty() ? QList<QUrl>{m_echo->url()} : echoes,
                                              2000ms),
            echo6
                ? std::make_unique<PublicIPService>(&m_network, QList<QUrl>{echo6->url()}, 2000ms, AddressFamily::IPv6)
                : nullptr});
    }

    // Lets queued handlers run without moving the fake clock.
    static void settle() { QCoreApplication::processEvents(); }

private Q_SLOTS:
    void initTestCase()
    {
        m_certificates = std::make_unique<TestCertificates>();
        if (!m_certificates->trustInThisProcess())
            QSKIP(qPrintable(u"the openssl command is needed: "_s + m_certificates->errorString()));
    }

    void init()
    {
        QTest::failOnWarning(QRegularExpression(u".*"_s));
        m_echo = TestHttpsServer::start(m_certificates->trusted(), {200, "203.0.113.7\n"});
        QVERIFY(m_echo);
        m_inventory = FakeInventory();
        m_inventory.entries = {FakeInventory::up(u"wlan0"_s, u"192.168.1.20"_s),
                               FakeInventory::up(u"tailscale0"_s, u"100.101.102.103"_s)};
        m_inventory.names = {{u"wlan0"_s, u"Wi-Fi"_s}, {u"tailscale0"_s, u"Tailscale"_s}};
        m_log.messages.clear();
    }

    // Path reports wait for a second of quiet, then refresh once; a refresh asked for meanwhile
    // runs at once and ends the wait. Each step is "report", "refresh" or a wait in ms, then the
    // inventory reads expected since the first lookup.
    void networkChangesWaitForQuiet_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("a burst of reports: one refresh a second after the last")
            << QStringList{u"report 0"_s, u"300 0"_s, u"report 0"_s, u"300 0"_s, u"report 0"_s,
                           u"300 0"_s,    u"699 0"_s, u"1 1"_s,      u"5000 1"_s};
        QTest::newRow("a refresh during the wait runs at once and ends it")
            << QStringList{u"report 0"_s, u"500 0"_s, u"refresh 1"_s, u"2000 1"_s};
    }
    void networkChangesWaitForQuiet()
    {
        QFETCH(QStringList, steps);
        const auto model = makeModel();
        QTRY_VERIFY(model->publicAddress());
        const int reads = m_inventory.readCount;
        for (const QString& step : std::as_const(steps)) {
            const QString action = step.section(u' ', 0, 0);
            if (action == u"report"_s)
                m_pathMonitor->report();
            else if (action == u"refresh"_s)
                model->refresh();
            else
                m_clock.advance(std::chrono::milliseconds(action.toInt()));
            settle();
            QCOMPARE(m_inventory.readCount - reads, step.section(u' ', 1).toInt());
        }
        QTRY_COMPARE(m_echo->requestCount(), 2);
        QTest::qWait(100);
        QCOMPARE(m_echo->requestCount(), 2);
    }

    void supersededFetchPublishesNothing()
    {
        m_echo->setHandler([](int index) { return index == 0 ? Reply{200, {}, true} : Reply{200, "198.51.100.2\n"}; });
        const auto model = makeModel();
        QTRY_COMPARE(m_echo->requestCount(), 1);
        QSignalSpy published(model.get(), &NetworkStatusModel::publicAddressChanged);
        m_pathMonitor->report();
        settle();
        // The cancelled fetch's answer arrives while the debounce waits: it must not be published.
        m_echo->releaseStalled({200, "203.0.113.66\n"});
        QTest::qWait(300);
        QCOMPARE(published.count(), 0);
        QCOMPARE(model->publicAddress(), std::nullopt);
        m_clock.advance(1s);
        QTRY_COMPARE(model->publicAddress(), std::optional(u"198.51.100.2"_s));
        QCOMPARE(published.count(), 1);
        QVERIFY(m_log.messages.isEmpty());
    }

    void constructionFillsTheListsThenTheTimerRefreshesEveryFiveMinutes()
    {
        const auto model = makeModel();
        QCOMPARE(model->tailscaleAddresses(), QStringList{u"100.101.102.103"_s});
        QCOMPARE(model->localAddresses().value(0).displayName, u"Wi-Fi"_s);
        QVERIFY(m_pathMonitor->isStarted);
        QTRY_COMPARE(model->publicAddress(), std::optional(u"203.0.113.7"_s));
        const QDateTime first = m_clock.now();
        QCOMPARE(model->lastUpdated(), first);
        QSignalSpy published(model.get(), &NetworkStatusModel::publicAddressChanged);
        for (int i = 1; i <= 3; ++i) { // the same address is published again, and the time moves
            m_clock.advance(300s);
            QTRY_COMPARE(published.count(), i);
            QCOMPARE(model->lastUpdated(), first.addSecs(300 * i));
        }
        QCOMPARE(m_echo->requestCount(), 4);
    }

    void failureKeepsTheLastAddressAndLogsOnceThenSuccessPublishesInOrder()
    {
        m_echo->setHandler([](int index) { return index == 1 ? Reply{500, {}} : Reply{200, "203.0.113.7"}; });
        const auto model = makeModel();
        QTRY_VERIFY(model->publicAddress());
        const auto updated = model->lastUpdated();
        m_clock.advance(10s);
        model->refresh();
        QTRY_COMPARE(model->lastError(), std::optional(kFailure));
        QCOMPARE(model->publicAddress(), std::optional(u"203.0.113.7"_s));
        QCOMPARE(model->lastUpdated(), updated);
        QCOMPARE(m_log.messages, QStringList{u"Public IP refresh failed: "_s + kFailure});

        QStringList order;
        connect(model.get(), &NetworkStatusModel::publicAddressChanged, this, [&] { order << u"publicAddress"_s; });
        connect(model.get(), &NetworkStatusModel::lastUpdatedChanged, this, [&] { order << u"lastUpdated"_s; });
        connect(model.get(), &NetworkStatusModel::lastErrorChanged, this, [&] { order << u"lastError"_s; });
        model->refresh();
        QTRY_COMPARE(order, (QStringList{u"publicAddress"_s, u"lastUpdated"_s, u"lastError"_s}));
        QCOMPARE(model->lastError(), std::nullopt);
        QCOMPARE(m_log.messages.size(), 1);
    }

    void wakeFromLogindRefreshesAtOnce()
    {
        PrivateBus bus;
        if (bus.address().isEmpty())
            QSKIP("dbus-daemon is needed for a private system bus");
        QDBusConnection tavrinkSide = QDBusConnection::connectToBus(bus.address(), u"tavrink-side"_s);
        QDBusConnection logindSide = QDBusConnection::connectToBus(bus.address(), u"logind-side"_s);
        QVERIFY(tavrinkSide.isConnected() && logindSide.isConnected());
        QVERIFY(logindSide.registerService(u"org.freedesktop.login1"_s));

        const auto model = makeModel(std::make_unique<LogindWakeMonitor>(tavrinkSide));
        QTRY_COMPARE(m_echo->requestCount(), 1);
        const int reads = m_inventory.readCount;
        const auto prepareForSleep = [&](bool start) {
            QDBusMessage signal = QDBusMessage::createSignal(u"/org/freedesktop/login1"_s,
                                                             u"org.freedesktop.login1.Manager"_s, u"PrepareForSleep"_s);
            signal << start;
            QVERIFY(logindSide.send(signal));
        };
        prepareForSleep(true); // going to sleep is not a wake
        QTest::qWait(300);
        QCOMPARE(m_inventory.readCount, reads);
        prepareForSleep(false);
        QTRY_COMPARE(m_inventory.readCount, reads + 1);
        QTRY_COMPARE(m_echo->requestCount(), 2);

        QDBusConnection::disconnectFromBus(u"tavrink-side"_s);
        QDBusConnection::disconnectFromBus(u"logind-side"_s);
    }

    // The IPv6 lookup runs beside the IPv4 one while there is an IPv6 default route, and not
    // otherwise; with lookups off no request leaves on any trigger, until they are on again.
    void publicLookupsFollowTheRouteAndTheSwitch_data()
    {
        QTest::addColumn<bool>("hasIPv6Route");
        QTest::addColumn<bool>("isEnabled");
        QTest::newRow("an IPv6 route") << true << true;
        QTest::newRow("no IPv6 route: no IPv6 request") << false << true;
        QTest::newRow("lookups off: no request of either family") << true << false;
    }
    void publicLookupsFollowTheRouteAndTheSwitch()
    {
        QFETCH(bool, hasIPv6Route);
        QFETCH(bool, isEnabled);
        const auto echo6 = TestHttpsServer::start(m_certificates->trusted(), {200, "2001:db8::7\n"}, true);
        QVERIFY(echo6);
        m_inventory.hasIPv6Route = hasIPv6Route;
        const auto model = makeModel(nullptr, echo6.get());
        model->setPublicLookupEnabled(isEnabled); // as the settings do, at once
        // Every trigger, each let finish: the start, a network change, the timer, a refresh.
        const std::function<void()> triggers[]
            = {[] {}, [&] { m_pathMonitor->report(), settle(), m_clock.advance(1s); }, [&] { m_clock.advance(300s); },
               [&] { model->refresh(); }};
        int round = 0;
        for (const auto& trigger : triggers) {
            trigger();
            ++round;
            QTRY_COMPARE(m_echo->requestCount(), isEnabled ? round : 0);
            QTRY_COMPARE(echo6->requestCount(), isEnabled && hasIPv6Route ? round : 0);
            QTRY_COMPARE(model->publicIPv6Address(),
                         isEnabled && hasIPv6Route ? std::optional(u"2001:db8::7"_s) : std::nullopt);
        }
        QTest::qWait(300);
        QCOMPARE(m_echo->requestCount() + echo6->requestCount(), isEnabled ? round * (hasIPv6Route ? 2 : 1) : 0);
        model->setPublicLookupEnabled(true);
        QTRY_COMPARE(m_echo->requestCount(), isEnabled ? round : 1);
    }

    // A change is announced once a second service confirms it. Each step is what the two services
    // answer ("7" for 203.0.113.7, "-" for an error), or the switch turned "off" or "on".
    void changesAreAnnouncedOnceConfirmed_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("notices");
        QTest::newRow("the first address is the baseline") << QStringList{u"7 7"_s, u"7 7"_s} << QStringList{};
        QTest::newRow("a confirmed change")
            << QStringList{u"7 7"_s, u"9 9"_s, u"9 9"_s} << QStringList{u"203.0.113.7 → 203.0.113.9"_s};
        QTest::newRow("the second service disagrees") << QStringList{u"7 7"_s, u"9 7"_s} << QStringList{};
        QTest::newRow("the second service fails") << QStringList{u"7 7"_s, u"9 -"_s} << QStringList{};
        QTest::newRow("a failure between is no change") << QStringList{u"7 7"_s, u"- -"_s, u"7 7"_s, u"- -"_s, u"9 9"_s}
                                                        << QStringList{u"203.0.113.7 → 203.0.113.9"_s};
        QTest::newRow("a failure first sets no baseline") << QStringList{u"- -"_s, u"9 9"_s, u"9 9"_s} << QStringList{};
        QTest::newRow("off: nothing; on again: a new baseline")
            << QStringList{u"7 7"_s, u"off"_s, u"9 9"_s, u"on"_s, u"9 9"_s, u"5 5"_s}
            << QStringList{u"203.0.113.9 → 203.0.113.5"_s};
    }
    void changesAreAnnouncedOnceConfirmed()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, notices);
        const auto second = TestHttpsServer::start(m_certificates->trusted(), {});
        QVERIFY(second);
        const auto model = makeModel(nullptr, nullptr, {m_echo->url(), second->url()});
        RecordingNotifier notifier;
        FakeClipboard clipboard;
        PublicAddressChangeWatch watch({*model, notifier, clipboard, m_log});
        QTRY_VERIFY(model->publicAddress()); // the start's lookup, before any step
        model->setPublicLookupEnabled(false);
        watch.setEnabled(true);
        for (const QString& step : std::as_const(steps)) {
            if (step == u"off"_s || step == u"on"_s) {
                watch.setEnabled(step == u"on"_s);
                continue;
            }
            // The first request of the step gets the first answer, whichever service it goes to.
            const QStringList answers = step.split(u' ');
            const int asked = m_echo->requestCount() + second->requestCount();
            const int askedFirst = m_echo->requestCount();
            const int askedSecond = second->requestCount();
            const auto reply = [&](int) {
                const QString answer = answers.value(m_echo->requestCount() + second->requestCount() - asked - 1);
                return answer == u"-"_s ? Reply{500, {}} : Reply{200, "203.0.113." + answer.toUtf8() + '\n'};
            };
            m_echo->setHandler(reply);
            second->setHandler(reply);
            model->setPublicLookupEnabled(true); // a refresh, as a wake or a network change makes
            QTRY_VERIFY(m_echo->requestCount() + second->requestCount() > asked);
            QTest::qWait(150); // a confirmation, if any, has its turn
            // Each service is asked once at most: the confirmation goes to the other one.
            QVERIFY(m_echo->requestCount() - askedFirst <= 1 && second->requestCount() - askedSecond <= 1);
            model->setPublicLookupEnabled(false);
        }
        QStringList bodies;
        for (const Notice& notice : std::as_const(notifier.notices)) {
            QCOMPARE(notice.summary, u"Public IP changed"_s);
            bodies << notice.body;
        }
        QCOMPARE(bodies, notices);
        if (!notifier.handlers.isEmpty()) {
            notifier.handlers.last()(u"copy"_s);
            QCOMPARE(clipboard.texts, QStringList{notices.last().section(u" → "_s, 1)});
        }
    }

    void modelGoneLeavesNoTimers()
    {
        auto model = makeModel();
        m_pathMonitor->report();
        settle();
        QVERIFY(m_clock.pendingCount() >= 2);
        model.reset();
        QCOMPARE(m_clock.pendingCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestNetworkStatusModel)
#include "tst_networkstatusmodel.moc"
