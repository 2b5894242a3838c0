#include "network/HostnameModel.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

class TestHostnameModel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void shortName_data()
    {
        QTest::addColumn<QString>("hostName");
        QTest::addColumn<QString>("expected");
        QTest::newRow("several labels") << u"mac.example.com"_s << u"mac"_s;
        QTest::newRow(".local suffix") << u"studio.local"_s << u"studio"_s;
        QTest::newRow("no dot") << u"studio"_s << u"studio"_s;
        QTest::newRow("empty") << u""_s << u""_s;
        QTest::newRow("leading dot") << u".hidden"_s << u""_s;
        QTest::newRow("digits and dots are cut like any name") << u"10.0.0.5"_s << u"10"_s;
        QTest::newRow("trailing dot") << u"studio."_s << u"studio"_s;
    }
    void shortName()
    {
        QFETCH(QString, hostName);
        QFETCH(QString, expected);
        QCOMPARE(HostnameModel::shortName(hostName), expected);
        HostnameModel model([&] { return hostName; }, [](const QString&) { return QString(); });
        QCOMPARE(model.fullName(), hostName);
        QCOMPARE(model.shortName(), expected);
    }

    void canonicalNameIsUsedOnlyForTheHostItWasResolvedFor()
    {
        QString kernelName = u"studio"_s;
        HostnameModel model([&] { return kernelName; }, [](const QString& name) { return name + u".example.com"_s; });
        QCOMPARE(model.fullName(), u"studio"_s); // nothing resolved yet: reading never waits
        QSignalSpy resolved(&model, &HostnameModel::resolved);
        model.resolve();
        QVERIFY(resolved.wait(5000));
        QCOMPARE(model.fullName(), u"studio.example.com"_s);
        QCOMPARE(model.shortName(), u"studio"_s);

        kernelName = u"renamed"_s; // the machine was renamed since the last resolution
        QCOMPARE(model.fullName(), u"renamed"_s);
    }

    void failedResolutionKeepsTheKernelName()
    {
        HostnameModel model([] { return u"box"_s; }, [](const QString&) { return QString(); });
        QSignalSpy resolved(&model, &HostnameModel::resolved);
        model.resolve();
        QVERIFY(resolved.wait(5000));
        QCOMPARE(model.fullName(), u"box"_s);
    }

    void modelGoneBeforeResolutionEnds()
    {
        auto model = std::make_unique<HostnameModel>([] { return u"slow"_s; },
                                                     [](const QString& name) {
                                                         QThread::msleep(200);
                                                         return name + u".lan"_s;
                                                     });
        model->resolve();
        model.reset();
        QTest::qWait(400); // the late result must find nobody and do nothing
    }
};

QTEST_GUILESS_MAIN(TestHostnameModel)
#include "tst_hostnamemodel.moc"
