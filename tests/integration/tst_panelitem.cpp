// The panel item over a private session bus, as a panel sees it: a watcher written here,
// Tavrink's StatusNotifierItem and DBusMenu checked against the committed interface files, what
// travels on the wire, and the real clipboard under Xvfb read back with xclip.

#include "Fakes.h"
#include "TestSupport.h"
#include "TestWatcher.h"
#include "TestWindows.h"
#include "app/TavrinkApp.h"
#include "app/UnseenItemNotice.h"
#include "platform/linux/clipboard/QtClipboard.h"
#include "platform/linux/panel/DBusTypes.h"
#include "platform/linux/panel/StatusNotifierItem.h"
#include "settings/DefaultsStore.h"
#include "settings/SettingsKey.h"

#include <QClipboard>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace {

const QString kItemInterface = u"org.kde.StatusNotifierItem"_s;
const QString kMenuInterface = u"com.canonical.dbusmenu"_s;
const QVariant kNoData = QVariant::fromValue(QDBusVariant(QString()));

QString clipboardText()
{
    QProcess xclip;
    xclip.start(u"xclip"_s, {u"-o"_s, u"-selection"_s, u"clipboard"_s});
    // Tavrink's own event loop must run to answer xclip's request.
    QElapsedTimer timer;
    timer.start();
    while (!xclip.waitForFinished(10) && timer.elapsed() < 5000)
        QCoreApplication::processEvents();
    return QString::fromUtf8(xclip.readAllStandardOutput());
}

} // namespace

