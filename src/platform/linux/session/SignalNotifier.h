#pragma once

#include <QObject>

class QSocketNotifier;

/// Turns POSIX signals into a Qt signal on the main thread (self-pipe).
class SignalNotifier : public QObject {
    Q_OBJECT
public:
    explicit SignalNotifier(std::initializer_list<int> signalNumbers, QObject* parent = nullptr);
    ~SignalNotifier() override;

Q_SIGNALS:
    void received(int signalNumber);

private:
    QSocketNotifier* m_notifier = nullptr;
};
