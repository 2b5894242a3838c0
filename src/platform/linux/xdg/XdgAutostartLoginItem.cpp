#include "platform/linux/xdg/XdgAutostartLoginItem.h"

#include "platform/linux/xdg/DesktopEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

XdgAutostartLoginItem::XdgAutostartLoginItem(QString autostartFolder, QString executablePath, QString applicationId)
    : m_folder(std::move(autostartFolder))
    , m_executable(std::move(executablePath))
    , m_applicationId(std::move(applicationId))
{
}

QString XdgAutostartLoginItem::standardAutostartFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/autostart"_s;
}

QString XdgAutostartLoginItem::entryPath() const
{
    return m_folder + u'/' + m_applicationId + u".desktop"_s;
}

LoginItemService::Status XdgAutostartLoginItem::status()
{
    QFile file(entryPath());
    if (!file.exists())
        return Status::NotRegistered;
    if (!file.open(QIODevice::ReadOnly))
        return Status::NotFound;
    const QHash<QString, QString> keys = DesktopEntry::keys(file.read(64 * 1024));
    const bool isHidden = keys.value(u"Hidden"_s).compare(u"true"_s, Qt::CaseInsensitive) == 0;
    if (!isHidden && execProgram(keys.value(u"Exec"_s)) == m_executable)
        return Status::Enabled;
    return Status::NotFound;
}

std::optional<QString> XdgAutostartLoginItem::registerItem()
{
    if (!QDir().mkpath(m_folder))
        return u"Could not create the folder %1."_s.arg(m_folder);
    QSaveFile file(entryPath());
    if (!file.open(QIODevice::WriteOnly))
        return u"Could not write %1: %2."_s.arg(entryPath(), file.errorString());
    file.write(entryText(m_executable));
    if (!file.commit())
        return u"Could not write %1: %2."_s.arg(entryPath(), file.errorString());
    return std::nullopt;
}

std::optional<QString> XdgAutostartLoginItem::unregisterItem()
{
    QFile file(entryPath());
    if (file.exists() && !file.remove())
        return u"Could not remove %1: %2."_s.arg(entryPath(), file.errorString());
    return std::nullopt;
}

void XdgAutostartLoginItem::openSettings()
{
    // The desktop's own startup-applications page where one is known; the folder otherwise.
    static const QList<QPair<QString, QStringList>> pages{
        {u"xfce4-session-settings"_s, {}},           {u"gnome-session-properties"_s, {}},
        {u"systemsettings"_s, {u"kcm_autostart"_s}}, {u"mate-session-properties"_s, {}},
        {u"cinnamon-settings"_s, {u"startup"_s}},    {u"lxqt-config-session"_s, {}},
    };
    const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP").toLower();
    for (const auto& [program, arguments] : pages) {
        const QString name = program.section(u'-', 0, 0);
        const bool isThisDesktop = desktop.contains(name == u"systemsettings"_s ? u"kde"_s : name);
        if (isThisDesktop && !QStandardPaths::findExecutable(program).isEmpty()) {
            QProcess::startDetached(program, arguments);
            return;
        }
    }
    QDir().mkpath(m_folder);
    QProcess::startDetached(u"xdg-open"_s, {m_folder});
}

QByteArray XdgAutostartLoginItem::entryText(const QString& executablePath)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Tavrink\n"
           "Comment=Hostname and network addresses in the panel\n"
           "Exec="
        + DesktopEntry::quotedArgument(executablePath).toUtf8()
        + "\n"
          "Icon=com.kelvandrosi.Tavrink\n"
          "Terminal=false\n"
          "X-GNOME-Autostart-enabled=true\n";
}

QString XdgAutostartLoginItem::execProgram(const QString& exec)
{
    return DesktopEntry::execProgram(exec);
}
