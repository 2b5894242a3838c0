// The panel item over a private session bus: a watcher written here, Tavrink's StatusNotifierItem
// and DBusMenu, the real clipboard under Xvfb read back with xclip, and dbusmenu-dumper as an
// independent client.

#include "FakeNetwork.h"
#include "Fakes.h"
#include "ScriptedAlertPresenter.h"
#include "TestWatcher.h"
#include "app/TavrinkApp.h"
#include "network/HostnameModel.h"
#include "network/NetworkStatusModel.h"
#include "platform/linux/DBusTypes.h"
#include "platform/linux/QtClipboard.h"
#include "platform/linux/StatusNotifierItem.h"
#include "platform/linux/XdgAutostartLoginItem.h"
#include "settings/DefaultsStore.h"
#include "settings/SettingsKey.h"

#include <QApplication>
#include <QClipboard>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace {

const QString kItemInterface = u"org.kde.StatusNotifierItem"_s;
const QString kMenuInterface = u"com.canonical.dbusmenu"_s;

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

int visibleWindows(const QString& id)
{
    int count = 0;
    const QList<QWidget*> all = QApplication::topLevelWidgets();
    for (const QWidget* window : all)
        count += window->objectName() == id && window->isVisible();
    return count;
}

const QVariant kNoData = QVariant::fromValue(QDBusVariant(QString()));

} // namespace