class TestPanelItem : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_config;
    FakeNetwork m_network;
    QtClipboard m_clipboard;
    ScriptedAlertPresenter m_alerts;
    FakeLoginItemService m_loginItems;
    std::unique_ptr<TestWatcher> m_watcher;
    std::unique_ptr<DefaultsStore> m_settings;
    std::unique_ptr<HostnameModel> m_hostname;
    std::unique_ptr<StatusNotifierItem> m_item;
    FakeFallbackItem* m_tray = nullptr; // m_item's, with no tray to show in
    std::unique_ptr<TavrinkApp> m_app;

    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(m_item->serviceName(), path, interface, method);
        message.setArguments(arguments);
        return m_watcher->connection().call(message, QDBus::BlockWithGui, 5000);
    }
    QDBusMessage click(int id)
    {
        return call(u"/MenuBar"_s, kMenuInterface, u"Event"_s, {id, u"clicked"_s, kNoData, 0u});
    }

    QVariant itemProperty(const QString& name)
    {
        const QDBusMessage reply
            = call(u"/StatusNotifierItem"_s, u"org.freedesktop.DBus.Properties"_s, u"Get"_s, {kItemInterface, name});
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }

    QList<int> pixmapWidths()
    {
        DBusImageList pixmaps;
        itemProperty(u"IconPixmap"_s).value<QDBusArgument>() >> pixmaps;
        QList<int> widths;
        for (const DBusImage& image : pixmaps)
            widths << image.width;
        return widths;
    }

    // The root item and its rows, with the revision GetLayout reports.
    QList<DBusMenuLayoutItem> rows(DBusMenuLayoutItem* root = nullptr, uint* revision = nullptr)
    {
        const QDBusMessage reply = call(u"/MenuBar"_s, kMenuInterface, u"GetLayout"_s, {0, -1, QStringList()});
        DBusMenuLayoutItem layout;
        reply.arguments().value(1).value<QDBusArgument>() >> layout;
        if (revision)
            *revision = reply.arguments().value(0).toUInt();
        QList<DBusMenuLayoutItem> result;
        for (const QDBusVariant& child : std::as_const(layout.children)) {
            result.append(DBusMenuLayoutItem());
            child.variant().value<QDBusArgument>() >> result.last();
        }
        if (root)
            *root = layout;
        return result;
    }
    DBusMenuLayoutItem row(const QString& label)
    {
        for (const DBusMenuLayoutItem& item : rows()) {
            if (item.properties.value(u"label"_s) == label)
                return item;
        }
        return {-1, {}, {}};
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("a session bus is needed (the test command runs the suite under dbus-run-session)");
        registerDBusTypes();
    }

    void init()
    {
        QTest::failOnWarning(QRegularExpression(u".*"_s));
        QFile::remove(m_config.filePath(u"Tavrink.conf"_s));
        m_network.inventory.entries = {FakeInventory::up(u"wlan_0"_s, u"192.168.1.20"_s),
                                       FakeInventory::up(u"tailscale0"_s, u"100.101.102.103"_s)};
        m_network.inventory.names = {{u"tailscale0"_s, u"Tailscale"_s}};
        m_watcher = std::make_unique<TestWatcher>(u"panel"_s);
        QVERIFY(m_watcher->start());
        m_settings = std::make_unique<DefaultsStore>(m_config.filePath(u"Tavrink.conf"_s));
        m_hostname = fakeHostname(u"studio"_s, u"studio.example.com"_s);
        auto tray = std::make_unique<FakeFallbackItem>(false);
        m_tray = tray.get();
        m_item = std::make_unique<StatusNotifierItem>(QDBusConnection::sessionBus(), u"com.kelvandrosi.Tavrink"_s,
                                                      QString(), std::move(tray));
        m_app = std::make_unique<TavrinkApp>(TavrinkApp::Parts{
            *m_settings, *m_hostname, *m_item, m_clipboard, m_loginItems, m_alerts,
            [this] { return m_network.makeModel(); }, qEnvironmentVariable("TAVRINK_BUNDLE") + u"/share"_s});
        m_app->start();
        QTRY_VERIFY(m_item->isRegistered());
        QTRY_COMPARE(itemProperty(u"XAyatanaLabel"_s).toString(), u"studio"_s);
    }

    void cleanup()
    {
        m_app.reset();
        m_item.reset();
        m_watcher.reset();
    }

    // An item no panel can show is told of once: a watcher that no host reads is no watcher, and
    // the tray icon stands in where there is a tray; where there is none either, one notice (on
    // standard error and in the journal without a server), whose button never loops. The real
    // indicator service's watcher says it has a host, and has none on Budgie.
    void anItemNoPanelShowsIsToldOfOnce_data()
    {
        QTest::addColumn<QString>("watcher");
        QTest::addColumn<bool>("hasTray");
        QTest::addColumn<bool>("hasServer");
        QTest::addColumn<bool>("isSeen");
        QTest::addColumn<bool>("isTrayShown");
        QTest::newRow("a watcher with a host") << u"host"_s << true << true << true << false;
        QTest::newRow("a watcher without a host, a tray") << u"no host"_s << true << true << true << true;
        QTest::newRow("a watcher without a host, no tray") << u"no host"_s << false << true << false << false;
        QTest::newRow("a host that registers late") << u"late host"_s << false << true << true << false;
        QTest::newRow("no watcher, no tray, no server") << u"none"_s << false << false << false << false;
        QTest::newRow("the indicators' watcher on Budgie, a tray") << u"Budgie:GNOME"_s << true << true << true << true;
        QTest::newRow("the indicators' watcher on Budgie, no tray") << u"Budgie"_s << false << true << false << false;
        QTest::newRow("the indicators' watcher on xfce, no tray") << u"XFCE"_s << false << true << true << false;
    }
    void anItemNoPanelShowsIsToldOfOnce()
    {
        QFETCH(QString, watcher);
        QFETCH(bool, hasTray);
        QFETCH(bool, hasServer);
        QFETCH(bool, isSeen);
        QFETCH(bool, isTrayShown);
        m_app.reset();
        m_item.reset();
        QProcess indicators;
        const QByteArray desktop = qgetenv("XDG_CURRENT_DESKTOP");
        const auto stop = qScopeGuard([&indicators, desktop] {
            indicators.kill();
            indicators.waitForFinished();
            qputenv("XDG_CURRENT_DESKTOP", desktop);
        });
        const bool isIndicators = watcher.contains(u"Budgie"_s) || watcher == u"XFCE"_s; // the desktop
        if (watcher == u"none"_s || isIndicators)
            m_watcher.reset();
        else
            m_watcher->setHost(watcher == u"host"_s);
        if (isIndicators) {
            qputenv("XDG_CURRENT_DESKTOP", watcher.toUtf8());
            indicators.start(u"/usr/libexec/ayatana-indicator-application/ayatana-indicator-application-service"_s);
            indicators.closeWriteChannel();
            QTRY_VERIFY(
                QDBusConnection::sessionBus().interface()->isServiceRegistered(u"org.kde.StatusNotifierWatcher"_s));
        }
        auto fallback = std::make_unique<FakeFallbackItem>(hasTray);
        const FakeFallbackItem* tray = fallback.get();
        StatusNotifierItem item(QDBusConnection::sessionBus(), u"com.kelvandrosi.Tavrink"_s, {}, std::move(fallback));
        FakePanelSetup setup;
        RecordingNotifier notifier;
        notifier.isDelivering = hasServer;
        RecordingErrorLog log;
        QStringList printed;
        UnseenItemNotice notice({item, setup, notifier, log, [&printed](const QString& line) { printed << line; }});
        item.show();
        if (watcher == u"late host"_s) {
            QTest::qWait(StatusNotifierItem::seenDelayMs / 2);
            m_watcher->setHost(true);
        }
        QTest::qWait(StatusNotifierItem::seenDelayMs + 500);
        QCOMPARE(item.isSeen(), isSeen);
        QCOMPARE(tray->isVisible(), isTrayShown);
        QCOMPARE(notifier.notices.size(), isSeen || !hasServer ? 0 : 1);
        QCOMPARE(printed.size() + log.messages.size(), isSeen || hasServer ? 0 : 2);
        if (!notifier.notices.isEmpty()) {
            QCOMPARE(notifier.notices.first().summary, QString::fromLatin1(UnseenItemNotice::summary));
            notifier.handlers.first()(u"change"_s);
            QCOMPARE(setup.changes, 1);
            QCOMPARE(notifier.notices.size(), 2);
            QVERIFY(notifier.notices.last().actions.isEmpty());
        }
    }

    // A host that opens the menu itself and asks for it too (GNOME's extension, on a first click)
    // gets no second one; one that only asks (MATE) gets it, as does one whose menu closed or left.
    void aMenuTheHostShowsOpensOnce_data()
    {
        QTest::addColumn<QStringList>("before"); // events on the root ("group:" in an EventGroup), or "restart"
        QTest::addColumn<int>("popUps");
        QTest::newRow("asked") << QStringList() << 1;
        QTest::newRow("the host's open") << QStringList{u"opened"_s} << 0;
        QTest::newRow("open, in a group") << QStringList{u"group:opened"_s} << 0;
        QTest::newRow("closed again") << QStringList{u"opened"_s, u"group:closed"_s} << 1;
        QTest::newRow("its host gone") << QStringList{u"opened"_s, u"restart"_s} << 1;
    }
    void aMenuTheHostShowsOpensOnce()
    {
        QFETCH(QStringList, before);
        QFETCH(int, popUps);
        for (const QString& step : std::as_const(before)) {
            if (step == u"restart"_s) {
                m_watcher = std::make_unique<TestWatcher>(u"panel"_s);
                QVERIFY(m_watcher->start());
                QTRY_COMPARE(m_watcher->registeredItems(), QStringList{m_item->serviceName()});
            } else if (step.startsWith(u"group:"_s)) {
                const DBusMenuEventList events{{0, step.mid(6), QDBusVariant(QString()), 0u}};
                call(u"/MenuBar"_s, kMenuInterface, u"EventGroup"_s, {QVariant::fromValue(events)});
            } else {
                call(u"/MenuBar"_s, kMenuInterface, u"Event"_s, {0, step, kNoData, 0u});
            }
        }
        call(u"/StatusNotifierItem"_s, kItemInterface, u"Activate"_s, {680, 17});
        QCOMPARE(m_tray->popUps, popUps);
    }

    void exportsWhatTheCommittedInterfacesSay()
    {
        const QString dbus = qEnvironmentVariable("TAVRINK_SOURCE") + u"/resources/dbus/"_s;
        for (const auto& [path, interface] :
             {std::pair{u"/StatusNotifierItem"_s, kItemInterface}, std::pair{u"/MenuBar"_s, kMenuInterface}}) {
            const QString exported
                = call(path, u"org.freedesktop.DBus.Introspectable"_s, u"Introspect"_s).arguments().value(0).toString();
            const QStringList committed = members(QString::fromUtf8(readFile(dbus + interface + u".xml"_s)), interface);
            QVERIFY(committed.size() > 10);
            QCOMPARE(members(exported, interface), committed);
        }
    }

    void registersAsAMenuAndItsLabelTravels()
    {
        QCOMPARE(m_watcher->registeredItems(), QStringList{m_item->serviceName()});
        QCOMPARE(m_watcher->registrants(), QStringList{QDBusConnection::sessionBus().baseService()});
        QCOMPARE(itemProperty(u"ItemIsMenu"_s).toBool(), true);
        QCOMPARE(itemProperty(u"Menu"_s).value<QDBusObjectPath>().path(), u"/MenuBar"_s);
        QCOMPARE(itemProperty(u"Id"_s).toString(), u"com.kelvandrosi.Tavrink"_s);
        // Plasma 6 hands a token over with each click, for the window the click may open.
        QCOMPARE(call(u"/StatusNotifierItem"_s, kItemInterface, u"ProvideXdgActivationToken"_s, {u"t-1"_s}).type(),
                 QDBusMessage::ReplyMessage);
        QCOMPARE(qgetenv("XDG_ACTIVATION_TOKEN"), QByteArray("t-1"));
        qunsetenv("XDG_ACTIVATION_TOKEN");
        QCOMPARE(itemProperty(u"Title"_s).toString(), u"studio"_s);
        // This watcher is no host that draws labels: the hostname is drawn into a wide picture.
        QCOMPARE(itemProperty(u"IconName"_s).toString(), QString());
        QVERIFY(pixmapWidths().value(0) > 22);

        QSignalSpy announced(this, &TestPanelItem::labelAnnounced);
        QVERIFY(m_watcher->connection().connect(m_item->serviceName(), u"/StatusNotifierItem"_s, kItemInterface,
                                                u"XAyatanaNewLabel"_s, this, SIGNAL(labelAnnounced(QString, QString))));
        m_settings->setValue(SettingsKey::useFQDN, true);
        QTRY_COMPARE(itemProperty(u"XAyatanaLabel"_s).toString(), u"studio.example.com"_s);
        QTRY_VERIFY(!announced.isEmpty());
        QCOMPARE(announced.last().first().toString(), u"studio.example.com"_s);
        m_settings->setValue(SettingsKey::showHostnameInBar, false);
        QTRY_COMPARE(itemProperty(u"XAyatanaLabel"_s).toString(), QString());
        QVERIFY(!itemProperty(u"IconName"_s).toString().isEmpty());
        QCOMPARE(pixmapWidths(), (QList<int>{18, 36, 54}));
    }

    void anItemTheHostDropsRegistersAgain()
    {
        // Other programs' items dropped (one whose unique name merely begins like ours among them):
        // nothing comes, though a registration would within 1 s.
        m_watcher->drop(u"org.kde.StatusNotifierItem-1-1"_s);
        m_watcher->drop(QDBusConnection::sessionBus().baseService() + u"0/StatusNotifierItem"_s);
        QTest::qWait(1500);
        QCOMPARE(m_watcher->registrants().size(), 1);
        m_watcher->drop(m_item->serviceName());
        QTRY_COMPARE_WITH_TIMEOUT(m_watcher->registeredItems(), QStringList{m_item->serviceName()}, 3000);
        QCOMPARE(m_watcher->registrants().size(), 2);
    }

    void rowsTravelAsDBusMenuItems()
    {
        DBusMenuLayoutItem root;
        rows(&root);
        QCOMPARE(root.properties.value(u"children-display"_s).toString(), u"submenu"_s);
        // An underscore would mark a mnemonic: names are shown as they are.
        QVERIFY(row(u"wlan__0: 192.168.1.20"_s).properties.value(u"enabled"_s).toBool());
        const QVariantMap unavailable = row(u"Public IP unavailable"_s).properties;
        QCOMPARE(unavailable.value(u"enabled"_s).toBool(), false);
        QCOMPARE(unavailable.value(u"icon-name"_s).toString(), u"dialog-warning"_s);
        DBusMenuShortcut shortcut;
        row(u"Refresh Now"_s).properties.value(u"shortcut"_s).value<QDBusArgument>() >> shortcut;
        QCOMPARE(shortcut, (DBusMenuShortcut{{u"Control"_s, u"r"_s}}));
        // An id that names nothing (a row gone since the panel read the menu) is an error.
        QCOMPARE(call(u"/MenuBar"_s, kMenuInterface, u"GetLayout"_s, {99, -1, QStringList()}).type(),
                 QDBusMessage::ErrorMessage);
        QCOMPARE(click(99).type(), QDBusMessage::ErrorMessage);
    }

    void clicksCopyExactlyTheirValue()
    {
        if (QStandardPaths::findExecutable(u"xclip"_s).isEmpty())
            QSKIP("xclip is needed to read the clipboard back");
        click(row(u"wlan__0: 192.168.1.20"_s).id);
        QTRY_COMPARE(clipboardText(), u"192.168.1.20"_s);
        const DBusMenuEventList events{
            {row(u"Tailscale: 100.101.102.103"_s).id, u"clicked"_s, QDBusVariant(QString()), 0u},
            {424242, u"clicked"_s, QDBusVariant(QString()), 0u}};
        const QDBusMessage reply = call(u"/MenuBar"_s, kMenuInterface, u"EventGroup"_s, {QVariant::fromValue(events)});
        QCOMPARE(qdbus_cast<QList<int>>(reply.arguments().value(0)), QList<int>{424242});
        QTRY_COMPARE(clipboardText(), u"100.101.102.103"_s);
    }

Q_SIGNALS:
    void labelAnnounced(const QString& label, const QString& guide);
};

QTEST_MAIN(TestPanelItem)
#include "tst_panelitem.moc"
