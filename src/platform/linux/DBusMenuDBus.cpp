#include "platform/linux/DBusMenuDBus.h"

#include "platform/linux/ExportedMenu.h"

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

QVariantMap DBusMenuDBus::properties(int id, const QStringList& names) const
{
    QVariantMap all;
    if (id == 0) {
        all.insert(u"children-display"_s, u"submenu"_s);
    } else {
        const MenuItem& item = m_menu->item(id);
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
    }
    if (names.isEmpty())
        return all;
    QVariantMap chosen;
    for (const QString& name : names) {
        if (all.contains(name))
            chosen.insert(name, all.value(name));
    }
    return chosen;
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
        for (int id = 1; id <= m_menu->items().size(); ++id) {
            const DBusMenuLayoutItem child{id, properties(id, propertyNames), {}};
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
    if (eventId == u"clicked"_s)
        m_menu->click(id);
}

QList<int> DBusMenuDBus::EventGroup(const DBusMenuEventList& events)
{
    QList<int> idErrors;
    for (const DBusMenuEvent& event : events) {
        if (!m_menu->contains(event.id))
            idErrors.append(event.id);
        else if (event.eventId == u"clicked"_s)
            m_menu->click(event.id);
    }
    return idErrors;
}

bool DBusMenuDBus::AboutToShow(int id)
{
    Q_UNUSED(id);
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

void DBusMenuDBus::announceChange()
{
    DBusMenuItemPropertiesList updated;
    for (int id = 0; id <= m_menu->items().size(); ++id)
        updated.append({id, properties(id)});
    Q_EMIT ItemsPropertiesUpdated(updated, {});
    Q_EMIT LayoutUpdated(m_menu->revision(), 0);
}
