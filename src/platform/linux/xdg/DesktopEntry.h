#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

/// Reading and writing freedesktop.org desktop entries (autostart and application entries).
namespace DesktopEntry {

/// The [Desktop Entry] group's keys; later groups (actions) are not looked at.
QHash<QString, QString> keys(const QByteArray& text);
/// One Exec argument, escaped (and quoted where it holds a reserved character) so that it
/// reaches the program exactly as given.
QString quotedArgument(const QString& argument);
/// The program of an Exec value (its first argument, unquoted); empty when it cannot be read.
QString execProgram(const QString& exec);
/// The entry with each of these keys of its [Desktop Entry] group set to the value (values
/// written as they are given), keys it lacks added at the group's end.
QByteArray withKeys(const QByteArray& text, const QHash<QString, QString>& values);

} // namespace DesktopEntry
