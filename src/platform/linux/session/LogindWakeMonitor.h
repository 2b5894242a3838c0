#pragma once

#include "platform/WakeMonitor.h"

#include <QDBusConnection>

/// Wake events from systemd-logind's PrepareForSleep(false) on the system bus.
class LogindWakeMonitor : public WakeMonitor {
    Q_OBJECT
public:
    explicit LogindWakeMonitor(QDBusConnection bus = QDBusConnection::systemBus(), QObject* parent = nullptr);

    void start() override;

private Q_SLOTS:
    void onPrepareForSleep(bool start);

private:
    QDBusConnection m_bus;
    bool m_isStarted = false;
};
