// The settings and about windows on an X server of their own, with the application around them.

#include "FakeClipboard.h"
#include "FakeNetwork.h"
#include "Fakes.h"
#include "ScriptedAlertPresenter.h"
#include "app/TavrinkApp.h"
#include "gui/AboutView.h"
#include "gui/SettingsView.h"
#include "network/HostnameModel.h"
#include "network/NetworkStatusModel.h"
#include "settings/BundleInfo.h"
#include "settings/DefaultsStore.h"
#include "settings/SettingsKey.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
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

    static QList<QWidget*> windows(const QString& id)
    {
        QList<QWidget*> found;
        const QList<QWidget*> all = QApplication::topLevelWidgets();
        for (QWidget* window : all) {
            if (window->objectName() == id && window->isVisible())
                found.append(window);
        }
        return found;
    }

    SettingsView* settingsView()
    {
        m_app->openSettingsWindow();
        const QList<QWidget*> found = windows(u"tavrink.settings"_s);
        return found.size() == 1 ? qobject_cast<SettingsView*>(found.first()) : nullptr;
    }

private Q_SLOTS:
    void init()
    {
        QFile::remove(m_dir.filePath(u"Tavrink.conf"_s));
        m_loginItems = FakeLoginItemService();
        m_alerts = ScriptedAlertPresenter();
        m_settings = std::make_unique<DefaultsStore>(m_dir.filePath(u"Tavrink.conf"_s));
        m_hostname = std::make_unique<HostnameModel>([] { return u"studio.example.com"_s; },
                                                     [](const QString&) { return QString(); });
        m_app = std::make_unique<TavrinkApp>(TavrinkApp::Parts{
            *m_settings, *m_hostname, m_item, m_clipboard, m_loginItems, m_alerts,
            [this] { return m_network.makeModel(); }, qEnvironmentVariable("TAVRINK_SOURCE") + u"/resources/share"_s});
        m_app->start();
    }

    void cleanup() { m_app.reset(); }

    void emptyDefaultsShowOnOffOn()
    {
        SettingsView* view = settingsView();
        QVERIFY(view);
        QVERIFY(view->showHostnameSwitch()->isChecked());
        QVERIFY(!view->useFQDNSwitch()->isChecked());
        QVERIFY(view->showLocalSwitch()->isChecked());
        QVERIFY(!view->launchAtLoginSwitch()->isChecked());
        QVERIFY(!QFile::exists(m_dir.filePath(u"Tavrink.conf"_s)));
    }

    void switchesWriteTheSettingsAndThePanelFollows()
    {
        SettingsView* view = settingsView();
        QCOMPARE(m_item.label, u"studio"_s);
        view->showHostnameSwitch()->click();
        QCOMPARE(m_settings->boolValue(SettingsKey::showHostnameInBar, true), false);
        QTRY_COMPARE(m_item.label, QString());
        view->useFQDNSwitch()->click(); // flipped while the hostname is hidden: the preview still follows
        QCOMPARE(view->hostnamePreview(), u"studio.example.com"_s);
        view->showHostnameSwitch()->click();
        QTRY_COMPARE(m_item.label, u"studio.example.com"_s);
        view->useFQDNSwitch()->click();
        QCOMPARE(view->hostnamePreview(), u"studio"_s);
        view->showLocalSwitch()->click();
        QCOMPARE(m_settings->boolValue(SettingsKey::showLocalAddresses, true), false);
    }

    void switchesFollowChangesMadeElsewhere()
    {
        SettingsView* view = settingsView();
        m_settings->setValue(SettingsKey::useFQDN, true);
        QVERIFY(view->useFQDNSwitch()->isChecked());
        QCOMPARE(view->hostnamePreview(), u"studio.example.com"_s);
    }

    void launchAtLoginSpringsBackAfterAFailure()
    {
        m_loginItems.failure = u"Could not write /home/me/.config/autostart: Permission denied."_s;
        SettingsView* view = settingsView();
        view->launchAtLoginSwitch()->click();
        QVERIFY(!view->launchAtLoginSwitch()->isChecked());
        QCOMPARE(m_alerts.presented.size(), 1);
        QCOMPARE(m_alerts.presented.first().message, u"Could not change Launch at Login"_s);
        QCOMPARE(m_alerts.presented.first().informativeText, *m_loginItems.failure);
    }

    void launchAtLoginShowsWhatTheSystemHolds()
    {
        SettingsView* view = settingsView();
        view->launchAtLoginSwitch()->click();
        QVERIFY(view->launchAtLoginSwitch()->isChecked());
        QVERIFY(m_alerts.presented.isEmpty());

        view->close();
        m_loginItems.current = Status::NotRegistered; // changed elsewhere while the window was closed
        view = settingsView();
        QVERIFY(!view->launchAtLoginSwitch()->isChecked());
    }

    void approvalPendingShowsTheHint()
    {
        m_loginItems.afterRegistering = Status::RequiresApproval;
        SettingsView* view = settingsView();
        view->launchAtLoginSwitch()->click();
        QVERIFY(!view->launchAtLoginSwitch()->isChecked());
        QLabel* hint = nullptr;
        const QList<QLabel*> labels = view->findChildren<QLabel*>();
        for (QLabel* label : labels) {
            if (label->text() == u"Waiting for approval in System Settings › Login Items."_s)
                hint = label;
        }
        QVERIFY(hint && hint->isVisible());
    }

    void versionLines_data()
    {
        QTest::addColumn<QString>("info"); // empty: no Info.json at all
        QTest::addColumn<QString>("expected");
        QTest::newRow("both") << uR"({"CFBundleShortVersionString":"1.4","CFBundleVersion":"27"})"_s
                              << u"Version 1.4 (27)"_s;
        QTest::newRow("no build") << uR"({"CFBundleShortVersionString":"2.0"})"_s << u"Version 2.0 (?)"_s;
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
        QDir().mkpath(bundle.filePath(u"bin"_s));
        if (!info.isEmpty()) {
            QFile file(bundle.filePath(u"Info.json"_s));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(info.toUtf8());
        }
        const QString executable = bundle.filePath(u"bin/tavrink"_s);
        const QString line
            = BundleInfo::versionLine(BundleInfo::infoString(u"CFBundleShortVersionString"_s, executable),
                                      BundleInfo::infoString(u"CFBundleVersion"_s, executable));
        QCOMPARE(line, expected);
        AboutView about({}, line);
        QCOMPARE(about.findChild<QLabel*>(u"version"_s)->text(), expected);
    }

    void oneWindowOfEachKind()
    {
        m_app->openSettingsWindow();
        m_app->openSettingsWindow();
        QCOMPARE(windows(u"tavrink.settings"_s).size(), 1);
        QWidget* settings = windows(u"tavrink.settings"_s).first();
        QCOMPARE(settings->windowTitle(), u"Tavrink Settings"_s);

        m_app->openAboutWindow();
        QCOMPARE(windows(u"tavrink.about"_s).size(), 1);
        QCOMPARE(windows(u"tavrink.about"_s).first()->windowTitle(), u"About Tavrink"_s);

        settings->move(settings->pos() + QPoint(40, 30));
        const QPoint moved = settings->pos();
        settings->close(); // closing hides; asking again brings the same window back where it was
        m_app->openSettingsWindow();
        QCOMPARE(windows(u"tavrink.settings"_s), QList<QWidget*>{settings});
        QCOMPARE(settings->pos(), moved);
    }

    void windowsCannotBeResized()
    {
        m_app->openSettingsWindow();
        m_app->openAboutWindow();
        for (const QString& id : {u"tavrink.settings"_s, u"tavrink.about"_s}) {
            QWidget* window = windows(id).first();
            QCOMPARE(window->minimumSize(), window->maximumSize());
            const Qt::WindowFlags flags = window->windowFlags();
            QVERIFY(flags & Qt::WindowCloseButtonHint);
            QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        }
        QCOMPARE(windows(u"tavrink.settings"_s).first()->size(),
                 QSize(SettingsView::fixedWidth, SettingsView::fixedHeight));
        QCOMPARE(windows(u"tavrink.about"_s).first()->width(), AboutView::fixedWidth);
    }

    void aboutContentFitsItsHeight()
    {
        AboutView about(QImage(), u"Version 1.4 (27)"_s);
        about.show();
        const QList<QLabel*> labels = about.findChildren<QLabel*>();
        for (const QLabel* label : labels) {
            QVERIFY2(label->geometry().top() >= AboutView::margin - 1, qPrintable(label->text()));
            QVERIFY2(label->geometry().bottom() <= about.height() - AboutView::margin + 1, qPrintable(label->text()));
            QVERIFY(label->height() >= label->sizeHint().height() || label->wordWrap());
        }
        QCOMPARE(about.width(), AboutView::fixedWidth);
    }
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
