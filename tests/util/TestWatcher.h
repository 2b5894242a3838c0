#pragma once

#include <QDBusConnection>
#include <QDBusContext>
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
    explicit TestWatcher(const QString& connectionName);
    ~TestWatcher() override;

    /// Takes the watcher's name and path; false when either is taken.
    bool start();
    /// Gives them up, as a panel that quits.
    void stop();

    QDBusConnection connection() const { return m_connection; }
    QStringList registeredItems() const { return m_items; }
    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    /// The unique bus name of whoever registered each item.
    QStringList registrants() const { return m_registrants; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service);
    void RegisterStatusNotifierHost(const QString& service);

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierItemUnregistered(const QString& service);
    void StatusNotifierHostRegistered();

private:
    QString m_name;
    QDBusConnection m_connection;
    QStringList m_items;
    QStringList m_registrants;
};
