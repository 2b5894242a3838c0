#pragma once

#include "TestCertificates.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslServer>
#include <QSslSocket>
#include <QUrl>

#include <functional>
#include <memory>

/// An HTTPS server on 127.0.0.1 (or ::1) that answers every GET with what the test says.
class TestHttpsServer : public QObject {
    Q_OBJECT
public:
    struct Reply {
        int status = 200;
        QByteArray body;
        /// Keep the connection open without answering until releaseStalled().
        bool isStalled = false;
        /// Sent as the Location header, for redirects.
        QByteArray location = {};
    };
    using Handler = std::function<Reply(int requestIndex)>;

    explicit TestHttpsServer(const TestCertificates::Identity& identity, QObject* parent = nullptr);

    bool listen(bool isIPv6 = false);
    QUrl url() const;
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    void setReply(const Reply& reply)
    {
        m_handler = [reply](int) { return reply; };
    }
    /// Starts a server of this identity that gives every request this reply, on 127.0.0.1 or ::1;
    /// null when it cannot listen.
    static std::unique_ptr<TestHttpsServer> start(const TestCertificates::Identity& identity, const Reply& reply,
                                                  bool isIPv6 = false);
    int requestCount() const { return m_requestCount; }
    /// Answers every stalled request that is still open.
    void releaseStalled(const Reply& reply);

Q_SIGNALS:
    void requestReceived(int requestIndex);

private:
    void onConnection();
    static void respond(QSslSocket* socket, const Reply& reply);

    QSslServer m_server;
    Handler m_handler;
    int m_requestCount = 0;
    QList<QPointer<QSslSocket>> m_stalled;
};
