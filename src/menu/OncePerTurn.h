#pragma once

#include <QObject>

#include <functional>

/// Runs an action on the next turn of the event loop, once however often it was asked for in
/// this one: the assignments of one refresh make one update for whoever shows them.
class OncePerTurn : public QObject {
    Q_OBJECT
public:
    explicit OncePerTurn(std::function<void()> action, QObject* parent = nullptr);

    void request();

private:
    std::function<void()> m_action;
    bool m_isPending = false;
};
