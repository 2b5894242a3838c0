#include "app/MenubarIcon.h"
#include "app/TavrinkApp.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestMenubarIcon : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void labelText_data()
    {
        QTest::addColumn<bool>("showHostname");
        QTest::addColumn<bool>("useFQDN");
        QTest::addColumn<QString>("expected");
        QTest::newRow("fresh settings: short name") << true << false << u"studio"_s;
        QTest::newRow("fully qualified") << true << true << u"studio.local"_s;
        QTest::newRow("icon, whatever useFQDN says") << false << true << u""_s;
        QTest::newRow("icon with short name setting") << false << false << u""_s;
    }
    void labelText()
    {
        QFETCH(bool, showHostname);
        QFETCH(bool, useFQDN);
        QFETCH(QString, expected);
        QCOMPARE(TavrinkApp::labelText(showHostname, useFQDN, u"studio.local"_s, u"studio"_s), expected);
    }

    void representations_data()
    {
        QTest::addColumn<QList<int>>("pixelSizes"); // for 1x, 2x, 3x; 0: file absent, -1: not a PNG
        QTest::addColumn<QList<int>>("pointSides");
        QTest::newRow("all three") << QList<int>{18, 36, 54} << QList<int>{18, 18, 18};
        QTest::newRow("only @2x") << QList<int>{0, 36, 0} << QList<int>{18};
        QTest::newRow("odd width rounds down") << QList<int>{0, 37, 0} << QList<int>{18};
        QTest::newRow("none present") << QList<int>{0, 0, 0} << QList<int>{};
        QTest::newRow("undecodable file skipped") << QList<int>{-1, 36, 0} << QList<int>{18};
    }
    void representations()
    {
        QFETCH(QList<int>, pixelSizes);
        QFETCH(QList<int>, pointSides);
        QTemporaryDir dir;
        const QStringList names{u"MenubarIconTemplate.png"_s, u"MenubarIconTemplate@2x.png"_s,
                                u"MenubarIconTemplate@3x.png"_s};
        for (int i = 0; i < 3; ++i) {
            if (pixelSizes[i] > 0) {
                QImage image(pixelSizes[i], pixelSizes[i], QImage::Format_ARGB32);
                image.fill(Qt::black);
                QVERIFY(image.save(dir.filePath(names[i])));
            } else if (pixelSizes[i] < 0) {
                QFile junk(dir.filePath(names[i]));
                QVERIFY(junk.open(QIODevice::WriteOnly));
                junk.write("not a png");
            }
        }
        QList<int> sides;
        for (const QImage& image : MenubarIcon::load(dir.path()))
            sides << MenubarIcon::pointSize(image).width();
        QCOMPARE(sides, pointSides);
    }

    void shippedArtwork()
    {
        const QList<QImage> icon = MenubarIcon::load(qEnvironmentVariable("TAVRINK_SOURCE") + u"/resources/share"_s);
        QCOMPARE(icon.size(), 3);
        for (const QImage& image : icon) {
            QCOMPARE(MenubarIcon::pointSize(image), QSize(18, 18));
            QVERIFY(image.hasAlphaChannel());
        }
    }
};

QTEST_GUILESS_MAIN(TestMenubarIcon)
#include "tst_menubaricon.moc"
