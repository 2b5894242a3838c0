#include "network/PublicIPService.h"

#include "network/IPAddress.h"

#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>

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
                                 std::chrono::milliseconds timeout, AddressFamily family)
    : m_network(network)
    , m_endpoints(std::move(endpoints))
    , m_timeout(timeout)
    , m_tls(HttpsRequest::tlsConfiguration())
    , m_family(family)
{
}

QList<QUrl> PublicIPService::defaultEndpoints(AddressFamily family)
{
    // The IPv6 services have no IPv4 address, so that the connection itself goes over IPv6.
    if (family == AddressFamily::IPv6)
        return {QUrl(u"https://api6.ipify.org"_s), QUrl(u"https://ipv6.icanhazip.com"_s),
                QUrl(u"https://v6.ident.me"_s)};
    return {QUrl(u"https://api.ipify.org"_s), QUrl(u"https://ipv4.icanhazip.com"_s),
            QUrl(u"https://checkip.amazonaws.com"_s)};
}

bool PublicIPService::isEndpoint(const QUrl& url)
{
    return url.isValid() && url.scheme() == u"https"_s && !url.host().isEmpty();
}

QList<QUrl> PublicIPService::endpointsFrom(const QVariant& configured, AddressFamily family, const QString& name,
                                           ErrorLog& log)
{
    if (!configured.isValid())
        return defaultEndpoints(family);
    QList<QUrl> endpoints;
    const QStringList texts = configured.toStringList();
    for (const QString& text : texts)
        endpoints.append(QUrl(text.trimmed(), QUrl::StrictMode));
    // One address that is not https refuses the whole list: a user who named services meant those alone.
    if (endpoints.isEmpty() || !std::all_of(endpoints.cbegin(), endpoints.cend(), isEndpoint)) {
        log.error(u"%1 in the settings file is not a list of https addresses (\"%2\"); the built-in services "
                  "are asked instead"_s.arg(name, texts.join(u", "_s)));
        return defaultEndpoints(family);
    }
    return endpoints;
}

std::unique_ptr<PublicIPLookup> PublicIPService::fetch(const QUrl& leftOut) const
{
    QList<QUrl> order = m_endpoints;
    order.removeAll(leftOut);
    QRandomGenerator* random = QRandomGenerator::system();
    for (qsizetype i = order.size() - 1; i > 0; --i)
        order.swapItemsAt(i, static_cast<qsizetype>(random->bounded(static_cast<quint64>(i + 1))));
    std::unique_ptr<PublicIPLookup> lookup(new PublicIPLookup(m_network, std::move(order), m_timeout, m_tls, m_family));
    // Started from the event loop, so that the caller is connected before anything can finish.
    QTimer::singleShot(0, lookup.get(), &PublicIPLookup::askNext);
    return lookup;
}

PublicIPLookup::PublicIPLookup(QNetworkAccessManager* network, QList<QUrl> order, std::chrono::milliseconds timeout,
                               QSslConfiguration tls, AddressFamily family)
    : m_network(network)
    , m_order(std::move(order))
    , m_timeout(timeout)
    , m_tls(std::move(tls))
    , m_family(family)
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
            std::optional<QString> address = m_family == AddressFamily::IPv6 ? IPAddress::normalizedGlobalIPv6(text)
                                                                             : IPAddress::normalizedIPv4(text);
            if (address) {
                m_answeredBy = m_request->url();
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
