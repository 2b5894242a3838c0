#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>

/// A minimal org.kde.StatusNotifierWatcher on its own bus connection, as a panel would run.
class TestWatcher : public QObject, public QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
public:
    explicit TestWatcher(const QString& connectionName)
        : m_name(connectionName)
        , m_connection(QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName))
    {
    }
    ~TestWatcher() override
    {
        m_connection.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
        QDBusConnection::disconnectFromBus(m_name);
    }

    /// Takes the watcher's name and path; false when either is taken.
    bool start()
    {
        return m_connection.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                                           QDBusConnection::ExportAllContents)
            && m_connection.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    }

    QDBusConnection connection() const { return m_connection; }
    QStringList registeredItems() const { return m_items; }
    bool isHostRegistered() const { return m_hasHost; }
    /// A host comes (and the watcher says so) or goes (silently, as when none ever came).
    void setHost(bool hasHost)
    {
        m_hasHost = hasHost;
        if (hasHost)
            Q_EMIT StatusNotifierHostRegistered();
    }
    int protocolVersion() const { return 0; }
    /// The unique bus name of whoever registered each item.
    QStringList registrants() const { return m_registrants; }
    /// Drops an item as a host does that gave up on it.
    void drop(const QString& service)
    {
        m_items.removeAll(service);
        Q_EMIT StatusNotifierItemUnregistered(service);
    }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service)
    {
        m_items.append(service);
        m_registrants.append(message().service());
        Q_EMIT StatusNotifierItemRegistered(service);
    }
    void RegisterStatusNotifierHost(const QString&) { Q_EMIT StatusNotifierHostRegistered(); }

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierItemUnregistered(const QString& service);
    void StatusNotifierHostRegistered();

private:
    QString m_name;
    QDBusConnection m_connection;
    QStringList m_items;
    QStringList m_registrants;
    bool m_hasHost = true;
};
