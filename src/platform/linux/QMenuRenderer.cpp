#include "platform/linux/QMenuRenderer.h"

#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>

namespace QMenuRenderer {

void fill(QMenu& menu, const QList<MenuItem>& items, const std::function<void(int index)>& chosen)
{
    menu.clear();
    for (qsizetype index = 0; index < items.size(); ++index) {
        const MenuItem& item = items.at(index);
        if (item.kind == MenuItem::Kind::Separator) {
            menu.addSeparator();
            continue;
        }
        // "&" would mark a mnemonic and vanish from names such as "R&D".
        QAction* action = menu.addAction(QString(item.text).replace(u'&', QStringLiteral("&&")));
        action->setEnabled(item.isEnabled());
        if (!item.iconName.isEmpty())
            action->setIcon(QIcon::fromTheme(item.iconName));
        if (!item.shortcutKey.isEmpty())
            action->setShortcut(QKeySequence(QStringLiteral("Ctrl+") + item.shortcutKey.toUpper()));
        QObject::connect(action, &QAction::triggered, &menu, [chosen, index] { chosen(static_cast<int>(index)); });
    }
}

} // namespace QMenuRenderer
