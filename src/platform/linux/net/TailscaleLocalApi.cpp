#include "platform/linux/net/TailscaleLocalApi.h"

#include "platform/ErrorLog.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QRegularExpression>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

TailscaleLocalApi::TailscaleLocalApi(ErrorLog& log, QString socketPath, uid_t owner, QObject* parent)
    : TailscaleStatusSource(parent)
    , m_log(log)
    , m_socketPath(std::move(socketPath))
    , m_owner(owner)
{
    m_limit.setSingleShot(true);
    m_limit.setInterval(timeLimit);
    connect(&m_limit, &QTimer::timeout, this,
            [this] { finish(std::nullopt, u"it did not answer within %1 ms"_s.arg(timeLimit.count())); });
}

TailscaleLocalApi::~TailscaleLocalApi() = default;

void TailscaleLocalApi::query()
{
    // Later, so that whoever asked is listening, and nothing of it delays the caller's turn.
    dropSocket();
    m_isPending = true;
    m_limit.start();
    QMetaObject::invokeMethod(this, &TailscaleLocalApi::ask, Qt::QueuedConnection);
}

void TailscaleLocalApi::ask()
{
    if (!m_isPending || m_socket)
        return; // answered already, or asked by a newer query
    struct stat info { };
    if (lstat(QFile::encodeName(m_socketPath).constData(), &info) != 0) {
        finish(std::nullopt); // no daemon: nothing to say
        return;
    }
    if (!S_ISSOCK(info.st_mode) || info.st_uid != m_owner) {
        finish(std::nullopt, u"it is not a socket of the daemon's account (uid %1)"_s.arg(m_owner));
        return;
    }
    m_reply.clear();
    m_socket = std::make_unique<QLocalSocket>();
    connect(m_socket.get(), &QLocalSocket::connected, this, [this] {
        m_socket->write("GET /localapi/v0/status?peers=false HTTP/1.0\r\nHost: local-tailscaled.sock\r\n\r\n");
    });
    connect(m_socket.get(), &QLocalSocket::readyRead, this, &TailscaleLocalApi::onReadyRead);
    connect(m_socket.get(), &QLocalSocket::disconnected, this, [this] {
        const std::optional<TailscaleStatus> status = parse(m_reply);
        finish(status, status ? QString() : u"its answer is not a status"_s);
    });
    connect(m_socket.get(), &QLocalSocket::errorOccurred, this, [this](QLocalSocket::LocalSocketError error) {
        if (error != QLocalSocket::PeerClosedError)
            finish(std::nullopt, m_socket->errorString());
    });
    m_socket->connectToServer(m_socketPath);
}

void TailscaleLocalApi::onReadyRead()
{
    // Never more than one byte past the cap is kept: that byte tells that the answer is too large.
    m_reply += m_socket->read(maximumReplyBytes + 1 - m_reply.size());
    if (m_reply.size() > maximumReplyBytes)
        finish(std::nullopt, u"its answer is larger than %1 bytes"_s.arg(maximumReplyBytes));
}

void TailscaleLocalApi::dropSocket()
{
    if (!m_socket)
        return;
    m_socket->disconnect(this);
    m_socket->abort();
    m_socket.release()->deleteLater(); // it may be in one of its own signals
}

void TailscaleLocalApi::finish(std::optional<TailscaleStatus> status, const QString& failure)
{
    if (!m_isPending)
        return;
    m_isPending = false;
    m_limit.stop();
    dropSocket();
    if (!failure.isEmpty() && !m_isFailureLogged) {
        m_isFailureLogged = true;
        m_log.error(u"The Tailscale daemon at %1 was not asked or not understood, so Tailscale's interface is known "
                    "by its name: %2"_s.arg(m_socketPath, failure));
    }
    Q_EMIT answered(status);
}

std::optional<TailscaleStatus> TailscaleLocalApi::parse(const QByteArray& reply)
{
    const qsizetype headEnd = reply.indexOf("\r\n\r\n");
    const QByteArray head = reply.left(headEnd).toLower();
    if (headEnd < 0 || !QRegularExpression(u"^http/1\\.[01] 200 "_s).match(QString::fromLatin1(head)).hasMatch()
        || head.contains("transfer-encoding"))
        return std::nullopt;
    const QJsonObject self = QJsonDocument::fromJson(reply.mid(headEnd + 4)).object().value(u"Self"_s).toObject();
    TailscaleStatus status;
    for (const QJsonValue& address : self.value(u"TailscaleIPs"_s).toArray()) {
        if (address.isString())
            status.addresses.append(address.toString());
    }
    // A name as DNS writes it; anything else is not shown.
    static const QRegularExpression dnsName(u"^(?=.{1,253}$)[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?"
                                            "(\\.[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?)*$"_s);
    QString name = self.value(u"DNSName"_s).toString();
    if (name.endsWith(u'.'))
        name.chop(1);
    if (dnsName.match(name).hasMatch())
        status.dnsName = name;
    if (status.addresses.isEmpty())
        return std::nullopt;
    return status;
}
