#include "platform/linux/session/LogindWakeMonitor.h"

using namespace Qt::StringLiterals;

LogindWakeMonitor::LogindWakeMonitor(QDBusConnection bus, QObject* parent)
    : WakeMonitor(parent)
    , m_bus(std::move(bus))
{
}

void LogindWakeMonitor::start()
{
    if (m_isStarted || !m_bus.isConnected())
        return;
    m_isStarted
        = m_bus.connect(u"org.freedesktop.login1"_s, u"/org/freedesktop/login1"_s, u"org.freedesktop.login1.Manager"_s,
                        u"PrepareForSleep"_s, this, SLOT(onPrepareForSleep(bool)));
}

void LogindWakeMonitor::onPrepareForSleep(bool start)
{
    if (!start)
        Q_EMIT woke();
}
