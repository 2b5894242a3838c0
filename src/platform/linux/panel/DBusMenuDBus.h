#pragma once

#include "platform/linux/panel/DBusTypes.h"
#include "platform/linux/panel/ExportedMenu.h"

#include <QDBusAbstractAdaptor>

/// com.canonical.dbusmenu over an ExportedMenu.
class DBusMenuDBus : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)
public:
    explicit DBusMenuDBus(ExportedMenu* menu);

    uint version() const { return 3; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

    /// The item's properties in dbusmenu's vocabulary, limited to names unless that is empty.
    QVariantMap properties(int id, const QStringList& names = {}) const;
    /// All properties of a row that looks like this.
    static QVariantMap properties(const MenuItem& item);

public Q_SLOTS:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames, DBusMenuLayoutItem& layout);
    DBusMenuItemPropertiesList GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames);
    QDBusVariant GetProperty(int id, const QString& name);
    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
    QList<int> EventGroup(const DBusMenuEventList& events);
    bool AboutToShow(int id);
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

Q_SIGNALS:
    void ItemsPropertiesUpdated(const DBusMenuItemPropertiesList& updatedProps,
                                const DBusMenuItemKeysList& removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    void announceChange(const ExportedMenu::Change& change);
    bool rejectUnknown(int id);
    void handleEvent(int id, const QString& eventId);

    ExportedMenu* m_menu;
};
