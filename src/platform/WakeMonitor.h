#pragma once

#include <QObject>

/// Tells when the computer has woken from sleep.
class WakeMonitor : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    /// Starts listening; without a source of wake events it stays silent.
    virtual void start() = 0;

Q_SIGNALS:
    void woke();
};
