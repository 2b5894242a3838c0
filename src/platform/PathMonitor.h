#pragma once

#include <QObject>

/// Watches the network path: interfaces going up or down, addresses and default routes.
class PathMonitor : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    /// Starts watching; pathChanged follows once soon after, then on every change.
    virtual void start() = 0;

Q_SIGNALS:
    void pathChanged();
};
