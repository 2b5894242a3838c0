#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

/// The pictures the panel item draws itself, for hosts that show a pixmap or a picture file as
/// it is. Such a host tells nothing of its colours, and its panel may be light or dark, so every
/// picture is drawn light with a dark outline: the shape reads on a dark panel, the outline on a
/// light one.
namespace PanelPictures {

/// The height of a panel picture at scale 1, in pixels.
constexpr int panelHeight = 22;

/// The shape, light, in a dark outline this many pixels wide; the size and scale stay.
QImage outlined(const QImage& shape, int width);
/// The template icon (only its alpha counts) as a panel picture.
QImage icon(const QByteArray& templatePng);
/// The text as a panel picture panelHeight high at this scale, as wide as the text needs.
QImage text(const QString& text, int scale);

} // namespace PanelPictures
