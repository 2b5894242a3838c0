#include "app/MenubarIcon.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace MenubarIcon {

QList<QImage> load(const QString& resourcesPath)
{
    struct Row {
        QString suffix;
        int scale;
    };
    static const Row rows[] = {{u""_s, 1}, {u"@2x"_s, 2}, {u"@3x"_s, 3}};
    QList<QImage> representations;
    for (const Row& row : rows) {
        QFile file(resourcesPath + u"/MenubarIconTemplate"_s + row.suffix + u".png"_s);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QImage image = QImage::fromData(file.readAll(), "PNG");
        if (image.isNull())
            continue;
        image.setDevicePixelRatio(row.scale);
        representations.append(image);
    }
    return representations;
}

QSize pointSize(const QImage& representation)
{
    const int scale = qRound(representation.devicePixelRatio());
    return {representation.width() / scale, representation.height() / scale};
}

} // namespace MenubarIcon
