#include "platform/linux/ExportedMenu.h"

void ExportedMenu::setItems(const QList<MenuItem>& items)
{
    m_items = items;
    ++m_revision;
    Q_EMIT changed();
}

void ExportedMenu::click(int id)
{
    if (id <= 0 || id > m_items.size() || !m_items.at(id - 1).isEnabled())
        return;
    // The D-Bus call returns before the action runs: an action may take its time (or quit).
    QMetaObject::invokeMethod(
        this, [this, index = id - 1] { Q_EMIT chosen(index); }, Qt::QueuedConnection);
}
