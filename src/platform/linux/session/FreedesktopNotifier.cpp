#include "platform/linux/session/FreedesktopNotifier.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

const QString service = u"org.freedesktop.Notifications"_s;
const QString path = u"/org/freedesktop/Notifications"_s;
// A server that never reports a notice closed must not make the table grow without end.
constexpr std::size_t maximumHandlers = 8;

} // namespace

FreedesktopNotifier::FreedesktopNotifier(QDBusConnection bus, QString applicationId, QString iconPath, ErrorLog& log,
                                         QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_applicationId(std::move(applicationId))
    , m_icon(iconPath.isEmpty() ? m_applicationId : QUrl::fromLocalFile(iconPath).toString())
    , m_log(log)
{
}

void FreedesktopNotifier::listen()
{
    if (m_isListening)
        return;
    m_isListening = true;
    m_bus.connect(service, path, service, u"ActionInvoked"_s, this, SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(service, path, service, u"NotificationClosed"_s, this, SLOT(onClosed(uint, uint)));
}

void FreedesktopNotifier::notify(const Notice& notice, ActionHandler chosen, std::function<void()> undelivered)
{
    if (m_isWaiting || !m_bus.isConnected()) {
        if (m_isWaiting)
            m_log.error(
                u"The notification server has not taken the last notice yet; \"%1\" is not sent"_s.arg(notice.summary));
        else if (!std::exchange(m_hasSaidNoServer, true))
            m_log.error(u"No session bus: notices are not shown"_s);
        if (undelivered)
            undelivered();
        return;
    }
    if (chosen)
        listen();
    QStringList actions;
    for (const Notice::Action& action : notice.actions)
        actions << action.key << action.label;
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, service, u"Notify"_s);
    call << u"Tavrink"_s << 0U << m_icon << notice.summary << notice.body << actions
         << QVariantMap{{u"desktop-entry"_s, m_applicationId}} << -1;
    m_isWaiting = true;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, static_cast<int>(replyTimeout.count())), this);
    connect(
        watcher, &QDBusPendingCallWatcher::finished, this,
        [this, watcher, chosen = std::move(chosen), undelivered = std::move(undelivered), summary = notice.summary] {
            watcher->deleteLater();
            m_isWaiting = false;
            const QDBusPendingReply<uint> reply = *watcher;
            if (reply.isError()) {
                const QDBusError::ErrorType type = reply.error().type();
                if (type != QDBusError::ServiceUnknown)
                    m_log.error(
                        u"The notification server did not show \"%1\": %2"_s.arg(summary, reply.error().message()));
                else if (!std::exchange(m_hasSaidNoServer, true))
                    m_log.error(u"No notification server on the session bus: notices are not shown"_s);
                if (undelivered)
                    undelivered();
                return;
            }
            if (!chosen)
                return;
            m_handlers[reply.value()] = chosen;
            if (m_handlers.size() > maximumHandlers)
                m_handlers.erase(m_handlers.begin());
        });
}

void FreedesktopNotifier::onActionInvoked(uint id, const QString& key)
{
    const auto found = m_handlers.find(id);
    if (found == m_handlers.end())
        return;
    // The handler may send a notice of its own; it runs from a copy.
    const ActionHandler handler = found->second;
    handler(key);
}

void FreedesktopNotifier::onClosed(uint id, uint /*reason*/)
{
    m_handlers.erase(id);
}
