#pragma once

#include "platform/TailscaleStatus.h"

#include <QByteArray>
#include <QTimer>

#include <chrono>
#include <memory>

#include <sys/types.h>

class ErrorLog;
class QLocalSocket;

/// The Tailscale daemon's LocalAPI on its Unix socket: one GET of /localapi/v0/status (without
/// the peers), read for the device's addresses and MagicDNS name and for nothing else. A socket
/// that is not the daemon's (not a socket, or not root's) is never asked.
class TailscaleLocalApi : public TailscaleStatusSource {
    Q_OBJECT
public:
    static constexpr auto standardSocketPath = "/var/run/tailscale/tailscaled.sock";
    static constexpr std::chrono::milliseconds timeLimit{500};
    static constexpr qint64 maximumReplyBytes = 256 * 1024;

    /// owner: the account the daemon runs as; the socket must be its.
    explicit TailscaleLocalApi(ErrorLog& log, QString socketPath = QString::fromLatin1(standardSocketPath),
                               uid_t owner = 0, QObject* parent = nullptr);
    ~TailscaleLocalApi() override;

    void query() override;
    /// The status an HTTP reply (head and JSON body) gives; nothing when it gives none.
    static std::optional<TailscaleStatus> parse(const QByteArray& reply);

private:
    void ask();
    void onReadyRead();
    void dropSocket();
    void finish(std::optional<TailscaleStatus> status, const QString& failure = {});

    ErrorLog& m_log;
    QString m_socketPath;
    uid_t m_owner;
    std::unique_ptr<QLocalSocket> m_socket;
    QByteArray m_reply;
    QTimer m_limit;
    bool m_isPending = false;
    bool m_isFailureLogged = false;
};
