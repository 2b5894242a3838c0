#pragma once

#include "platform/MenuItem.h"

#include <QList>

#include <functional>

class QMenu;

/// Draws menu rows as a QMenu: buttons become enabled actions, labels disabled ones.
namespace QMenuRenderer {

/// Makes the menu show these rows. An action stands for its row's key: a row that is still there
/// keeps its action (an open menu does not flicker under the pointer), and chosen is called with
/// the key of the row the user picks.
void fill(QMenu& menu, const QList<MenuItem>& items, const std::function<void(const QString& key)>& chosen);

} // namespace QMenuRenderer
