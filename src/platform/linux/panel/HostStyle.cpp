#include "platform/linux/panel/HostStyle.h"

#include "platform/SmallFile.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace HostStyle {

namespace {
const QStringList kIndicatorServices{u"ayatana-indicator-application-service"_s, u"indicator-application-service"_s};
}

Style of(const QStringList& commandLine)
{
    // MATE's notification area applet is its watcher, and draws the label (1.28 draws a picture too).
    static const QStringList labelHosts
        = kIndicatorServices + QStringList{u"gnome-shell"_s, u"notification-area-applet"_s};
    // Plasma's watcher lives in kded; LXQt's is the panel itself; xfce4-panel's systray plugin
    // runs in the panel's plugin wrapper.
    static const QStringList recolouringHosts{u"kded5"_s, u"kded6"_s};
    static const QStringList squaringHosts{u"lxqt-panel"_s};
    const QString program = QFileInfo(commandLine.value(0)).fileName();
    if (labelHosts.contains(program))
        return Style::Label;
    if (recolouringHosts.contains(program))
        return Style::SymbolicIcon;
    if (squaringHosts.contains(program)
        || (program.startsWith(u"wrapper-"_s) && QFileInfo(commandLine.value(1)).fileName() == u"libsystray.so"_s))
        return Style::SquarePicture;
    return Style::WidePicture;
}

bool passesToIndicators(const QStringList& commandLine)
{
    return kIndicatorServices.contains(QFileInfo(commandLine.value(0)).fileName());
}

bool losesFirstLabel(const QStringList& commandLine)
{
    return QFileInfo(commandLine.value(0)).fileName() == u"gnome-shell"_s;
}

bool missesEarlyItems(const QStringList& commandLine)
{
    return QFileInfo(commandLine.value(0)).fileName() == u"waybar"_s;
}

bool showsIndicators(const QStringList& desktops)
{
    // Budgie's panel has a tray of its own and no indicator applet, yet the indicator service's
    // autostart names it.
    return !desktops.contains(u"Budgie"_s, Qt::CaseInsensitive);
}

QStringList commandLine(uint pid)
{
    QStringList arguments;
    const QByteArray text = readSmallFile(u"/proc/%1/cmdline"_s.arg(pid), 64 * 1024).value_or(QByteArray());
    for (const QByteArray& argument : text.split('\0'))
        arguments.append(QString::fromLocal8Bit(argument));
    return arguments;
}

} // namespace HostStyle
