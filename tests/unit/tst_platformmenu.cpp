// The menu as the platform serves it: the ids DBusMenu hands out for rows across rebuilds, what
// a click with an old id does, what each rebuild announces, and the QMenu of the tray fallback.

#include "gui/QMenuRenderer.h"
#include "platform/linux/panel/DBusMenuDBus.h"
#include "platform/linux/panel/ExportedMenu.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Keys without a colon name fixed places ("settings"); the others are rows of values.
QList<MenuItem> itemsFor(const QStringList& keys)
{
    QList<MenuItem> items;
    for (const QString& key : keys) {
        const bool isSeparator = key.startsWith(u"---"_s);
        items.append({isSeparator ? MenuItem::Kind::Separator : MenuItem::Kind::Button,
                      isSeparator ? QString() : key,
                      {},
                      {},
                      key,
                      !key.contains(u':')});
    }
    return items;
}

MenuItem labelled(const QString& key, const QString& text, MenuItem::Kind kind = MenuItem::Kind::Button,
                  const QString& icon = {})
{
    return {kind, text, icon, {}, key, true};
}

} // namespace

class TestPlatformMenu : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(u".*"_s)); }

    void initTestCase() { registerDBusTypes(); }

    void idsFollowWhatRowsStandFor_data()
    {
        QTest::addColumn<QList<QStringList>>("layouts");
        const QStringList base{u"hostname"_s, u"local:eth0|10.0.0.1"_s, u"---"_s, u"settings"_s, u"quit"_s};
        QTest::newRow("a row inserted above keeps the others' ids") << QList<QStringList>{
            base,
            {u"hostname"_s, u"local:wlan0|10.0.0.2"_s, u"local:eth0|10.0.0.1"_s, u"---"_s, u"settings"_s, u"quit"_s}};
        QTest::newRow("a row removed, and its id names nothing")
            << QList<QStringList>{base, {u"hostname"_s, u"---"_s, u"settings"_s, u"quit"_s}};
        QTest::newRow("the newest row removed, then another added: a new id") << QList<QStringList>{
            base, base + QStringList{u"local:wlan0|10.0.0.2"_s}, base, base + QStringList{u"local:wlan0|10.0.0.3"_s}};
        QTest::newRow("rows reordered keep their ids")
            << QList<QStringList>{{u"hostname"_s, u"local:a|1"_s, u"local:b|2"_s, u"settings"_s},
                                  {u"hostname"_s, u"local:b|2"_s, u"local:a|1"_s, u"settings"_s}};
        QTest::newRow("a value that leaves and comes back is a new row")
            << QList<QStringList>{base, {u"hostname"_s, u"settings"_s}, base};
        QTest::newRow("a fixed place that leaves and comes back keeps its id")
            << QList<QStringList>{{u"tailscale-status"_s, u"settings"_s},
                                  {u"tailscale:100.64.0.1"_s, u"settings"_s},
                                  {u"tailscale-status"_s, u"settings"_s}};
        QTest::newRow("a key repeated in one menu gives two rows")
            << QList<QStringList>{{u"local:a|1"_s, u"local:a|1"_s, u"quit"_s}, {u"local:a|1"_s, u"local:a|1"_s}};
        QList<QStringList> rotating;
        for (int i = 0; i < 50; ++i)
            rotating.append({u"hostname"_s, u"local:eth0|2001:db8::%1"_s.arg(i), u"settings"_s});
        QTest::newRow("privacy addresses rotating") << rotating;
    }
    void idsFollowWhatRowsStandFor()
    {
        QFETCH(QList<QStringList>, layouts);
        ExportedMenu menu;
        QHash<QString, int> fixedIds;
        QHash<QString, int> previousIds;
        QSet<int> everSeen;
        for (const QStringList& layout : layouts) {
            menu.setItems(itemsFor(layout));
            QHash<QString, int> ids;
            QSet<int> idsNow;
            for (const ExportedMenu::Row& row : menu.rows()) {
                const QString& key = row.item.key;
                QVERIFY2(row.id > 0 && !idsNow.contains(row.id), qPrintable(u"id %1 given twice"_s.arg(row.id)));
                idsNow.insert(row.id);
                QCOMPARE(menu.item(row.id).key, key);
                const bool isFirst = !ids.contains(key);
                const QHash<QString, int>& known = row.item.isFixed ? fixedIds : previousIds;
                if (isFirst && known.contains(key))
                    QCOMPARE(row.id, known.value(key));
                else
                    QVERIFY2(!everSeen.contains(row.id), qPrintable(key + u" took an id given before"_s));
                if (isFirst)
                    ids.insert(key, row.id);
                if (isFirst && row.item.isFixed && !fixedIds.contains(key))
                    fixedIds.insert(key, row.id);
            }
            for (const int old : std::as_const(everSeen))
                QCOMPARE(menu.contains(old), idsNow.contains(old));
            everSeen.unite(idsNow);
            previousIds = ids;
        }
    }

    void clicksResolveAsTheyArrive()
    {
        ExportedMenu menu;
        QList<MenuItem> items = itemsFor({u"local:eth0|10.0.0.1"_s, u"---"_s, u"settings"_s, u"quit"_s});
        items.prepend(labelled(u"public-address"_s, u"Public IP unavailable"_s, MenuItem::Kind::Label));
        menu.setItems(items);
        QHash<QString, int> ids;
        for (const ExportedMenu::Row& row : menu.rows())
            ids.insert(row.item.key, row.id);
        items.removeAt(1);
        items.append(itemsFor({u"local:eth1|10.0.0.2"_s}));
        menu.setItems(items);
        QSignalSpy chosen(&menu, &ExportedMenu::chosen);
        // A row removed since, a disabled row, a separator, the root, and ids no row ever had.
        for (const int id : {ids[u"local:eth0|10.0.0.1"_s], ids[u"public-address"_s], ids[u"---"_s], 0, -3, 2147483647})
            menu.click(id);
        QVERIFY(chosen.isEmpty());
        menu.click(ids[u"settings"_s]);
        QCOMPARE(chosen.size(), 1); // at once, as the click arrives
        QCOMPARE(chosen.first().first().toString(), u"settings"_s);
    }

    void changesAreAnnounced_data()
    {
        QTest::addColumn<QList<MenuItem>>("after");
        QTest::addColumn<bool>("isLayoutUpdated");
        QTest::addColumn<QStringList>("updated"); // key: property names removed
        const MenuItem host = labelled(u"hostname"_s, u"Hostname: studio"_s, MenuItem::Kind::Button, u"computer"_s);
        const MenuItem quit = labelled(u"quit"_s, u"Quit Tavrink"_s);
        QTest::newRow("nothing changed") << QList<MenuItem>{host, quit} << false << QStringList{};
        QTest::newRow("a label changed in place") << QList<MenuItem>{
            labelled(u"hostname"_s, u"Hostname: studio.example.com"_s, MenuItem::Kind::Button, u"computer"_s),
            quit} << false << QStringList{u"hostname:"_s};
        QTest::newRow("an icon taken away") << QList<MenuItem>{labelled(u"hostname"_s, u"Hostname: studio"_s), quit}
                                            << false << QStringList{u"hostname:icon-name"_s};
        QTest::newRow("a row inserted") << QList<MenuItem>{host, itemsFor({u"local:a|1"_s}).at(0), quit} << true
                                        << QStringList{};
        QTest::newRow("rows swapped") << QList<MenuItem>{quit, host} << true << QStringList{};
        QTest::newRow("a row removed, another relabelled")
            << QList<MenuItem>{labelled(u"quit"_s, u"Quit"_s)} << true << QStringList{u"quit:"_s};
    }
    void changesAreAnnounced()
    {
        QFETCH(QList<MenuItem>, after);
        QFETCH(bool, isLayoutUpdated);
        QFETCH(QStringList, updated);
        ExportedMenu menu;
        const auto* adaptor = new DBusMenuDBus(&menu);
        menu.setItems({labelled(u"hostname"_s, u"Hostname: studio"_s, MenuItem::Kind::Button, u"computer"_s),
                       labelled(u"quit"_s, u"Quit Tavrink"_s)});
        const uint revision = menu.revision();
        QSignalSpy layouts(adaptor, &DBusMenuDBus::LayoutUpdated);
        QSignalSpy properties(adaptor, &DBusMenuDBus::ItemsPropertiesUpdated);
        menu.setItems(after);

        QCOMPARE(layouts.count(), isLayoutUpdated ? 1 : 0);
        if (isLayoutUpdated)
            QCOMPARE(layouts.at(0).at(0).toUInt(), menu.revision());
        QCOMPARE(menu.revision() > revision, isLayoutUpdated || !updated.isEmpty());
        QStringList announced;
        if (!properties.isEmpty()) {
            const auto changed = properties.at(0).at(0).value<DBusMenuItemPropertiesList>();
            const auto removed = properties.at(0).at(1).value<DBusMenuItemKeysList>();
            for (const DBusMenuItemProperties& item : changed) {
                QCOMPARE(item.properties, DBusMenuDBus::properties(menu.item(item.id)));
                QStringList gone;
                for (const DBusMenuItemKeys& keys : removed)
                    gone += keys.id == item.id ? keys.names : QStringList();
                announced << menu.item(item.id).key + u':' + gone.join(u',');
            }
        }
        QCOMPARE(announced, updated);
    }

    void trayMenuActionsStandForTheirRows()
    {
        QMenu menu;
        QStringList chosen;
        const auto choose = [&chosen](const QString& key) { chosen << key; };
        QMenuRenderer::fill(menu, itemsFor({u"hostname"_s, u"local:eth0|10.0.0.1"_s, u"---"_s, u"settings"_s}), choose);
        const QPointer<QAction> settings = menu.actions().at(3);
        const QPointer<QAction> removed = menu.actions().at(1);

        QList<MenuItem> rebuilt = itemsFor({u"hostname"_s, u"local:wlan0|10.0.0.2"_s, u"---"_s, u"settings"_s});
        rebuilt.append(labelled(u"quit"_s, u"Quit R&D"_s));
        QMenuRenderer::fill(menu, rebuilt, choose);
        QVERIFY(removed.isNull());
        QStringList texts;
        const QList<QAction*> actions = menu.actions();
        for (const QAction* action : actions)
            texts << (action->isSeparator() ? u"---"_s : action->text());
        QCOMPARE(texts,
                 (QStringList{u"hostname"_s, u"local:wlan0|10.0.0.2"_s, u"---"_s, u"settings"_s, u"Quit R&&D"_s}));
        QVERIFY(settings);
        settings->trigger();
        menu.actions().at(1)->trigger();
        QCOMPARE(chosen, (QStringList{u"settings"_s, u"local:wlan0|10.0.0.2"_s}));
    }
};

QTEST_MAIN(TestPlatformMenu)
#include "tst_platformmenu.moc"