class TestPanelItem : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_config;
    FakeNetwork m_network;
    QtClipboard m_clipboard;
    ScriptedAlertPresenter m_alerts;
    std::unique_ptr<XdgAutostartLoginItem> m_loginItems;
    std::unique_ptr<TestWatcher> m_watcher;
    std::unique_ptr<DefaultsStore> m_settings;
    std::unique_ptr<HostnameModel> m_hostname;
    std::unique_ptr<StatusNotifierItem> m_item;
    std::unique_ptr<TavrinkApp> m_app;

    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(m_item->serviceName(), path, interface, method);
        message.setArguments(arguments);
        return m_watcher->connection().call(message, QDBus::BlockWithGui, 5000);
    }

    QVariant itemProperty(const QString& name)
    {
        const QDBusMessage reply
            = call(u"/StatusNotifierItem"_s, u"org.freedesktop.DBus.Properties"_s, u"Get"_s, {kItemInterface, name});
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }

    DBusMenuLayoutItem layout(uint* revision = nullptr)
    {
        const QDBusMessage reply = call(u"/MenuBar"_s, kMenuInterface, u"GetLayout"_s, {0, -1, QStringList()});
        DBusMenuLayoutItem root;
        reply.arguments().value(1).value<QDBusArgument>() >> root;
        if (revision)
            *revision = reply.arguments().value(0).toUInt();
        return root;
    }

    QDBusMessage click(int id)
    {
        return call(u"/MenuBar"_s, kMenuInterface, u"Event"_s, {id, u"clicked"_s, kNoData, 0u});
    }

    QList<DBusMenuLayoutItem> rows()
    {
        QList<DBusMenuLayoutItem> result;
        for (const QDBusVariant& child : layout().children) {
            DBusMenuLayoutItem item;
            child.variant().value<QDBusArgument>() >> item;
            result.append(item);
        }
        return result;
    }

    QStringList labels()
    {
        QStringList result;
        for (const DBusMenuLayoutItem& row : rows()) {
            const QVariantMap& p = row.properties;
            result << (p.value(u"type"_s) == u"separator"_s ? u"---"_s : p.value(u"label"_s).toString());
        }
        return result;
    }

    int idOf(const QString& label)
    {
        for (const DBusMenuLayoutItem& row : rows()) {
            if (row.properties.value(u"label"_s) == label)
                return row.id;
        }
        return -1;
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
        QFile::remove(m_config.filePath(u"Tavrink.conf"_s));
        m_network.inventory = FakeInventory();
        m_network.inventory.entries = {FakeInventory::up(u"wlan0"_s, u"192.168.1.20"_s),
                                       FakeInventory::up(u"tailscale0"_s, u"100.101.102.103"_s)};
        m_network.inventory.names = {{u"wlan0"_s, u"Wi-Fi"_s}};
        m_watcher = std::make_unique<TestWatcher>(u"panel"_s);
        QVERIFY(m_watcher->start());
        m_settings = std::make_unique<DefaultsStore>(m_config.filePath(u"Tavrink.conf"_s));
        m_hostname = std::make_unique<HostnameModel>([] { return u"studio"_s; },
                                                     [](const QString& name) { return name + u".example.com"_s; });
        m_item = std::make_unique<StatusNotifierItem>(QDBusConnection::sessionBus(), u"com.kelvandrosi.Tavrink"_s);
        m_loginItems = std::make_unique<XdgAutostartLoginItem>(
            m_config.filePath(u"autostart"_s), u"/opt/Tavrink.app/bin/tavrink"_s, u"com.kelvandrosi.Tavrink"_s);
        const QString resources = qEnvironmentVariable("TAVRINK_SOURCE") + u"/resources/share"_s;
        m_app = std::make_unique<TavrinkApp>(TavrinkApp::Parts{*m_settings, *m_hostname, *m_item, m_clipboard,
                                                               *m_loginItems, m_alerts,
                                                               [this] { return m_network.makeModel(); }, resources});
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

    void registersAsAMenuWithTheWatcher()
    {
        QCOMPARE(m_watcher->registeredItems(), QStringList{m_item->serviceName()});
        QVERIFY(m_item->serviceName().startsWith(u"org.kde.StatusNotifierItem-"_s));
        QCOMPARE(itemProperty(u"ItemIsMenu"_s).toBool(), true);
        QCOMPARE(itemProperty(u"Menu"_s).value<QDBusObjectPath>().path(), u"/MenuBar"_s);
        QCOMPARE(itemProperty(u"Id"_s).toString(), u"com.kelvandrosi.Tavrink"_s);
        QCOMPARE(itemProperty(u"Title"_s).toString(), u"studio"_s);
    }

    void registersAgainWhenThePanelRestarts()
    {
        m_watcher->stop();
        QTRY_VERIFY(!m_item->isRegistered());
        QTest::qWait(200);
        QVERIFY(m_watcher->start());
        QTRY_COMPARE(m_watcher->registeredItems(), QStringList{m_item->serviceName()});
        QTRY_VERIFY(m_item->isRegistered());
        QCOMPARE(m_watcher->registrants().size(), 2);
        QCOMPARE(m_watcher->registrants().last(), QDBusConnection::sessionBus().baseService());
    }

    void labelFollowsTheSettings()
    {
        QStringList announced;
        QVERIFY(m_watcher->connection().connect(m_item->serviceName(), u"/StatusNotifierItem"_s, kItemInterface,
                                                u"XAyatanaNewLabel"_s, this, SLOT(onNewLabel(QString, QString))));
        connect(this, &TestPanelItem::labelAnnounced, this, [&](const QString& label) { announced << label; });

        m_settings->setValue(SettingsKey::useFQDN, true);
        QTRY_COMPARE(itemProperty(u"XAyatanaLabel"_s).toString(), u"studio.example.com"_s);
        QTRY_VERIFY(announced.contains(u"studio.example.com"_s));

        // Another process edits the settings file: the icon replaces the text.
        QSettings(m_config.filePath(u"Tavrink.conf"_s), QSettings::IniFormat).setValue(u"showHostnameInBar"_s, false);
        QTRY_COMPARE(itemProperty(u"XAyatanaLabel"_s).toString(), QString());
        QVERIFY(!itemProperty(u"IconName"_s).toString().isEmpty());
        DBusImageList pixmaps;
        itemProperty(u"IconPixmap"_s).value<QDBusArgument>() >> pixmaps;
        QList<int> widths;
        for (const DBusImage& image : pixmaps)
            widths << image.width;
        QCOMPARE(widths, (QList<int>{18, 36, 54}));
        QTRY_VERIFY(announced.contains(QString()));
    }

    void layoutHasTheRowsInOrder()
    {
        QCOMPARE(layout().properties.value(u"children-display"_s).toString(), u"submenu"_s);
        QCOMPARE(labels(),
                 (QStringList{u"Hostname: studio"_s, u"Public IP unavailable"_s, u"Tailscale: 100.101.102.103"_s,
                              u"Wi-Fi: 192.168.1.20"_s, u"---"_s, u"Refresh Now"_s, u"---"_s, u"About Tavrink ?"_s,
                              u"Settings…"_s, u"Quit Tavrink"_s}));
        const QList<DBusMenuLayoutItem> all = rows();
        QCOMPARE(all[1].properties.value(u"enabled"_s).toBool(), false);
        QCOMPARE(all[1].properties.value(u"icon-name"_s).toString(), u"dialog-warning"_s);
        QCOMPARE(all[3].properties.value(u"enabled"_s).toBool(), true);
        DBusMenuShortcut shortcut;
        all[5].properties.value(u"shortcut"_s).value<QDBusArgument>() >> shortcut;
        QCOMPARE(shortcut, (DBusMenuShortcut{{u"Control"_s, u"r"_s}}));

        const QDBusMessage missing = call(u"/MenuBar"_s, kMenuInterface, u"GetLayout"_s, {99, -1, QStringList()});
        QCOMPARE(missing.type(), QDBusMessage::ErrorMessage);
    }

    void clickedEntriesCopyExactlyTheirValue()
    {
        if (QStandardPaths::findExecutable(u"xclip"_s).isEmpty())
            QSKIP("xclip is needed to read the clipboard back");
        click(idOf(u"Wi-Fi: 192.168.1.20"_s));
        QTRY_COMPARE(clipboardText(), u"192.168.1.20"_s);

        const DBusMenuEventList events{
            {idOf(u"Tailscale: 100.101.102.103"_s), u"clicked"_s, QDBusVariant(QString()), 0u},
            {424242, u"clicked"_s, QDBusVariant(QString()), 0u}};
        const QDBusMessage reply = call(u"/MenuBar"_s, kMenuInterface, u"EventGroup"_s, {QVariant::fromValue(events)});
        const QList<int> idErrors = qdbus_cast<QList<int>>(reply.arguments().value(0));
        QCOMPARE(idErrors, QList<int>{424242});
        QTRY_COMPARE(clipboardText(), u"100.101.102.103"_s);

        const int hostname = idOf(u"Hostname: studio"_s);
        m_settings->setValue(SettingsKey::useFQDN, true);
        click(hostname);
        QTRY_COMPARE(clipboardText(), u"studio.example.com"_s);
    }

    void oldIdsRunTheirEntryOrNothing()
    {
        QVERIFY(m_watcher->connection().connect(m_item->serviceName(), u"/MenuBar"_s, kMenuInterface,
                                                u"LayoutUpdated"_s, this, SLOT(onLayoutUpdated(uint, int))));
        QSignalSpy quit(m_app.get(), &TavrinkApp::quitRequested);
        const int settings = idOf(u"Settings…"_s);
        const int wifi = idOf(u"Wi-Fi: 192.168.1.20"_s);
        uint before = 0;
        layout(&before);

        // Wi-Fi goes away and an Ethernet row comes in above "Settings…".
        m_network.inventory.entries
            = {FakeInventory::up(u"eth0"_s, u"10.0.0.9"_s), FakeInventory::up(u"tailscale0"_s, u"100.101.102.103"_s)};
        m_network.inventory.names = {{u"eth0"_s, u"Ethernet"_s}};
        click(idOf(u"Refresh Now"_s));
        QTRY_VERIFY2(labels().contains(u"Ethernet: 10.0.0.9"_s), qPrintable(labels().join(u" | "_s)));
        uint after = 0;
        layout(&after);
        QVERIFY(after > before);
        QTRY_COMPARE(m_revisions.value(m_revisions.size() - 1), after);

        m_clipboard.setText(u"untouched"_s);
        QCOMPARE(click(wifi).type(), QDBusMessage::ErrorMessage);
        QCOMPARE(call(u"/MenuBar"_s, kMenuInterface, u"GetLayout"_s, {wifi, -1, QStringList()}).type(),
                 QDBusMessage::ErrorMessage);
        const DBusMenuEventList events{{wifi, u"clicked"_s, QDBusVariant(QString()), 0u},
                                       {settings, u"clicked"_s, QDBusVariant(QString()), 0u}};
        const QDBusMessage reply = call(u"/MenuBar"_s, kMenuInterface, u"EventGroup"_s, {QVariant::fromValue(events)});
        QCOMPARE(qdbus_cast<QList<int>>(reply.arguments().value(0)), QList<int>{wifi});
        QTRY_COMPARE(visibleWindows(u"tavrink.settings"_s), 1);
        click(settings);
        QTRY_COMPARE(visibleWindows(u"tavrink.settings"_s), 1);
        QCOMPARE(visibleWindows(u"tavrink.about"_s), 0);
        QVERIFY(quit.isEmpty());
        QCOMPARE(QGuiApplication::clipboard()->text(), u"untouched"_s);
    }

    void dbusmenuDumperSeesTheRows()
    {
        const QString dumper = u"/usr/libexec/dbusmenu-dumper"_s;
        if (!QFile::exists(dumper))
            QSKIP("dbusmenu-dumper (libdbusmenu-tools) is needed");
        QProcess process;
        process.start(dumper, {u"--dbus-name="_s + m_item->serviceName(), u"--dbus-object=/MenuBar"_s});
        QTRY_VERIFY_WITH_TIMEOUT(process.state() == QProcess::NotRunning, 10000);
        const QString dump = QString::fromUtf8(process.readAllStandardOutput());
        qsizetype at = 0;
        for (const QString& label : {u"Hostname: studio"_s, u"Public IP unavailable"_s, u"Tailscale: 100.101.102.103"_s,
                                     u"Wi-Fi: 192.168.1.20"_s, u"Refresh Now"_s, u"Quit Tavrink"_s}) {
            at = dump.indexOf(label, at);
            QVERIFY2(at >= 0, qPrintable(label + u" missing or out of order in:\n"_s + dump));
        }
    }

    void waitsForAWatcherThatAppearsLater()
    {
        cleanup();
        auto item = std::make_unique<StatusNotifierItem>(QDBusConnection::sessionBus(), u"com.kelvandrosi.Tavrink"_s);
        item->show();
        QTest::qWait(200);
        QVERIFY(!item->isRegistered());
        TestWatcher watcher(u"late-panel"_s);
        QVERIFY(watcher.start());
        QTRY_COMPARE(watcher.registeredItems(), QStringList{item->serviceName()});
    }

public Q_SLOTS:
    void onNewLabel(const QString& label, const QString& guide)
    {
        Q_UNUSED(guide);
        Q_EMIT labelAnnounced(label);
    }
    void onLayoutUpdated(uint revision, int parent)
    {
        Q_UNUSED(parent);
        m_revisions.append(revision);
    }

Q_SIGNALS:
    void labelAnnounced(const QString& label);

private:
    QList<uint> m_revisions;
};

QTEST_MAIN(TestPanelItem)
#include "tst_panelitem.moc"
