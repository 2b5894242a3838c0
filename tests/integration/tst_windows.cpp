// The settings and about windows on an X server of their own, with the application around them.

#include "Fakes.h"
#include "TestSupport.h"
#include "TestWindows.h"
#include "app/TavrinkApp.h"
#include "bundle/BundleInfo.h"
#include "gui/AboutView.h"
#include "gui/SettingsView.h"
#include "settings/DefaultsStore.h"
#include "settings/SettingsKey.h"

#include <QCheckBox>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using Status = LoginItemService::Status;

class TestWindows : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    FakeNetwork m_network;
    FakeClipboard m_clipboard;
    FakeStatusItem m_item;
    FakeLoginItemService m_loginItems;
    ScriptedAlertPresenter m_alerts;
    std::unique_ptr<DefaultsStore> m_settings;
    std::unique_ptr<HostnameModel> m_hostname;
    std::unique_ptr<TavrinkApp> m_app;

    SettingsView* settingsView()
    {
        m_app->openSettingsWindow();
        const QList<QWidget*> found = visibleWindows(u"tavrink.settings"_s);
        return found.size() == 1 ? qobject_cast<SettingsView*>(found.first()) : nullptr;
    }

private Q_SLOTS:
    void init()
    {
        QTest::failOnWarning(QRegularExpression(u".*"_s));
        QFile::remove(m_dir.filePath(u"Tavrink.conf"_s));
        m_loginItems = FakeLoginItemService();
        m_alerts = ScriptedAlertPresenter();
        m_settings = std::make_unique<DefaultsStore>(m_dir.filePath(u"Tavrink.conf"_s));
        m_hostname = fakeHostname(u"studio.example.com"_s);
        m_app = std::make_unique<TavrinkApp>(TavrinkApp::Parts{
            *m_settings, *m_hostname, m_item, m_clipboard, m_loginItems, m_alerts,
            [this] { return m_network.makeModel(); }, qEnvironmentVariable("TAVRINK_BUNDLE") + u"/share"_s});
        m_app->start();
    }

    void cleanup() { m_app.reset(); }

    void switchesShowAndWriteTheSettings()
    {
        SettingsView* view = settingsView();
        QVERIFY(view);
        const auto states = [view] {
            return QList<bool>{view->showHostnameSwitch()->isChecked(),  view->useFQDNSwitch()->isChecked(),
                               view->showLocalSwitch()->isChecked(),     view->showVirtualSwitch()->isChecked(),
                               view->launchAtLoginSwitch()->isChecked(), view->notifyChangeSwitch()->isChecked()};
        };
        QCOMPARE(states(), (QList<bool>{true, false, true, true, false, false})); // empty defaults
        // While no panel shows the item the window says so, and offers no switch for the panel.
        for (const bool isSeen : {false, true}) {
            m_item.setSeen(isSeen);
            QCOMPARE(view->unseenWarning()->isVisible(), !isSeen);
            QCOMPARE(view->showHostnameSwitch()->isVisible(), isSeen);
        }
        QVERIFY(!QFile::exists(m_dir.filePath(u"Tavrink.conf"_s)));
        view->showVirtualSwitch()->click();
        QCOMPARE(m_settings->boolValue(SettingsKey::showVirtualNetworks, true), false);
        view->notifyChangeSwitch()->click();
        QCOMPARE(m_settings->boolValue(SettingsKey::notifyPublicAddressChange, false), true);
        view->lookUpPublicSwitch()->click();
        QVERIFY(!view->notifyChangeSwitch()->isEnabled()); // nothing to announce while nothing is looked up
        view->showHostnameSwitch()->click();
        view->useFQDNSwitch()->click(); // while the hostname is hidden the preview still follows
        view->showLocalSwitch()->click();
        QVERIFY(!view->showVirtualSwitch()->isEnabled()); // nothing to hide while no local address shows
        QCOMPARE(view->hostnamePreview(), u"studio.example.com"_s);
        QCOMPARE(m_settings->boolValue(SettingsKey::showHostnameInBar, true), false);
        QCOMPARE(m_settings->boolValue(SettingsKey::showLocalAddresses, true), false);
        m_settings->setValue(SettingsKey::useFQDN, false); // changed elsewhere
        QCOMPARE(states(), (QList<bool>{false, false, false, false, false, true}));
        QCOMPARE(view->hostnamePreview(), u"studio"_s);
    }

    void launchAtLoginShowsWhatTheSystemEndedIn()
    {
        m_loginItems.failure = u"Could not write /home/me/.config/autostart: Permission denied."_s;
        SettingsView* view = settingsView();
        view->launchAtLoginSwitch()->click();
        QVERIFY(!view->launchAtLoginSwitch()->isChecked());
        QCOMPARE(m_alerts.presented.size(), 1);
        QCOMPARE(m_alerts.presented.first().message, u"Could not change Launch at Login"_s);
        QCOMPARE(m_alerts.presented.first().informativeText, *m_loginItems.failure);

        m_loginItems.failure.reset();
        view->launchAtLoginSwitch()->click();
        QVERIFY(view->launchAtLoginSwitch()->isChecked());
        view->close();
        m_loginItems.current = Status::NotRegistered; // changed while the window was closed
        view = settingsView();
        QVERIFY(!view->launchAtLoginSwitch()->isChecked());
        QCOMPARE(m_alerts.presented.size(), 1);
    }

    void versionLines_data()
    {
        QTest::addColumn<QString>("info"); // empty: no Info.json at all
        QTest::addColumn<QString>("expected");
        QTest::newRow("both") << uR"({"CFBundleShortVersionString":"1.4","CFBundleVersion":"27"})"_s
                              << u"Version 1.4 (27)"_s;
        QTest::newRow("build not a string")
            << uR"({"CFBundleShortVersionString":"2.0","CFBundleVersion":27})"_s << u"Version 2.0 (?)"_s;
        QTest::newRow("not JSON") << u"garbage"_s << u"Version ? (?)"_s;
        QTest::newRow("no Info.json") << QString() << u"Version ? (?)"_s;
    }
    void versionLines()
    {
        QFETCH(QString, info);
        QFETCH(QString, expected);
        QTemporaryDir bundle;
        QVERIFY(info.isEmpty() || writeFile(bundle.filePath(u"Info.json"_s), info.toUtf8()));
        const QString executable = bundle.filePath(u"bin/tavrink"_s);
        const QString line
            = BundleInfo::versionLine(BundleInfo::infoString(u"CFBundleShortVersionString"_s, executable),
                                      BundleInfo::infoString(u"CFBundleVersion"_s, executable));
        QCOMPARE(line, expected);
        QCOMPARE(AboutView({}, line).findChild<QLabel*>(u"version"_s)->text(), expected);
    }

    void oneFixedWindowOfEachKindKeptWhereItWas()
    {
        m_app->openSettingsWindow();
        m_app->openSettingsWindow();
        m_app->openAboutWindow();
        for (const auto& [id, title] : {std::pair{u"tavrink.settings"_s, u"Tavrink Settings"_s},
                                        std::pair{u"tavrink.about"_s, u"About Tavrink"_s}}) {
            QCOMPARE(visibleWindows(id).size(), 1);
            QWidget* window = visibleWindows(id).first();
            QCOMPARE(window->windowTitle(), title);
            QCOMPARE(window->minimumSize(), window->maximumSize());
            QVERIFY(window->windowFlags() & Qt::WindowCloseButtonHint);
            QVERIFY(!(window->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        }
        QWidget* settings = visibleWindows(u"tavrink.settings"_s).first();
        QCOMPARE(settings->size(), QSize(SettingsView::fixedWidth, SettingsView::fixedHeight));
        QWidget* about = visibleWindows(u"tavrink.about"_s).first();
        QCOMPARE(about->width(), AboutView::fixedWidth);
        const QList<QLabel*> labels = about->findChildren<QLabel*>();
        for (const QLabel* label : labels) { // the content fits the height made for it
            QVERIFY2(label->geometry().top() >= AboutView::margin - 1, qPrintable(label->text()));
            QVERIFY2(label->geometry().bottom() <= about->height() - AboutView::margin + 1, qPrintable(label->text()));
        }

        settings->move(settings->pos() + QPoint(40, 30));
        const QPoint moved = settings->pos();
        settings->close(); // closing hides; asking again brings the same window back where it was
        m_app->openSettingsWindow();
        QCOMPARE(visibleWindows(u"tavrink.settings"_s), QList<QWidget*>{settings});
        QCOMPARE(settings->pos(), moved);
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
