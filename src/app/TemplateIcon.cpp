#include "app/TemplateIcon.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace TemplateIcon {

namespace {

constexpr int scales = 3;

QString fileName(const QString& resourcesPath, int scale)
{
    return resourcesPath + u"/MenubarIconTemplate"_s + (scale == 1 ? QString() : u"@%1x"_s.arg(scale)) + u".png"_s;
}

} // namespace

QList<QByteArray> files(const QString& resourcesPath)
{
    QList<QByteArray> pngs;
    for (int scale = 1; scale <= scales; ++scale) {
        QFile file(fileName(resourcesPath, scale));
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        if (bytes.startsWith("\x89PNG\r\n\x1a\n"))
            pngs.append(bytes);
    }
    return pngs;
}

QList<QImage> load(const QString& resourcesPath)
{
    QList<QImage> representations;
    for (int scale = 1; scale <= scales; ++scale) {
        QImage image(fileName(resourcesPath, scale), "PNG");
        if (image.isNull())
            continue;
        image.setDevicePixelRatio(scale);
        representations.append(image);
    }
    return representations;
}

QSize pointSize(const QImage& representation)
{
    const int scale = qRound(representation.devicePixelRatio());
    return {representation.width() / scale, representation.height() / scale};
}

} // namespace TemplateIcon
