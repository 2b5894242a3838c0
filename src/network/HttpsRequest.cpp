#include "network/HttpsRequest.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

HttpsRequest::HttpsRequest(QNetworkAccessManager* network, QUrl url, Options options, QObject* parent)
    : QObject(parent)
    , m_network(network)
    , m_url(std::move(url))
    , m_options(std::move(options))
{
}

HttpsRequest::~HttpsRequest()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
    if (m_file && m_outcome != Outcome::Succeeded) {
        m_file->close();
        QFile::remove(m_options.destination); // a file opened from a descriptor has no name of its own
    }
}

QSslConfiguration HttpsRequest::tlsConfiguration()
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    // As OpenSSL's own tools do: either variable replaces the system's authorities.
    const QString certFile = qEnvironmentVariable("SSL_CERT_FILE");
    const QString certDir = qEnvironmentVariable("SSL_CERT_DIR");
    if (!certFile.isEmpty() || !certDir.isEmpty()) {
        QList<QSslCertificate> authorities;
        if (!certFile.isEmpty())
            authorities += QSslCertificate::fromPath(certFile, QSsl::Pem);
        for (const QString& directory : certDir.split(u':', Qt::SkipEmptyParts)) {
            const QFileInfoList files = QDir(directory).entryInfoList(QDir::Files);
            for (const QFileInfo& file : files)
                authorities += QSslCertificate::fromPath(file.filePath(), QSsl::Pem);
        }
        tls.setCaCertificates(authorities);
    }
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    return tls;
}

void HttpsRequest::start()
{
    if (m_url.scheme() != u"https"_s || m_url.host().isEmpty()) {
        QTimer::singleShot(
            0, this, [this] { finish(Outcome::NotHttps, u"%1 is not an https address."_s.arg(m_url.toString())); });
        return;
    }
    if (!m_options.destination.isEmpty()) {
        // A new file, never one that is there already nor what a link there leads to, written only
        // through this descriptor.
        const int fd = ::open(QFile::encodeName(m_options.destination).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        m_file = std::make_unique<QFile>(m_options.destination);
        if (fd < 0 || !m_file->open(fd, QIODevice::WriteOnly, QFile::AutoCloseHandle)) {
            const QString error
                = u"Could not write %1: %2"_s.arg(m_options.destination, QString::fromLocal8Bit(strerror(errno)));
            if (fd >= 0)
                ::close(fd);
            m_file.reset();
            QTimer::singleShot(0, this, [this, error] { finish(Outcome::FileError, error); });
            return;
        }
    }
    QNetworkRequest request(m_url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(static_cast<int>(m_options.timeout.count()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setSslConfiguration(m_options.tls.value_or(tlsConfiguration()));

    m_reply = m_network->get(request);
    // A body streamed to a file is held back at the socket while the file catches up, so that
    // what sits in memory stays small whatever the body's size.
    if (m_file)
        m_reply->setReadBufferSize(qint64(1) << 20);
    connect(m_reply, &QNetworkReply::redirected, this, [this](const QUrl& target) {
        if (target.scheme() == u"https"_s) {
            Q_EMIT m_reply->redirectAllowed();
            return;
        }
        // Never away from https: the answer would come unprotected.
        refuse(Outcome::NotHttps,
               u"%1 redirected to %2, which is not https."_s.arg(m_url.toString(), target.toString()));
    });
    connect(m_reply, &QNetworkReply::readyRead, this, &HttpsRequest::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &HttpsRequest::onFinished);
}

void HttpsRequest::refuse(Outcome outcome, const QString& error)
{
    m_refusal = {outcome, error};
    m_reply->abort();
}

void HttpsRequest::onReadyRead()
{
    if (m_refusal || !m_reply)
        return;
    // Never more than one byte past the cap is read: that byte tells that the body is too large.
    const QByteArray bytes
        = m_reply->read(std::min(m_reply->bytesAvailable(), m_options.maximumBytes + 1 - m_received));
    m_received += bytes.size();
    if (m_received > m_options.maximumBytes) {
        refuse(Outcome::TooLarge,
               u"The answer from %1 is larger than %2 bytes."_s.arg(m_url.host()).arg(m_options.maximumBytes));
    } else if (!m_file) {
        m_body += bytes;
    } else if (m_file->write(bytes) != bytes.size()) {
        refuse(Outcome::FileError, u"Could not write %1: %2"_s.arg(m_options.destination, m_file->errorString()));
    }
}

void HttpsRequest::onFinished()
{
    QNetworkReply* reply = m_reply;
    reply->deleteLater();
    if (!m_refusal && reply->error() == QNetworkReply::NoError)
        onReadyRead();
    m_reply = nullptr;
    m_status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_refusal)
        finish(m_refusal->first, m_refusal->second);
    else if (reply->error() != QNetworkReply::NoError && m_status == 0)
        finish(Outcome::NetworkError, reply->errorString());
    else if (m_status < 200 || m_status >= 300)
        finish(Outcome::HttpError, u"%1 answered with status %2."_s.arg(m_url.host()).arg(m_status));
    else if (reply->error() != QNetworkReply::NoError)
        finish(Outcome::NetworkError, reply->errorString());
    else
        finish(Outcome::Succeeded);
}

void HttpsRequest::finish(Outcome outcome, const QString& error)
{
    m_outcome = outcome;
    m_error = error;
    if (m_file) {
        m_file->close();
        if (outcome != Outcome::Succeeded)
            QFile::remove(m_options.destination);
    }
    // From the event loop: whoever hears it may destroy the request, which must not be on the stack then.
    QMetaObject::invokeMethod(this, &HttpsRequest::finished, Qt::QueuedConnection);
}
