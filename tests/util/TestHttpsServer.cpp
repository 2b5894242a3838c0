#include "TestHttpsServer.h"

#include <QHostAddress>

TestHttpsServer::TestHttpsServer(const TestCertificates::Identity& identity, QObject* parent)
    : QObject(parent)
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(identity.certificate);
    tls.setPrivateKey(identity.key);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    m_server.setSslConfiguration(tls);
    connect(&m_server, &QSslServer::pendingConnectionAvailable, this, &TestHttpsServer::onConnection);
    setReply({200, "203.0.113.7\n", false});
}

std::unique_ptr<TestHttpsServer> TestHttpsServer::start(const TestCertificates::Identity& identity, const Reply& reply,
                                                        bool isIPv6)
{
    auto server = std::make_unique<TestHttpsServer>(identity);
    server->setReply(reply);
    return server->listen(isIPv6) ? std::move(server) : nullptr;
}

bool TestHttpsServer::listen(bool isIPv6)
{
    return m_server.listen(isIPv6 ? QHostAddress::LocalHostIPv6 : QHostAddress::LocalHost);
}

QUrl TestHttpsServer::url() const
{
    const bool isIPv6 = m_server.serverAddress().protocol() == QAbstractSocket::IPv6Protocol;
    return QUrl(QStringLiteral("https://%1:%2")
                    .arg(isIPv6 ? QStringLiteral("[::1]") : QStringLiteral("127.0.0.1"))
                    .arg(m_server.serverPort()));
}

void TestHttpsServer::onConnection()
{
    while (QTcpSocket* pending = m_server.nextPendingConnection()) {
        auto* socket = qobject_cast<QSslSocket*>(pending);
        socket->setParent(this);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QSslSocket::readyRead, this, [this, socket, buffer] {
            *buffer += socket->readAll();
            if (!buffer->contains("\r\n\r\n"))
                return;
            buffer->clear();
            const int index = m_requestCount++;
            Q_EMIT requestReceived(index);
            const Reply reply = m_handler(index);
            if (reply.isStalled)
                m_stalled.append(socket);
            else
                respond(socket, reply);
        });
        connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void TestHttpsServer::releaseStalled(const Reply& reply)
{
    for (const QPointer<QSslSocket>& socket : std::as_const(m_stalled)) {
        if (socket && socket->state() == QAbstractSocket::ConnectedState)
            respond(socket, reply);
    }
    m_stalled.clear();
}

void TestHttpsServer::respond(QSslSocket* socket, const Reply& reply)
{
    const QByteArray location = reply.location.isEmpty() ? QByteArray() : "Location: " + reply.location + "\r\n";
    socket->write("HTTP/1.1 " + QByteArray::number(reply.status) + " Test\r\nContent-Type: text/plain\r\n" + location
                  + "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\nConnection: close\r\n\r\n"
                  + reply.body);
    socket->disconnectFromHost();
}
