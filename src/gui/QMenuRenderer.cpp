#include "gui/QMenuRenderer.h"

#include <QAction>
#include <QHash>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>

namespace {

void applyLook(QAction& action, const MenuItem& item)
{
    action.setSeparator(item.kind == MenuItem::Kind::Separator);
    // "&" would mark a mnemonic and vanish from names such as "R&D".
    action.setText(QString(item.text).replace(u'&', QStringLiteral("&&")));
    action.setEnabled(item.isEnabled());
    action.setIcon(item.iconName.isEmpty() ? QIcon() : QIcon::fromTheme(item.iconName));
    action.setShortcut(item.shortcutKey.isEmpty() ? QKeySequence()
                                                  : QKeySequence(QStringLiteral("Ctrl+") + item.shortcutKey.toUpper()));
}

} // namespace

namespace QMenuRenderer {

void fill(QMenu& menu, const QList<MenuItem>& items, const std::function<void(const QString& key)>& chosen)
{
    QHash<QString, QAction*> existing;
    const QList<QAction*> before = menu.actions();
    for (QAction* action : before) {
        // Keys are unique in a menu; should one repeat, its later rows are made afresh.
        if (existing.contains(action->data().toString()))
            delete action;
        else
            existing.insert(action->data().toString(), action);
    }

    QList<QAction*> ordered;
    ordered.reserve(items.size());
    for (const MenuItem& item : items) {
        QAction* action = existing.take(item.key);
        if (!action) {
            action = new QAction(&menu);
            action->setData(item.key);
            // The action is its own context: a QMenu that takes an action out cuts its links to the menu.
            QObject::connect(action, &QAction::triggered, action, [chosen, key = item.key] { chosen(key); });
        }
        applyLook(*action, item);
        ordered.append(action);
    }
    qDeleteAll(existing);
    if (menu.actions() != ordered) {
        for (QAction* action : ordered)
            menu.removeAction(action);
        menu.addActions(ordered);
    }
}

} // namespace QMenuRenderer
