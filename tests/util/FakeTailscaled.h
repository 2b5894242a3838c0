#pragma once

#include <QLocalServer>
#include <QLocalSocket>

/// A Tailscale daemon's LocalAPI socket that answers each connection with the bytes it is given
/// once the request has come, or never (hang), and counts the connections.
class FakeTailscaled : public QObject {
public:
    explicit FakeTailscaled(const QString& path, QByteArray reply, bool isHanging = false)
        : m_reply(std::move(reply))
        , m_isHanging(isHanging)
    {
        m_server.setSocketOptions(QLocalServer::WorldAccessOption);
        QLocalServer::removeServer(path);
        m_server.listen(path);
        connect(&m_server, &QLocalServer::newConnection, this, [this] {
            QLocalSocket* client = m_server.nextPendingConnection();
            ++m_connections;
            connect(client, &QLocalSocket::readyRead, client, [this, client] {
                m_request += client->readAll();
                if (!m_isHanging && m_request.contains("\r\n\r\n")) {
                    client->write(m_reply);
                    client->disconnectFromServer();
                }
            });
        });
    }

    bool isListening() const { return m_server.isListening(); }
    int connections() const { return m_connections; }
    QByteArray request() const { return m_request; }

private:
    QLocalServer m_server;
    QByteArray m_reply;
    bool m_isHanging;
    int m_connections = 0;
    QByteArray m_request;
};
