// What an update brings on disk, treated as hostile: archives made at test time by Python's
// zipfile, unpacked for real by libarchive; bundle signatures checked against the minisign
// command as an independent implementation, both ways.

#include "TestSupport.h"
#include "updatehelper/Confinement.h"
#include "verify/ArchiveUnpacker.h"
#include "verify/CodeSignature.h"
#include "verify/Minisign.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// The entries of an archive in make_zip.py's JSON, written single-quoted for the tables.
QByteArray entries(const char* text)
{
    return QByteArray(text).replace('\'', '"');
}

bool makeZip(const QString& path, const QByteArray& json)
{
    QProcess python;
    python.start(u"python3"_s, {qEnvironmentVariable("TAVRINK_SOURCE") + u"/tests/util/make_zip.py"_s, path});
    python.write(json);
    python.closeWriteChannel();
    return python.waitForFinished(30000) && python.exitCode() == 0;
}

// Every path under the folder, relative, with "/" after folders and "@" before link targets.
QStringList tree(const QString& folder)
{
    QStringList paths;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QString relative = QDir(folder).relativeFilePath(info.filePath());
        paths << (info.isSymLink()   ? relative + u'@' + info.symLinkTarget().section(u'/', -1)
                      : info.isDir() ? relative + u'/'
                                     : relative);
    }
    paths.sort();
    return paths;
}

int modeOf(const QString& path)
{
    struct stat info { };
    return lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

// A small bundle: a folder, an executable, a resource and a link between them.
void makeBundle(const QString& bundle, const QString& version = u"1.1"_s)
{
    QVERIFY(writeFile(bundle + u"/Info.json"_s, R"({"CFBundleShortVersionString": ")" + version.toUtf8() + "\"}"));
    QVERIFY(writeFile(bundle + u"/bin/tavrink"_s, "#!/bin/sh\necho tavrink\n"));
    QVERIFY(QFile::setPermissions(bundle + u"/bin/tavrink"_s,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                      | QFile::ExeGroup));
    QVERIFY(writeFile(bundle + u"/share/icon 1.png"_s, QByteArray(3000, 'p')));
    QVERIFY(QFile::link(u"icon 1.png"_s, bundle + u"/share/icon.png"_s));
}

} // namespace

class TestUpdateFiles : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_work;

    // A key pair made by the minisign command, and one made here.
    QString m_theirKey;
    QString m_theirPub;
    QString m_ownKey;

