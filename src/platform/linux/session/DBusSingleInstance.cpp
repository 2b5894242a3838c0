#include "platform/linux/session/DBusSingleInstance.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

using namespace Qt::StringLiterals;

namespace {

constexpr auto applicationInterface = "org.freedesktop.Application";
// A later launch waits this long for the running instance to take its request.
constexpr int forwardTimeoutMs = 10000;

} // namespace

DBusSingleInstance::DBusSingleInstance(QDBusConnection bus, QString applicationId, QObject* parent)
    : SingleInstance(parent)
    , m_bus(std::move(bus))
    , m_applicationId(std::move(applicationId))
    , m_exported(new ApplicationDBus(this))
{
}

DBusSingleInstance::~DBusSingleInstance()
{
    release();
}

QString DBusSingleInstance::objectPath(const QString& applicationId)
{
    return u'/' + QString(applicationId).replace(u'.', u'/');
}

SingleInstance::Claim DBusSingleInstance::claim(const QStringList& urls, QString* error)
{
    if (!m_bus.isConnected() || !m_bus.interface())
        return Claim::Alone;
    // The object first, so that whoever sees the name finds what it names.
    const QString path = objectPath(m_applicationId);
    if (!m_bus.registerObject(path, m_exported, QDBusConnection::ExportAllSlots)) {
        if (error)
            *error = u"%1 is already exported on the session bus."_s.arg(path);
        return Claim::Alone;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> owned = m_bus.interface()->registerService(
        m_applicationId, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (owned.isValid()
        && QDBusConnectionInterface::RegisterServiceReply(owned) == QDBusConnectionInterface::ServiceRegistered) {
        m_isOwner = true;
        return Claim::First;
    }
    m_bus.unregisterObject(path);
    if (!owned.isValid()) {
        if (error)
            *error = owned.error().message();
        return Claim::Alone;
    }
    QDBusMessage request = QDBusMessage::createMethodCall(
        m_applicationId, path, QString::fromLatin1(applicationInterface), urls.isEmpty() ? u"Activate"_s : u"Open"_s);
    if (urls.isEmpty())
        request << QVariantMap();
    else
        request << urls << QVariantMap();
    const QDBusMessage reply = m_bus.call(request, QDBus::Block, forwardTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return Claim::Forwarded;
    if (error)
        *error = reply.errorMessage();
    return Claim::Refused;
}

void DBusSingleInstance::release()
{
    if (!m_isOwner)
        return;
    m_bus.unregisterService(m_applicationId);
    m_bus.unregisterObject(objectPath(m_applicationId));
    m_isOwner = false;
}

void DBusSingleInstance::listen()
{
    m_isListening = true;
    const auto pending = std::exchange(m_pending, {});
    for (const auto& [isReopen, urls] : pending)
        request(urls, isReopen);
}

void DBusSingleInstance::request(const QStringList& urls, bool isReopen)
{
    if (!m_isListening)
        m_pending.append({isReopen, urls});
    else if (isReopen)
        Q_EMIT reopenRequested();
    else
        Q_EMIT openRequested(urls);
}

ApplicationDBus::ApplicationDBus(DBusSingleInstance* instance)
    : QObject(instance)
    , m_instance(instance)
{
}

void ApplicationDBus::Activate(const QVariantMap& /*platformData*/)
{
    m_instance->request({}, true);
}

void ApplicationDBus::Open(const QStringList& uris, const QVariantMap& /*platformData*/)
{
    m_instance->request(uris, false);
}

void ApplicationDBus::ActivateAction(const QString& actionName, const QVariantList& /*parameter*/,
                                     const QVariantMap& /*platformData*/)
{
    // Tavrink declares no actions.
    sendErrorReply(QDBusError::NotSupported, u"Tavrink has no action \"%1\"."_s.arg(actionName));
}
