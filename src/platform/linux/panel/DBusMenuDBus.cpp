#include "platform/linux/panel/DBusMenuDBus.h"

#include "platform/linux/panel/ExportedMenu.h"

#include <QDBusMessage>

using namespace Qt::StringLiterals;

DBusMenuDBus::DBusMenuDBus(ExportedMenu* menu)
    : QDBusAbstractAdaptor(menu)
    , m_menu(menu)
{
    registerDBusTypes();
    setAutoRelaySignals(false);
    connect(menu, &ExportedMenu::changed, this, &DBusMenuDBus::announceChange);
}

namespace {

QVariantMap selected(const QVariantMap& all, const QStringList& names)
{
    if (names.isEmpty())
        return all;
    QVariantMap chosen;
    for (const QString& name : names) {
        if (all.contains(name))
            chosen.insert(name, all.value(name));
    }
    return chosen;
}

} // namespace

QVariantMap DBusMenuDBus::properties(int id, const QStringList& names) const
{
    return selected(id == 0 ? QVariantMap{{u"children-display"_s, u"submenu"_s}} : properties(m_menu->item(id)), names);
}

QVariantMap DBusMenuDBus::properties(const MenuItem& item)
{
    QVariantMap all;
    if (item.kind == MenuItem::Kind::Separator) {
        all.insert(u"type"_s, u"separator"_s);
    } else {
        all.insert(u"type"_s, u"standard"_s);
        // An underscore marks a mnemonic in dbusmenu labels; names and addresses are shown as they are.
        all.insert(u"label"_s, QString(item.text).replace(u'_', u"__"_s));
        all.insert(u"enabled"_s, item.isEnabled());
        if (!item.iconName.isEmpty())
            all.insert(u"icon-name"_s, item.iconName);
        if (!item.shortcutKey.isEmpty())
            all.insert(u"shortcut"_s,
                       QVariant::fromValue(DBusMenuShortcut{QStringList{u"Control"_s, item.shortcutKey}}));
    }
    all.insert(u"visible"_s, true);
    return all;
}

bool DBusMenuDBus::rejectUnknown(int id)
{
    if (m_menu->contains(id))
        return false;
    if (m_menu->calledFromDBus())
        m_menu->sendErrorReply(u"com.canonical.dbusmenu.Error.InvalidId"_s, u"No menu item has the id %1"_s.arg(id));
    return true;
}

uint DBusMenuDBus::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                             DBusMenuLayoutItem& layout)
{
    if (rejectUnknown(parentId))
        return m_menu->revision();
    layout = {parentId, properties(parentId, propertyNames), {}};
    if (parentId == 0 && recursionDepth != 0) {
        for (const ExportedMenu::Row& row : m_menu->rows()) {
            const DBusMenuLayoutItem child{row.id, selected(properties(row.item), propertyNames), {}};
            layout.children.append(QDBusVariant(QVariant::fromValue(child)));
        }
    }
    return m_menu->revision();
}

DBusMenuItemPropertiesList DBusMenuDBus::GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames)
{
    DBusMenuItemPropertiesList result;
    for (const int id : ids) {
        if (m_menu->contains(id))
            result.append({id, properties(id, propertyNames)});
    }
    return result;
}

QDBusVariant DBusMenuDBus::GetProperty(int id, const QString& name)
{
    if (rejectUnknown(id))
        return {};
    return QDBusVariant(properties(id).value(name));
}

void DBusMenuDBus::Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp)
{
    Q_UNUSED(data);
    Q_UNUSED(timestamp);
    // An id from a menu the panel showed before a change may be gone: it names nothing now.
    if (!rejectUnknown(id))
        handleEvent(id, eventId);
}

QList<int> DBusMenuDBus::EventGroup(const DBusMenuEventList& events)
{
    QList<int> idErrors;
    for (const DBusMenuEvent& event : events) {
        if (!m_menu->contains(event.id))
            idErrors.append(event.id);
        else
            handleEvent(event.id, event.eventId);
    }
    return idErrors;
}

void DBusMenuDBus::handleEvent(int id, const QString& eventId)
{
    if (eventId == u"clicked"_s)
        m_menu->click(id);
    else if (id == 0 && (eventId == u"opened"_s || eventId == u"closed"_s))
        m_menu->setShownByPanel(eventId == u"opened"_s);
}

bool DBusMenuDBus::AboutToShow(int id)
{
    rejectUnknown(id);
    return false; // the layout is always current
}

QList<int> DBusMenuDBus::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors)
{
    for (const int id : ids) {
        if (!m_menu->contains(id))
            idErrors.append(id);
    }
    return {};
}

void DBusMenuDBus::announceChange(const ExportedMenu::Change& change)
{
    // Rows that only look different are updated in place; rows that came, went or moved make
    // the panel read the layout again.
    if (!change.previousLooks.isEmpty()) {
        DBusMenuItemPropertiesList updated;
        DBusMenuItemKeysList removed;
        for (const ExportedMenu::Row& before : change.previousLooks) {
            const QVariantMap now = properties(before.id);
            updated.append({before.id, now});
            QStringList gone;
            for (const QString& name : properties(before.item).keys()) {
                if (!now.contains(name))
                    gone.append(name);
            }
            if (!gone.isEmpty())
                removed.append({before.id, gone});
        }
        Q_EMIT ItemsPropertiesUpdated(updated, removed);
    }
    if (change.isLayoutChanged)
        Q_EMIT LayoutUpdated(m_menu->revision(), 0);
}
