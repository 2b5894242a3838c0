#pragma once

#include "platform/MenuItem.h"

#include <QList>

#include <functional>

class QMenu;

/// Draws menu rows as a QMenu: buttons become enabled actions, labels disabled ones.
namespace QMenuRenderer {

/// Replaces the menu's actions; chosen is called with the index of the row the user picks.
void fill(QMenu& menu, const QList<MenuItem>& items, const std::function<void(int index)>& chosen);

} // namespace QMenuRenderer
