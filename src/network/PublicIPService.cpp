#include "network/PublicIPService.h"

#include "network/IPAddress.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QSslCertificate>
#include <QTimer>

using namespace Qt::StringLiterals;

QString description(PublicIPError error)
{
    switch (error) {
    case PublicIPError::noValidResponse:
        break;
    }
    return u"No public IPv4 service returned a valid address."_s;
}

PublicIPService::PublicIPService(QNetworkAccessManager* network, QList<QUrl> endpoints,
                                 std::chrono::milliseconds timeout)
    : m_network(network)
    , m_endpoints(std::move(endpoints))
    , m_timeout(timeout)
    , m_tls(tlsConfiguration())
{
}

QList<QUrl> PublicIPService::defaultEndpoints()
{
    return {QUrl(u"https://api.ipify.org"_s), QUrl(u"https://ipv4.icanhazip.com"_s),
            QUrl(u"https://checkip.amazonaws.com"_s)};
}

QSslConfiguration PublicIPService::tlsConfiguration()
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
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

std::unique_ptr<PublicIPLookup> PublicIPService::fetch() const
{
    QList<QUrl> order = m_endpoints;
    QRandomGenerator* random = QRandomGenerator::system();
    for (qsizetype i = order.size() - 1; i > 0; --i)
        order.swapItemsAt(i, static_cast<qsizetype>(random->bounded(static_cast<quint64>(i + 1))));
    std::unique_ptr<PublicIPLookup> lookup(new PublicIPLookup(m_network, std::move(order), m_timeout, m_tls));
    // Started from the event loop, so that the caller is connected before anything can finish.
    QTimer::singleShot(0, lookup.get(), &PublicIPLookup::askNext);
    return lookup;
}

PublicIPLookup::PublicIPLookup(QNetworkAccessManager* network, QList<QUrl> order, std::chrono::milliseconds timeout,
                               QSslConfiguration tls)
    : m_network(network)
    , m_order(std::move(order))
    , m_timeout(timeout)
    , m_tls(std::move(tls))
{
}

PublicIPLookup::~PublicIPLookup()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

std::optional<PublicIPError> PublicIPLookup::error() const
{
    if (m_isFinished && !m_address)
        return PublicIPError::noValidResponse;
    return std::nullopt;
}

void PublicIPLookup::askNext()
{
    if (m_order.isEmpty()) {
        finish(std::nullopt);
        return;
    }
    QNetworkRequest request(m_order.takeFirst());
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(static_cast<int>(m_timeout.count()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setSslConfiguration(m_tls);

    m_body.clear();
    m_isOversized = false;
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::redirected, m_reply, [reply = m_reply](const QUrl& target) {
        // Never away from HTTPS.
        if (target.scheme() == u"https"_s)
            Q_EMIT reply->redirectAllowed();
        else
            reply->abort();
    });
    connect(m_reply, &QNetworkReply::readyRead, this, &PublicIPLookup::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &PublicIPLookup::onReplyFinished);
}

void PublicIPLookup::onReadyRead()
{
    if (m_isOversized)
        return;
    m_body += m_reply->read(PublicIPService::maximumReplyBytes + 1 - m_body.size());
    if (m_body.size() > PublicIPService::maximumReplyBytes) {
        m_isOversized = true;
        m_reply->abort();
    }
}

void PublicIPLookup::onReplyFinished()
{
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();
    if (!m_isOversized)
        m_body += reply->read(PublicIPService::maximumReplyBytes + 1 - m_body.size());

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool isAccepted = !m_isOversized && m_body.size() <= PublicIPService::maximumReplyBytes
        && reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
    if (isAccepted) {
        // Bytes that are not UTF-8 do not survive the round trip.
        const QString text = QString::fromUtf8(m_body);
        if (text.toUtf8() == m_body) {
            if (std::optional<QString> address = IPAddress::normalizedIPv4(text)) {
                finish(std::move(address));
                return;
            }
        }
    }
    // Each endpoint's failure is silent; only the last one decides.
    QTimer::singleShot(0, this, &PublicIPLookup::askNext);
}

void PublicIPLookup::finish(std::optional<QString> address)
{
    m_isFinished = true;
    m_address = std::move(address);
    Q_EMIT finished();
}
