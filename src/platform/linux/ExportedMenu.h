#pragma once

#include "platform/MenuItem.h"

#include <QDBusContext>
#include <QList>
#include <QObject>

/// A flat menu served to the panel over D-Bus: its rows, a revision that grows with every
/// change, and the choices the panel reports. Row i has the id i + 1; id 0 is the root.
/// Qt hands the context of a D-Bus call to the exported object, not to its adaptor.
class ExportedMenu : public QObject, public QDBusContext {
    Q_OBJECT
public:
    using QObject::QObject;

    QList<MenuItem> items() const { return m_items; }
    uint revision() const { return m_revision; }
    bool contains(int id) const { return id == 0 || (id > 0 && id <= m_items.size()); }
    /// The row of an id; only for ids other than the root that the menu contains.
    const MenuItem& item(int id) const { return m_items.at(id - 1); }

    void setItems(const QList<MenuItem>& items);
    /// The panel reports a click on the row with this id; the choice is announced on a later turn.
    void click(int id);

Q_SIGNALS:
    void changed();
    void chosen(int index);

private:
    QList<MenuItem> m_items;
    uint m_revision = 1;
};
