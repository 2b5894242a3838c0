#pragma once

#include "TestSupport.h"

#include <QSslCertificate>
#include <QSslKey>
#include <QTemporaryDir>

/// A certificate authority made at test time with the openssl command, a server identity for
/// 127.0.0.1 signed by it, and a self-signed identity that nothing trusts.
class TestCertificates {
public:
    struct Identity {
        QSslCertificate certificate;
        QSslKey key;
    };

    TestCertificates()
    {
        using namespace Qt::StringLiterals;
        const QString script = uR"(cd '%1' && set -e
key="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
san=subjectAltName=IP:127.0.0.1,IP:::1,DNS:localhost
echo "$san" >server.ext
openssl req -x509 $key -keyout ca.key -out ca.pem -days 2 -subj "/CN=Tavrink Test CA"
openssl req $key -keyout server.key -out server.csr -subj /CN=127.0.0.1
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem -days 2 -extfile server.ext
openssl req -x509 $key -keyout rogue.key -out rogue.pem -days 2 -subj /CN=127.0.0.1 -addext "$san")"_s;
        const auto [status, output] = runCommand(script.arg(m_dir.path()));
        m_error = status == 0 ? QString() : output;
    }

    bool isValid() const { return m_dir.isValid() && m_error.isEmpty(); }
    QString errorString() const { return m_error; }
    Identity trusted() const { return load(QStringLiteral("server")); }
    Identity untrusted() const { return load(QStringLiteral("rogue")); }
    /// Makes this process trust the authority, and nothing else, through SSL_CERT_FILE; false
    /// (errorString() says why) when the certificates could not be made.
    bool trustInThisProcess() const
    {
        if (!isValid())
            return false;
        qputenv("SSL_CERT_FILE", m_dir.filePath(QStringLiteral("ca.pem")).toUtf8());
        qunsetenv("SSL_CERT_DIR");
        return true;
    }

private:
    Identity load(const QString& name) const
    {
        return {QSslCertificate(readFile(m_dir.filePath(name + QStringLiteral(".pem")))),
                QSslKey(readFile(m_dir.filePath(name + QStringLiteral(".key"))), QSsl::Ec)};
    }

    QTemporaryDir m_dir;
    QString m_error;
};
