#include "platform/linux/XdgAutostartLoginItem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

// The [Desktop Entry] group's keys; later groups (actions) are not looked at.
QHash<QString, QString> desktopEntryKeys(const QByteArray& text)
{
    QHash<QString, QString> keys;
    bool isInEntry = false;
    for (const QByteArray& raw : text.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(u'[')) {
            isInEntry = line == u"[Desktop Entry]"_s;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (isInEntry && equals > 0 && !line.startsWith(u'#'))
            keys.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return keys;
}

QString quotedArgument(const QString& argument)
{
    // Inside double quotes, desktop entries escape " ` $ and \ with a backslash; the value itself
    // then escapes each backslash once more, and a literal % is %% (a lone % starts a field code).
    QString quoted;
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    QString value = u'"' + quoted + u'"';
    return value.replace(u'\\', u"\\\\"_s).replace(u'%', u"%%"_s);
}

} // namespace

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
    const QHash<QString, QString> keys = desktopEntryKeys(file.read(64 * 1024));
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
        + quotedArgument(executablePath).toUtf8()
        + "\n"
          "Icon=com.kelvandrosi.Tavrink\n"
          "Terminal=false\n"
          "X-GNOME-Autostart-enabled=true\n";
}

QString XdgAutostartLoginItem::execProgram(const QString& exec)
{
    // Undo the value's own escapes first, then read the first argument, quoted or not.
    QString value;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        if (exec.at(i) == u'\\' && i + 1 < exec.size()) {
            const QChar next = exec.at(++i);
            value += next == u's' ? u' ' : next == u'n' ? u'\n' : next == u't' ? u'\t' : next;
        } else {
            value += exec.at(i);
        }
    }
    value = value.trimmed().replace(u"%%"_s, u"%"_s);
    if (!value.startsWith(u'"'))
        return value.section(u' ', 0, 0);
    QString program;
    for (qsizetype i = 1; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == u'"')
            return program;
        if (c == u'\\' && i + 1 < value.size())
            program += value.at(++i);
        else
            program += c;
    }
    return {}; // an unterminated quote
}
