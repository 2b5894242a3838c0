#pragma once

#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QTemporaryDir>

/// A certificate authority made at test time with the openssl command, a server identity for
/// 127.0.0.1 signed by it, and a self-signed identity that nothing trusts.
class TestCertificates {
public:
    struct Identity {
        QSslCertificate certificate;
        QSslKey key;
    };

    TestCertificates();

    bool isValid() const { return m_isValid; }
    QString errorString() const { return m_error; }
    /// The CA certificate as a PEM file, for SSL_CERT_FILE.
    QString authorityFile() const { return m_dir.filePath(QStringLiteral("ca.pem")); }
    Identity trusted() const { return load(QStringLiteral("server")); }
    /// Makes this process trust the authority, and nothing else, through SSL_CERT_FILE.
    void trustInThisProcess() const;
    Identity untrusted() const { return load(QStringLiteral("rogue")); }

private:
    bool run(const QStringList& arguments);
    Identity load(const QString& name) const;

    QTemporaryDir m_dir;
    bool m_isValid = false;
    QString m_error;
};
