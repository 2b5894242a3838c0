#pragma once

#include <QFont>

class QWidget;

/// Text styles by role, derived from the application font.
namespace FontRoles {

QFont title2(); // × 1.5, semibold
QFont callout(); // × 0.95
QFont caption(); // × 0.85
QFont monospacedCaption();
/// Draws the widget's text in the secondary colour.
void makeSecondary(QWidget& widget);

} // namespace FontRoles
