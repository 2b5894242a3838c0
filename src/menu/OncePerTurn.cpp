#include "menu/OncePerTurn.h"

#include <QTimer>

OncePerTurn::OncePerTurn(std::function<void()> action, QObject* parent)
    : QObject(parent)
    , m_action(std::move(action))
{
}

void OncePerTurn::request()
{
    if (m_isPending)
        return;
    m_isPending = true;
    QTimer::singleShot(0, this, [this] {
        m_isPending = false;
        m_action();
    });
}
