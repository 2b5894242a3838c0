#include "network/PublicIPService.h"

#include "network/IPAddress.h"

#include <QRandomGenerator>
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
    , m_tls(HttpsRequest::tlsConfiguration())
{
}

QList<QUrl> PublicIPService::defaultEndpoints()
{
    return {QUrl(u"https://api.ipify.org"_s), QUrl(u"https://ipv4.icanhazip.com"_s),
            QUrl(u"https://checkip.amazonaws.com"_s)};
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

PublicIPLookup::~PublicIPLookup() = default;

std::optional<PublicIPError> PublicIPLookup::error() const
{
    if (m_isFinished && !m_address)
        return PublicIPError::noValidResponse;
    return std::nullopt;
}

void PublicIPLookup::askNext()
{
    // The request that just answered is still in its own signal: it is let go of, not destroyed here.
    if (m_request)
        m_request.release()->deleteLater();
    if (m_order.isEmpty()) {
        finish(std::nullopt);
        return;
    }
    m_request = std::make_unique<HttpsRequest>(
        m_network, m_order.takeFirst(),
        HttpsRequest::Options{m_timeout, PublicIPService::maximumReplyBytes, {}, m_tls});
    connect(m_request.get(), &HttpsRequest::finished, this, &PublicIPLookup::onAnswered);
    m_request->start();
}

void PublicIPLookup::onAnswered()
{
    if (m_request->outcome() == HttpsRequest::Outcome::Succeeded) {
        const QByteArray body = m_request->body();
        // Bytes that are not UTF-8 do not survive the round trip.
        const QString text = QString::fromUtf8(body);
        if (text.toUtf8() == body) {
            if (std::optional<QString> address = IPAddress::normalizedIPv4(text)) {
                finish(std::move(address));
                return;
            }
        }
    }
    // Each endpoint's failure is silent; only the last one decides.
    askNext();
}

void PublicIPLookup::finish(std::optional<QString> address)
{
    m_isFinished = true;
    m_address = std::move(address);
    Q_EMIT finished();
}
