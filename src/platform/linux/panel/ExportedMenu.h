#pragma once

#include "platform/MenuItem.h"

#include <QDBusContext>
#include <QHash>
#include <QList>
#include <QObject>

/// A flat menu served to the panel over D-Bus: its rows with their ids, a revision that grows with
/// every change, and the choices the panel reports. Id 0 is the root.
///
/// A panel keeps showing a menu, and sends clicks for it, after the menu has changed: an id is
/// therefore bound to what its row stands for (its key) and never given to another row. A fixed
/// place keeps its id for the whole run; a row of a value keeps its id while it is in the menu,
/// and a value that leaves and comes back is a new row with a new id.
/// Qt hands the context of a D-Bus call to the exported object, not to its adaptor.
class ExportedMenu : public QObject, public QDBusContext {
    Q_OBJECT
public:
    struct Row {
        int id = 0;
        MenuItem item;
    };
    /// What a call of setItems changed.
    struct Change {
        /// Whether rows came, went or moved: the panel must read the layout again.
        bool isLayoutChanged = false;
        /// Rows that stayed but look different, each with how it looked before.
        QList<Row> previousLooks;
    };

    using QObject::QObject;

    const QList<Row>& rows() const { return m_rows; }
    QList<MenuItem> items() const;
    uint revision() const { return m_revision; }
    bool contains(int id) const { return id == 0 || m_positions.contains(id); }
    /// The row of an id; only for ids other than the root that the menu contains.
    const MenuItem& item(int id) const { return m_rows.at(m_positions.value(id)).item; }

    /// Replaces the rows; announces what changed, if anything did, with a new revision.
    void setItems(const QList<MenuItem>& items);
    /// The panel reports a click on the row with this id: an enabled row of the current menu is
    /// chosen at once, by its key; anything else is ignored.
    void click(int id);
    /// Whether the panel says it shows this menu itself now: between its "opened" and "closed"
    /// for the root.
    bool isShownByPanel() const { return m_isShownByPanel; }
    void setShownByPanel(bool isShown) { m_isShownByPanel = isShown; }

Q_SIGNALS:
    void changed(const ExportedMenu::Change& change);
    void chosen(const QString& key);

private:
    QList<Row> m_rows;
    QHash<int, qsizetype> m_positions;
    // The ids of the current menu's keys only, so that the table does not grow with addresses
    // that come and go; fixed places are few, and keep theirs while absent.
    QHash<QString, int> m_currentIds;
    QHash<QString, int> m_fixedIds;
    int m_lastId = 0;
    uint m_revision = 1;
    bool m_isShownByPanel = false;
};
