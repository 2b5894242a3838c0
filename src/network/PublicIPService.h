#pragma once

#include "network/HttpsRequest.h"
#include "platform/ErrorLog.h"
#include "platform/NetworkInventory.h"

#include <QList>
#include <QObject>
#include <QSslConfiguration>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <chrono>
#include <memory>
#include <optional>

class QNetworkAccessManager;

enum class PublicIPError { noValidResponse };

/// The user-facing text of a lookup failure.
QString description(PublicIPError error);

/// One lookup: asks the endpoints one after another, the first valid reply of the service's
/// family (an IPv4 address, or a global unicast IPv6 address) wins.
/// Destroying it abandons the request in flight; nothing is reported then.
class PublicIPLookup : public QObject {
    Q_OBJECT
public:
    ~PublicIPLookup() override;

    bool isFinished() const { return m_isFinished; }
    /// The address, once finished successfully.
    std::optional<QString> address() const { return m_address; }
    /// The failure, once finished without an address.
    std::optional<PublicIPError> error() const;
    /// The endpoint that gave the address, once finished successfully.
    QUrl answeredBy() const { return m_answeredBy; }

Q_SIGNALS:
    void finished();

private:
    friend class PublicIPService;
    PublicIPLookup(QNetworkAccessManager* network, QList<QUrl> order, std::chrono::milliseconds timeout,
                   QSslConfiguration tls, AddressFamily family);

    void askNext();
    void onAnswered();
    void finish(std::optional<QString> address);

    QNetworkAccessManager* m_network;
    QList<QUrl> m_order;
    std::chrono::milliseconds m_timeout;
    QSslConfiguration m_tls;
    AddressFamily m_family;
    std::unique_ptr<HttpsRequest> m_request;
    bool m_isFinished = false;
    std::optional<QString> m_address;
    QUrl m_answeredBy;
};

/// Finds the machine's public IPv4 (or IPv6) address by asking echo services over HTTPS.
class PublicIPService {
public:
    static constexpr std::chrono::milliseconds defaultTimeout{8000};
    /// Replies longer than this are not an address and are not read further.
    static constexpr qint64 maximumReplyBytes = 1024;

    /// The built-in echo services of the family: three independent ones.
    static QList<QUrl> defaultEndpoints(AddressFamily family = AddressFamily::IPv4);

    explicit PublicIPService(QNetworkAccessManager* network, QList<QUrl> endpoints = defaultEndpoints(),
                             std::chrono::milliseconds timeout = defaultTimeout,
                             AddressFamily family = AddressFamily::IPv4);
    /// Whether the address may be asked: https, with a host.
    static bool isEndpoint(const QUrl& url);
    /// The endpoints a list of the user's gives (a settings value: one text or several), when it
    /// is one: not empty, and every entry an endpoint. Else the built-in ones, and the log hears
    /// why (a list that is absent is no mistake).
    static QList<QUrl> endpointsFrom(const QVariant& configured, AddressFamily family, const QString& name,
                                     ErrorLog& log);
    QList<QUrl> endpoints() const { return m_endpoints; }
    AddressFamily family() const { return m_family; }
    /// Starts a lookup over the endpoints in a fresh random order, all but the one left out.
    std::unique_ptr<PublicIPLookup> fetch(const QUrl& leftOut = {}) const;

private:
    QNetworkAccessManager* m_network;
    QList<QUrl> m_endpoints;
    std::chrono::milliseconds m_timeout;
    QSslConfiguration m_tls;
    AddressFamily m_family;
};
