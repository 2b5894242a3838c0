#include "platform/linux/panel/ExportedMenu.h"

QList<MenuItem> ExportedMenu::items() const
{
    QList<MenuItem> items;
    items.reserve(m_rows.size());
    for (const Row& row : m_rows)
        items.append(row.item);
    return items;
}

void ExportedMenu::setItems(const QList<MenuItem>& items)
{
    QList<Row> rows;
    rows.reserve(items.size());
    QHash<QString, int> ids; // the first row of each key
    ids.reserve(items.size());
    for (const MenuItem& item : items) {
        // A key given twice would make two rows one; the second is a row of its own every time.
        const bool isRepeated = ids.contains(item.key);
        int id = isRepeated ? 0 : (item.isFixed ? m_fixedIds : m_currentIds).value(item.key);
        if (id == 0)
            id = ++m_lastId;
        if (!isRepeated) {
            ids.insert(item.key, id);
            if (item.isFixed)
                m_fixedIds.insert(item.key, id);
        }
        rows.append({id, item});
    }

    Change change;
    change.isLayoutChanged = rows.size() != m_rows.size();
    QHash<int, qsizetype> positions;
    positions.reserve(rows.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const Row& row = rows.at(i);
        positions.insert(row.id, i);
        change.isLayoutChanged = change.isLayoutChanged || m_rows.at(i).id != row.id;
        const auto before = m_positions.constFind(row.id);
        if (before != m_positions.cend() && m_rows.at(*before).item != row.item)
            change.previousLooks.append(m_rows.at(*before));
    }
    m_rows = std::move(rows);
    m_positions = std::move(positions);
    m_currentIds = std::move(ids);
    if (!change.isLayoutChanged && change.previousLooks.isEmpty())
        return;
    ++m_revision;
    Q_EMIT changed(change);
}

void ExportedMenu::click(int id)
{
    if (id == 0 || !contains(id) || !item(id).isEnabled())
        return;
    const QString key = item(id).key;
    Q_EMIT chosen(key);
}