private Q_SLOTS:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(u"python3"_s).isEmpty()
            || QStandardPaths::findExecutable(u"minisign"_s).isEmpty())
            QSKIP("python3 and minisign are needed (the test command installs them)");
        m_theirKey = m_dir.filePath(u"minisign.key"_s);
        m_theirPub = m_dir.filePath(u"minisign.pub"_s);
        const auto [status, output] = runCommand(u"minisign -G -W -p '%1' -s '%2'"_s.arg(m_theirPub, m_theirKey));
        QVERIFY2(status == 0, qPrintable(output));
        m_ownKey = m_dir.filePath(u"own.key"_s);
        QVERIFY(writeFile(m_ownKey, Minisign::generateSecretKey()));
    }
    void init()
    {
        QTest::failOnWarning(QRegularExpression(u".*"_s));
        m_work = m_dir.filePath(QString::fromUtf8(QTest::currentTestFunction()) + u'-'
                                + QString::fromUtf8(QTest::currentDataTag()).replace(u' ', u'-'));
    }

    void unpacks_data()
    {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<QStringList>("unpacked"); // empty: refused, and nothing outside the folder
        QTest::newRow("a bundle with a link inside")
            << entries("[{'name':'Tavrink.app/bin/tavrink','data':'x','mode':493},"
                       "{'name':'Tavrink.app/share/','dir':true},{'name':'Tavrink.app/share/a','data':'a'},"
                       "{'name':'Tavrink.app/share/b','link':'a'},{'name':'Tavrink.app/bin/up','link':'../share'}]")
            << QStringList{u"Tavrink.app/"_s,
                           u"Tavrink.app/bin/"_s,
                           u"Tavrink.app/bin/tavrink"_s,
                           u"Tavrink.app/bin/up@share"_s,
                           u"Tavrink.app/share/"_s,
                           u"Tavrink.app/share/a"_s,
                           u"Tavrink.app/share/b@a"_s};
        QTest::newRow("dot-dot") << entries("[{'name':'Tavrink.app/../../escaped','data':'x'}]") << QStringList();
        QTest::newRow("absolute path") << entries("[{'name':'/tmp/escaped','data':'x'}]") << QStringList();
        QTest::newRow("a dot component") << entries("[{'name':'Tavrink.app/./a','data':'x'}]") << QStringList();
        QTest::newRow("link to an absolute place")
            << entries("[{'name':'Tavrink.app/etc','link':'/etc'}]") << QStringList();
        QTest::newRow("link out by dot-dot")
            << entries("[{'name':'Tavrink.app/up','link':'../../..'}]") << QStringList();
        QTest::newRow("chained links out")
            << entries("[{'name':'a/one','link':'two'},{'name':'a/two','link':'../three'},"
                       "{'name':'three','link':'..'}]")
            << QStringList();
        QTest::newRow("a file written through a link")
            << entries("[{'name':'a/out','link':'../..'},{'name':'a/out/escaped','data':'x'}]") << QStringList();
        QTest::newRow("a link that leads nowhere") << entries("[{'name':'a/b','link':'missing'}]") << QStringList();
        QTest::newRow("a name twice") << entries("[{'name':'a','data':'one'},{'name':'a','data':'two'}]")
                                      << QStringList();
        QTest::newRow("a file, then a folder of the same name")
            << entries("[{'name':'a','data':'x'},{'name':'a/b','data':'y'}]") << QStringList();
        QTest::newRow("entries over the cap")
            << entries("[{'name':'a'},{'name':'b'},{'name':'c'},{'name':'d'},{'name':'e'},{'name':'f'}]")
            << QStringList();
        QTest::newRow("inflates over the cap") << entries("[{'name':'a','zeros':1048577}]") << QStringList();
        QTest::newRow("at the cap") << entries("[{'name':'a','zeros':1048576}]") << QStringList{u"a"_s};
        QTest::newRow("a damaged entry") << entries("[{'name':'a','zeros':5000,'damaged':true}]") << QStringList();
    }
    void unpacks()
    {
        QFETCH(QByteArray, archive);
        QFETCH(QStringList, unpacked);
        const QString zip = m_work + u".zip"_s;
        QVERIFY(makeZip(zip, archive));
        const QString work = QDir(m_dir.path()).relativeFilePath(m_work) + u'/';
        const auto outside = [this, &work] {
            QStringList paths = tree(m_dir.path());
            paths.removeIf([&work](const QString& p) { return p.startsWith(work); });
            return paths;
        };
        const QStringList before = outside();
        const auto error = ArchiveUnpacker::unpack(zip, m_work, {5, 1 << 20});
        QVERIFY2(error.has_value() == unpacked.isEmpty(), qPrintable(error.value_or(u"unpacked"_s)));
        QCOMPARE(modeOf(m_work) & 077, 0);
        QCOMPARE(outside(), before); // nothing written beside the folder
        if (!unpacked.isEmpty())
            QCOMPARE(tree(m_work), unpacked);
    }

    void unpackingMasksModes()
    {
        QVERIFY(makeZip(m_work + u".zip"_s,
                        entries("[{'name':'suid','data':'x','mode':3565},"
                                "{'name':'open','data':'x','mode':511},"
                                "{'name':'locked/','dir':true,'mode':365},"
                                "{'name':'locked/in','data':'x'}]")));
        QCOMPARE(ArchiveUnpacker::unpack(m_work + u".zip"_s, m_work), std::nullopt);
        QCOMPARE(modeOf(m_work + u"/suid"_s), 0755); // 06755 without its set-id bits
        QCOMPARE(modeOf(m_work + u"/open"_s), 0755);
        QCOMPARE(modeOf(m_work + u"/locked"_s), 0555); // still filled before it was locked
        QCOMPARE(readFile(m_work + u"/locked/in"_s), QByteArray("x"));
    }

    void minisignSignaturesVerifyBothWays()
    {
        const QString file = m_dir.filePath(u"CodeResources"_s);
        QVERIFY(writeFile(file, "tavrink-code-resources 1\nf 0644 1 abc Info.json\n"));
        // minisign's signature verifies here…
        const auto [signStatus, signOutput]
            = runCommand(u"minisign -S -s '%1' -m '%2' -t 'made by minisign'"_s.arg(m_theirKey, file));
        QVERIFY2(signStatus == 0, qPrintable(signOutput));
        const auto theirKey = Minisign::parsePublicKey(readFile(m_theirPub));
        QVERIFY(theirKey);
        QVERIFY(Minisign::verify(*theirKey, readFile(file), readFile(file + u".minisig"_s)));
        // …and ours, made with minisign's secret key, verifies with minisign -V.
        const auto secret = Minisign::parseSecretKey(readFile(m_theirKey));
        QVERIFY(std::holds_alternative<Minisign::SecretKey>(secret));
        QVERIFY(writeFile(file + u".minisig"_s,
                          Minisign::sign(std::get<Minisign::SecretKey>(secret), readFile(file), u"made by tavrink"_s)));
        const auto [status, output] = runCommand(u"minisign -V -p '%1' -m '%2'"_s.arg(m_theirPub, file));
        QVERIFY2(status == 0 && output.contains(u"made by tavrink"_s), qPrintable(output));
    }

    void encryptedSecretKeys()
    {
        const QString key = m_dir.filePath(u"encrypted.key"_s);
        const QString pub = m_dir.filePath(u"encrypted.pub"_s);
        const auto [status, output]
            = runCommand(u"printf 'pass word\\npass word\\n' | minisign -G -p '%1' -s '%2'"_s.arg(pub, key), 120000);
        QVERIFY2(status == 0, qPrintable(output));
        QVERIFY(std::holds_alternative<QString>(Minisign::parseSecretKey(readFile(key))));
        QVERIFY(std::holds_alternative<QString>(Minisign::parseSecretKey(readFile(key), "pass Word")));
        const auto opened = Minisign::parseSecretKey(readFile(key), "pass word");
        QVERIFY(std::holds_alternative<Minisign::SecretKey>(opened));
        const QByteArray signature = Minisign::sign(std::get<Minisign::SecretKey>(opened), "data", u"c"_s);
        QVERIFY(Minisign::verify(*Minisign::parsePublicKey(readFile(pub)), "data", signature));
    }

    void signatureMatrix_data()
    {
        QTest::addColumn<QString>("tamper"); // a shell command run in the signed bundle
        // The pinned key is the only one that counts: signer.pub is not trusted, nor needed.
        QTest::newRow("untouched") << QString();
        QTest::newRow("another key in signer.pub") << u"cp \"$OTHER_PUB\" _CodeSignature/signer.pub"_s;
        QTest::newRow("a file edited") << u"printf x >> bin/tavrink"_s;
        QTest::newRow("a file added") << u"echo x > share/extra"_s;
        QTest::newRow("an empty folder added") << u"mkdir share/empty"_s;
        QTest::newRow("a file removed") << u"rm 'share/icon 1.png'"_s;
        QTest::newRow("a mode changed") << u"chmod 0755 Info.json"_s;
        QTest::newRow("a link retargeted") << u"ln -sfn ../bin/tavrink share/icon.png"_s;
        QTest::newRow("CodeResources edited") << u"sed -i 's/tavrink$/tavrinK/' _CodeSignature/CodeResources"_s;
        QTest::newRow("the trusted comment edited")
            << u"sed -i '3s/.*/trusted comment: version 9.9/' _CodeSignature/CodeResources.minisig"_s;
        QTest::newRow("re-signed by another key") << u"minisign -S -s \"$OTHER_KEY\" -m _CodeSignature/CodeResources "
                                                     "-x _CodeSignature/CodeResources.minisig"_s;
        QTest::newRow("the legacy Ed form") << u"minisign -S -l -s \"$OWN_KEY\" -m _CodeSignature/CodeResources "
                                               "-x _CodeSignature/CodeResources.minisig"_s;
        QTest::newRow("a file beside the signature") << u"touch _CodeSignature/notes"_s;
        QTest::newRow("signature missing") << u"rm _CodeSignature/CodeResources.minisig"_s;
    }
    void signatureMatrix()
    {
        QFETCH(QString, tamper);
        const QString bundle = m_work + u"/Tavrink.app"_s;
        makeBundle(bundle);
        const auto key = std::get<Minisign::SecretKey>(Minisign::parseSecretKey(readFile(m_ownKey)));
        QCOMPARE(CodeSignature::sign(bundle, key, u"Tavrink 1.1"_s), std::nullopt);
        const auto [status, output]
            = runCommand(u"cd '%1' && OWN_KEY='%2' OTHER_KEY='%3' OTHER_PUB='%4' sh -c '%5'"_s.arg(
                bundle, m_ownKey, m_theirKey, m_theirPub, QString(tamper).replace(u"'"_s, u"'\\''"_s)));
        QVERIFY2(status == 0, qPrintable(output));
        using Reason = CodeSignature::Refusal::Reason;
        const auto refusal = CodeSignature::verify(bundle, key.publicKey());
        if (tamper.isEmpty() || tamper.contains(u"signer.pub"_s)) {
            QVERIFY2(!refusal, qPrintable(refusal ? refusal->detail : QString()));
            // A whole bundle signed by the maker is still refused by a copy that pins another key.
            const auto foreign = CodeSignature::verify(bundle, *Minisign::parsePublicKey(readFile(m_theirPub)));
            QVERIFY(foreign && foreign->reason == Reason::OtherSigner);
        } else {
            QVERIFY2(refusal, "a tampered bundle verified");
            QCOMPARE(refusal->reason, tamper.contains(u"OTHER_KEY"_s) ? Reason::OtherSigner : Reason::Invalid);
        }
    }

    void bundlesThatCannotBeSigned_data()
    {
        QTest::addColumn<QString>("setup"); // run in the bundle
        QTest::newRow("a link to an absolute place") << u"ln -s /etc share/etc"_s;
        QTest::newRow("a link out by dot-dot") << u"ln -s ../.. share/up"_s;
        QTest::newRow("chained links out") << u"ln -s two share/one && ln -s ../.. share/two"_s;
        QTest::newRow("a link that leads nowhere") << u"ln -s missing share/gone"_s;
        QTest::newRow("a fifo") << u"mkfifo share/pipe"_s;
    }
    void bundlesThatCannotBeSigned()
    {
        QFETCH(QString, setup);
        const QString bundle = m_work + u"/Tavrink.app"_s;
        makeBundle(bundle);
        QCOMPARE(runCommand(u"cd '%1' && %2"_s.arg(bundle, setup)).first, 0);
        const auto key = std::get<Minisign::SecretKey>(Minisign::parseSecretKey(readFile(m_ownKey)));
        QVERIFY(CodeSignature::sign(bundle, key, u"Tavrink 1.1"_s).has_value());
        QVERIFY(std::holds_alternative<QString>(CodeSignature::resources(bundle)));
    }

    void secretKeysThatCannotSign_data()
    {
        QTest::addColumn<QByteArray>("text");
        const QByteArray good = Minisign::generateSecretKey();
        QByteArray flipped = QByteArray::fromBase64(good.split('\n').at(1));
        flipped[60] = char(flipped[60] ^ 1);
        QTest::newRow("a byte flipped") << "untrusted comment: x\n" + flipped.toBase64() + '\n';
        QTest::newRow("a public key") << Minisign::formatPublicKey(
            std::get<Minisign::SecretKey>(Minisign::parseSecretKey(good)).publicKey());
        QTest::newRow("not base64") << QByteArray("untrusted comment: x\n!!!\n");
    }
    void secretKeysThatCannotSign()
    {
        QFETCH(QByteArray, text);
        QVERIFY(std::holds_alternative<QString>(Minisign::parseSecretKey(text)));
    }

    // The update helper's confinement, in a child process: it writes beneath the allowed folder
    // only (it neither makes, changes nor truncates a file outside), and opens no network socket.
    void theHelpersConfinementHolds()
    {
        const QString allowed = m_dir.filePath(u"allowed"_s);
        const QString outside = m_dir.filePath(u"outside"_s);
        const QByteArray existing = QFile::encodeName(outside + u"/existing"_s);
        QVERIFY(QDir().mkpath(allowed) && writeFile(outside + u"/existing"_s, "kept"));
        const auto canCreate = [](const QString& path) {
            const int fd = open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
            return fd >= 0 && close(fd) == 0;
        };
        const pid_t child = fork();
        if (child == 0) {
            if (const auto why = Confinement::confine({allowed}))
                _exit(why->contains(u"Landlock"_s) ? 100 : 101);
            const int inet = socket(AF_INET, SOCK_STREAM, 0);
            const int local = socket(AF_UNIX, SOCK_STREAM, 0);
            // Truncating is a right of its own from Landlock's third version (Linux 6.2) on.
            const bool canTruncate = syscall(SYS_landlock_create_ruleset, nullptr, 0, 1U) < 3;
            const bool isRefused = !canCreate(outside + u"/planted"_s) && errno == EACCES
                && mkdir(QFile::encodeName(outside + u"/folder"_s).constData(), 0700) != 0
                && open(existing.constData(), O_WRONLY | O_APPEND) < 0
                && (canTruncate || truncate(existing.constData(), 0) != 0);
            _exit((canCreate(allowed + u"/file"_s) ? 0 : 1) | (isRefused ? 0 : 2)
                  | (inet < 0 && errno == EACCES ? 0 : 4) | (local >= 0 ? 0 : 8));
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        if (WEXITSTATUS(status) == 100)
            QSKIP("this kernel has no Landlock");
        QCOMPARE(WEXITSTATUS(status), 0);
        QVERIFY(QFile::exists(allowed + u"/file"_s));
        QCOMPARE(QDir(outside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{u"existing"_s});
        QCOMPARE(readFile(outside + u"/existing"_s), QByteArray("kept"));
    }
};

QTEST_GUILESS_MAIN(TestUpdateFiles)
#include "tst_updatefiles.moc"
