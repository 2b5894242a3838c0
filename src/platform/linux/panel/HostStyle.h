#pragma once

#include <QStringList>

/// How a panel shows an item's label and picture, guessed from the process that hosts the
/// StatusNotifierWatcher, since no host says it.
namespace HostStyle {

enum class Style {
    WidePicture, ///< draws the pixmap at its own width: the hostname is drawn into it
    Label, ///< draws XAyatanaLabel as text beside a (transparent) icon
    SquarePicture, ///< squeezes every pixmap into a square: the icon, the hostname in the tooltip
    SymbolicIcon, ///< as SquarePicture, and draws a symbolic icon in its own text colour (Plasma)
};

/// The style of the host whose process has this command line.
Style of(const QStringList& commandLine);
/// Whether the watcher with this command line hands items on to indicator applets, which only
/// some panels have, and says that a host reads it whether one does or not.
bool passesToIndicators(const QStringList& commandLine);
/// Whether the watcher with this command line may show an item without the label it read at its
/// registration (GNOME Shell's AppIndicator extension, now and then, since GNOME 45), and reads the
/// label again when the item registers again.
bool losesFirstLabel(const QStringList& commandLine);
/// Whether the watcher with this command line may never show an item that registered while its
/// host was starting (waybar's: the announcement comes before the host listens, and the list it
/// reads is the one from before), and announces only a name it does not list yet.
bool missesEarlyItems(const QStringList& commandLine);
/// Whether the panels of the desktop (XDG_CURRENT_DESKTOP's names) may have an indicator applet.
bool showsIndicators(const QStringList& desktops);
/// The command line of a process (/proc/PID/cmdline); empty when it cannot be read.
QStringList commandLine(uint pid);

} // namespace HostStyle
