#include "TestWatcher.h"

#include <QDBusMessage>

using namespace Qt::StringLiterals;

TestWatcher::TestWatcher(const QString& connectionName)
    : m_name(connectionName)
    , m_connection(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName))
{
}

TestWatcher::~TestWatcher()
{
    stop();
    QDBusConnection::disconnectFromBus(m_name);
}

bool TestWatcher::start()
{
    return m_connection.registerObject(u"/StatusNotifierWatcher"_s, this, QDBusConnection::ExportAllContents)
        && m_connection.registerService(u"org.kde.StatusNotifierWatcher"_s);
}

void TestWatcher::stop()
{
    m_connection.unregisterService(u"org.kde.StatusNotifierWatcher"_s);
    m_connection.unregisterObject(u"/StatusNotifierWatcher"_s);
    m_items.clear();
}

void TestWatcher::RegisterStatusNotifierItem(const QString& service)
{
    m_items.append(service);
    m_registrants.append(calledFromDBus() ? message().service() : QString());
    Q_EMIT StatusNotifierItemRegistered(service);
}

void TestWatcher::RegisterStatusNotifierHost(const QString& service)
{
    Q_UNUSED(service);
    Q_EMIT StatusNotifierHostRegistered();
}
