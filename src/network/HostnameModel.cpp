#include "network/HostnameModel.h"

#include <QCoreApplication>
#include <QPointer>

#include <mutex>
#include <thread>

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

// The last resolution, shared with the resolver thread that may outlive the model.
struct HostnameModel::Resolution {
    std::mutex mutex;
    QString hostName;
    QString canonicalName;
};

HostnameModel::HostnameModel(QObject* parent)
    : HostnameModel(kernelHostName, canonicalName, parent)
{
}

HostnameModel::HostnameModel(HostNameSource hostName, CanonicalNameResolver resolver, QObject* parent)
    : QObject(parent)
    , m_hostName(std::move(hostName))
    , m_resolver(std::move(resolver))
    , m_resolution(std::make_shared<Resolution>())
{
}

HostnameModel::~HostnameModel() = default;

QString HostnameModel::fullName() const
{
    const QString hostName = m_hostName();
    std::lock_guard lock(m_resolution->mutex);
    if (m_resolution->hostName == hostName && !m_resolution->canonicalName.isEmpty())
        return m_resolution->canonicalName;
    return hostName;
}

QString HostnameModel::shortName() const
{
    return shortName(fullName());
}

void HostnameModel::resolve()
{
    const QString hostName = m_hostName();
    // A lookup can wait on DNS for many seconds; a detached thread never holds up the event
    // loop or the process's exit.
    std::thread([hostName, resolver = m_resolver, resolution = m_resolution, self = QPointer(this)] {
        const QString canonical = resolver(hostName);
        {
            std::lock_guard lock(resolution->mutex);
            resolution->hostName = hostName;
            resolution->canonicalName = canonical;
        }
        if (QCoreApplication* app = QCoreApplication::instance()) {
            QMetaObject::invokeMethod(
                app,
                [self] {
                    if (self)
                        Q_EMIT self->resolved();
                },
                Qt::QueuedConnection);
        }
    }).detach();
}

QString HostnameModel::shortName(const QString& hostName)
{
    return hostName.section(u'.', 0, 0);
}

QString HostnameModel::kernelHostName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    return QString::fromUtf8(name);
}

QString HostnameModel::canonicalName(const QString& hostName)
{
    if (hostName.isEmpty())
        return {};
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* result = nullptr;
    if (getaddrinfo(hostName.toUtf8().constData(), nullptr, &hints, &result) != 0 || !result)
        return {};
    const QString canonical = result->ai_canonname ? QString::fromUtf8(result->ai_canonname) : QString();
    freeaddrinfo(result);
    return canonical;
}
