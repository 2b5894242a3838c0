// The maker's tools as the maker runs them: tavrink-sign and tavrink-release make a release
// that minisign accepts, and tavrink-release check gives each broken or hostile archive the
// message the application would show.

#include "Release.h"
#include "TestSupport.h"
#include "bundle/BundleInstaller.h"
#include "verify/Minisign.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kTools = qEnvironmentVariable("TAVRINK_TOOLS");

std::pair<int, QString> tool(const QString& name, const QStringList& arguments, const QString& folder = {})
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(kTools + u'/' + name, arguments);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()).trimmed()};
}

} // namespace

class TestRelease : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_key;
    QString m_pub;
    QString m_bundle;

    QString path(const QString& name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void initTestCase()
    {
        m_key = path(u"maker.key"_s);
        m_pub = path(u"maker.pub"_s);
        QVERIFY(writeFile(m_key, Minisign::generateSecretKey()));
        const auto key = std::get<Minisign::SecretKey>(Minisign::parseSecretKey(readFile(m_key)));
        QVERIFY(writeFile(m_pub, Minisign::formatPublicKey(key.publicKey())));
        m_bundle = path(u"build/Tavrink.app"_s);
        QVERIFY(writeFile(m_bundle + u"/Info.json"_s, "{\"CFBundleShortVersionString\": \"1.1\"}"));
        QVERIFY(writeFile(m_bundle + u"/bin/tavrink"_s, "#!/bin/sh\n"));
        QVERIFY(QFile::link(u"../bin/tavrink"_s, m_bundle + u"/share/tavrink"_s)
                || QDir().mkpath(m_bundle + u"/share"_s));
        QVERIFY(QFile::link(u"../bin/tavrink"_s, m_bundle + u"/share/tavrink"_s));
    }
    void init() { QTest::failOnWarning(QRegularExpression(u".*"_s)); }

    void makeWritesWhatMinisignAccepts()
    {
        const auto [status, output]
            = tool(u"tavrink-release"_s,
                   {u"make"_s, u"--key"_s, m_key, u"--url-base"_s, u"https://example.com/tavrink"_s, u"--out"_s,
                    u"out"_s, u"--bundle"_s, u"build/Tavrink.app"_s},
                   m_dir.path()); // paths relative to where the maker stands
        QVERIFY2(status == 0, qPrintable(output));
        QCOMPARE(readFile(path(u"out/appcast.json"_s)).simplified(),
                 QByteArray("{ \"url\": \"https://example.com/tavrink/Tavrink-1.1.zip\", \"version\": \"1.1\" }"));
        QVERIFY(!QFile::exists(m_bundle + u"/_CodeSignature"_s)); // the build tree is left as it was
        const QString zip = path(u"out/Tavrink-1.1.zip"_s);
        QCOMPARE(tool(u"tavrink-release"_s, {u"check"_s, u"--public-key"_s, m_pub, zip, u"--version"_s, u"1.1"_s}),
                 (std::pair{0, u"ok"_s}));
        const auto [unzipped, listing]
            = runCommand(u"cd '%1' && unzip -q '%2' && minisign -V -p '%3' -m Tavrink.app/_CodeSignature/CodeResources "
                         "&& test -L Tavrink.app/share/tavrink"_s.arg(path(u"out"_s), zip, m_pub));
        QVERIFY2(unzipped == 0, qPrintable(listing));
        const QString unpacked = path(u"out/Tavrink.app"_s);
        QCOMPARE(tool(u"tavrink-sign"_s, {u"verify"_s, u"--public-key"_s, m_pub, unpacked}), (std::pair{0, u"ok"_s}));
        QVERIFY(writeFile(
            path(u"other.pub"_s),
            Minisign::formatPublicKey(
                std::get<Minisign::SecretKey>(Minisign::parseSecretKey(Minisign::generateSecretKey())).publicKey())));
        QCOMPARE(tool(u"tavrink-sign"_s, {u"verify"_s, u"--public-key"_s, path(u"other.pub"_s), unpacked}),
                 (std::pair{1, u"signed by another key"_s}));
    }

    void checkGivesTheUsersMessage_data()
    {
        QTest::addColumn<QString>("breakage"); // a shell command run in a signed copy's folder
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("message");
        // The other refusals reach the user through the updater: tst_updatechecker's table.
        QTest::newRow("signed and whole") << QString() << u"1.1"_s << u"ok"_s;
        QTest::newRow("the bundle in a subfolder")
            << u"mkdir sub && mv Tavrink.app sub/ && python3 -c 'import shutil; shutil.make_archive(\"release\", "
               "\"zip\", \".\", \"sub\")'"_s
            << QString() << u"The update archive did not contain Tavrink.app."_s;
        QTest::newRow("a file edited after signing") << u"echo '#!/bin/sh\necho evil' > Tavrink.app/bin/tavrink"_s
                                                     << QString() << u"The update's code signature is invalid."_s;
    }
    void checkGivesTheUsersMessage()
    {
        QFETCH(QString, breakage);
        QFETCH(QString, version);
        QFETCH(QString, message);
        const QString work = path(QString::fromUtf8(QTest::currentDataTag()).replace(u' ', u'-'));
        QVERIFY(QDir().mkpath(work));
        QCOMPARE(BundleInstaller::copy(m_bundle, work + u"/Tavrink.app"_s), std::nullopt);
        QCOMPARE(tool(u"tavrink-sign"_s, {u"sign"_s, u"--key"_s, m_key, work + u"/Tavrink.app"_s}).first, 0);
        const auto [status, output]
            = runCommand(u"cd '%1' && TOOLS='%2' && %3"_s.arg(work, kTools, breakage.isEmpty() ? u"true"_s : breakage));
        QVERIFY2(status == 0, qPrintable(output));
        const QString zip = work + u"/release.zip"_s;
        if (!QFile::exists(zip))
            QCOMPARE(Release::zipBundle(work + u"/Tavrink.app"_s, zip), std::nullopt);
        QStringList arguments{u"check"_s, u"--public-key"_s, m_pub, zip};
        if (!version.isEmpty())
            arguments << u"--version"_s << version;
        QCOMPARE(tool(u"tavrink-release"_s, arguments), (std::pair{message == u"ok"_s ? 0 : 1, message}));
    }

    void badInvocationsSayHow_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::newRow("sign without a key") << u"tavrink-sign"_s << QStringList{u"sign"_s, u"Tavrink.app"_s} << 2;
        QTest::newRow("sign with a missing key")
            << u"tavrink-sign"_s << QStringList{u"sign"_s, u"--key"_s, u"/nonexistent"_s, u"Tavrink.app"_s} << 1;
        QTest::newRow("check without a key") << u"tavrink-release"_s << QStringList{u"check"_s, u"a.zip"_s} << 2;
        QTest::newRow("make to an http address")
            << u"tavrink-release"_s
            << QStringList{u"make"_s,  u"--key"_s, u"KEY"_s, u"--url-base"_s, u"http://example.com"_s,
                           u"--out"_s, u"out"_s}
            << 1;
        QTest::newRow("an unknown command") << u"tavrink-release"_s << QStringList{u"publish"_s} << 2;
    }
    void badInvocationsSayHow()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        arguments.replaceInStrings(u"KEY"_s, m_key);
        QCOMPARE(tool(name, arguments).first, status);
    }
};

QTEST_GUILESS_MAIN(TestRelease)
#include "tst_release.moc"
