#include "platform/linux/session/JournalErrorLog.h"

#include <QFile>

#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>

JournalErrorLog::JournalErrorLog(QByteArray subsystem, QByteArray category, QString socketPath)
    : m_subsystem(std::move(subsystem))
    , m_category(std::move(category))
    , m_socketPath(std::move(socketPath))
{
}

QByteArray JournalErrorLog::entry(const QList<std::pair<QByteArray, QByteArray>>& fields)
{
    QByteArray datagram;
    for (const auto& [key, value] : fields) {
        if (!value.contains('\n')) {
            datagram += key + '=' + value + '\n';
            continue;
        }
        datagram += key + '\n';
        quint64 length = static_cast<quint64>(value.size());
        for (int i = 0; i < 8; ++i, length >>= 8)
            datagram += static_cast<char>(length & 0xff);
        datagram += value + '\n';
    }
    return datagram;
}

void JournalErrorLog::error(const QString& message)
{
    const QByteArray text = message.toUtf8();
    const QByteArray datagram = entry({{"MESSAGE", text},
                                       {"PRIORITY", QByteArray::number(LOG_ERR)},
                                       {"SYSLOG_IDENTIFIER", "tavrink"},
                                       {"SUBSYSTEM", m_subsystem},
                                       {"CATEGORY", m_category}});
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(m_socketPath);
    std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const bool isSent = fd >= 0
        && sendto(fd, datagram.constData(), static_cast<size_t>(datagram.size()), MSG_NOSIGNAL,
                  reinterpret_cast<const sockaddr*>(&address), sizeof address)
            == datagram.size();
    if (fd >= 0)
        close(fd);
    // No journal (or an entry too big for one datagram): the system log still hears of it.
    if (!isSent)
        syslog(LOG_ERR, "[%s:%s] %s", m_subsystem.constData(), m_category.constData(), text.constData());
    if (isatty(STDERR_FILENO))
        std::fprintf(stderr, "tavrink: %s\n", text.constData());
}
