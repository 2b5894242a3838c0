#include "gui/FontRoles.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPalette>
#include <QWidget>

namespace {

QFont scaled(QFont font, double factor)
{
    font.setPointSizeF(font.pointSizeF() * factor);
    return font;
}

} // namespace

namespace FontRoles {

QFont title2()
{
    QFont font = scaled(QApplication::font(), 1.5);
    font.setWeight(QFont::DemiBold);
    return font;
}

QFont callout()
{
    return scaled(QApplication::font(), 0.95);
}

QFont caption()
{
    return scaled(QApplication::font(), 0.85);
}

QFont monospacedCaption()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(QApplication::font().pointSizeF() * 0.85);
    return font;
}

void makeSecondary(QWidget& widget)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
    widget.setPalette(palette);
}

} // namespace FontRoles
