#include "platform/linux/panel/PanelPictures.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>

namespace PanelPictures {
namespace {

const QColor kForeground(0xee, 0xee, 0xee);
const QColor kOutline(0x23, 0x26, 0x29);

QImage filled(QImage shape, const QColor& colour)
{
    QPainter painter(&shape);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(shape.rect(), colour);
    return shape;
}

} // namespace

QImage outlined(const QImage& shape, int width)
{
    // Drawn in pixels: the copies are offset by whole pixels, whatever the scale.
    QImage mask = shape.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    mask.setDevicePixelRatio(1);
    const QImage outline = filled(mask, kOutline);
    QImage result(mask.size(), QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    {
        QPainter painter(&result);
        for (int dy = -width; dy <= width; ++dy) {
            for (int dx = -width; dx <= width; ++dx) {
                if (dx * dx + dy * dy <= width * width + width)
                    painter.drawImage(dx, dy, outline);
            }
        }
        painter.drawImage(0, 0, filled(mask, kForeground));
    }
    result.setDevicePixelRatio(shape.devicePixelRatio());
    return result;
}

QImage icon(const QByteArray& templatePng)
{
    const QImage shape = QImage::fromData(templatePng, "PNG");
    // 18 px at 1x, 36 at 2x, 54 at 3x: an outline of one pixel a scale.
    return outlined(shape, std::max(1, shape.width() / 18));
}

QImage text(const QString& text, int scale)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setWeight(QFont::DemiBold);
    font.setPixelSize(13 * scale);
    const QFontMetrics metrics(font);
    QImage image(metrics.horizontalAdvance(text) + 4 * scale, panelHeight * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(kForeground);
        painter.drawText(image.rect(), Qt::AlignCenter, text);
    }
    return outlined(image, scale);
}

} // namespace PanelPictures
