#include "TestCertificates.h"

#include <QFile>
#include <QProcess>

using namespace Qt::StringLiterals;

TestCertificates::TestCertificates()
{
    const QStringList ec{u"-newkey"_s, u"ec"_s, u"-pkeyopt"_s, u"ec_paramgen_curve:prime256v1"_s, u"-nodes"_s};
    const QString san = u"subjectAltName=IP:127.0.0.1,DNS:localhost"_s;
    QFile extensions(m_dir.filePath(u"server.ext"_s));
    m_isValid = m_dir.isValid() && extensions.open(QIODevice::WriteOnly) && extensions.write(san.toUtf8()) > 0;
    extensions.close();
    m_isValid = m_isValid
        && run(QStringList{u"req"_s, u"-x509"_s} + ec
               + QStringList{u"-keyout"_s, u"ca.key"_s, u"-out"_s, u"ca.pem"_s, u"-days"_s, u"2"_s, u"-subj"_s,
                             u"/CN=Tavrink Test CA"_s})
        && run(QStringList{u"req"_s} + ec
               + QStringList{u"-keyout"_s, u"server.key"_s, u"-out"_s, u"server.csr"_s, u"-subj"_s, u"/CN=127.0.0.1"_s})
        && run({u"x509"_s, u"-req"_s, u"-in"_s, u"server.csr"_s, u"-CA"_s, u"ca.pem"_s, u"-CAkey"_s, u"ca.key"_s,
                u"-CAcreateserial"_s, u"-out"_s, u"server.pem"_s, u"-days"_s, u"2"_s, u"-extfile"_s, u"server.ext"_s})
        && run(QStringList{u"req"_s, u"-x509"_s} + ec
               + QStringList{u"-keyout"_s, u"rogue.key"_s, u"-out"_s, u"rogue.pem"_s, u"-days"_s, u"2"_s, u"-subj"_s,
                             u"/CN=127.0.0.1"_s, u"-addext"_s, san});
}

bool TestCertificates::run(const QStringList& arguments)
{
    QProcess openssl;
    openssl.setWorkingDirectory(m_dir.path());
    openssl.start(u"openssl"_s, arguments);
    if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0) {
        m_error
            = u"openssl %1 failed: %2"_s.arg(arguments.join(u' '), QString::fromUtf8(openssl.readAllStandardError()));
        return false;
    }
    return true;
}

TestCertificates::Identity TestCertificates::load(const QString& name) const
{
    QFile certificate(m_dir.filePath(name + u".pem"_s));
    QFile key(m_dir.filePath(name + u".key"_s));
    if (!certificate.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly))
        return Identity();
    Identity identity;
    identity.certificate = QSslCertificate(&certificate, QSsl::Pem);
    identity.key = QSslKey(&key, QSsl::Ec, QSsl::Pem);
    return identity;
}

void TestCertificates::trustInThisProcess() const
{
    qputenv("SSL_CERT_FILE", authorityFile().toUtf8());
    qunsetenv("SSL_CERT_DIR");
}
