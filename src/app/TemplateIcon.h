#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

/// The panel item's template icon: 18 by 18 points, from MenubarIconTemplate.png, @2x and @3x.
/// A template is a mask: only its alpha channel counts. Panels do not tint pictures, so the panel
/// item draws the shape itself, in colours that read on light and dark panels.
namespace TemplateIcon {

/// The side of the icon, in points.
constexpr int points = 18;

/// The PNG files of the representations found in the folder, in the order 1x, 2x, 3x, read as
/// they are; missing files and files that are not PNG are left out.
QList<QByteArray> files(const QString& resourcesPath);
/// Reads the representations found in the folder, in the order 1x, 2x, 3x; each image carries
/// its scale as device pixel ratio, and its size in points is its pixel size divided by the
/// scale, rounded down. Missing or undecodable files are left out.
QList<QImage> load(const QString& resourcesPath);
/// The size of a representation in points.
QSize pointSize(const QImage& representation);

} // namespace TemplateIcon
