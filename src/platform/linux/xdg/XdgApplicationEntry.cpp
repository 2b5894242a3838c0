#include "platform/linux/xdg/XdgApplicationEntry.h"

#include "platform/linux/xdg/DesktopEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include <variant>

using namespace Qt::StringLiterals;

namespace {

// Writes the file unless it holds exactly this already: whether it was written, or the error.
std::variant<bool, QString> writeIfChanged(const QString& path, const QByteArray& contents)
{
    QFile current(path);
    if (current.open(QIODevice::ReadOnly) && current.read(contents.size() + 1) == contents)
        return false;
    if (!QDir().mkpath(QFileInfo(path).path()))
        return u"Could not create the folder %1."_s.arg(QFileInfo(path).path());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size() || !file.commit())
        return u"Could not write %1: %2."_s.arg(path, file.errorString());
    return true;
}

} // namespace

XdgApplicationEntry::XdgApplicationEntry(QString dataFolder, QString bundlePath, QString executablePath,
                                         QString applicationId)
    : m_dataFolder(std::move(dataFolder))
    , m_bundle(std::move(bundlePath))
    , m_executable(std::move(executablePath))
    , m_applicationId(std::move(applicationId))
{
}

QString XdgApplicationEntry::standardDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString XdgApplicationEntry::entryPath() const
{
    return m_dataFolder + u"/applications/"_s + m_applicationId + u".desktop"_s;
}

QString XdgApplicationEntry::serviceFilePath() const
{
    return m_dataFolder + u"/dbus-1/services/"_s + m_applicationId + u".service"_s;
}

QString XdgApplicationEntry::serviceExec(const QString& executablePath)
{
    // D-Bus reads Exec as a shell would split it: one single-quoted word, a quote as '\''.
    return u'\'' + QString(executablePath).replace(u"'"_s, u"'\\''"_s) + u'\'';
}

std::optional<QString> XdgApplicationEntry::registerCopy()
{
    const QString bundled = m_bundle + u"/share/applications/"_s + m_applicationId + u".desktop"_s;
    QFile source(bundled);
    if (!source.open(QIODevice::ReadOnly))
        return u"Could not read %1: %2."_s.arg(bundled, source.errorString());
    const QByteArray entry
        = DesktopEntry::withKeys(source.read(64 * 1024),
                                 {{u"Exec"_s, DesktopEntry::quotedArgument(m_executable) + u" %u"_s},
                                  {u"Icon"_s, m_bundle + u"/share/"_s + m_applicationId + u".png"_s}});
    const auto written = writeIfChanged(entryPath(), entry);
    if (const auto* error = std::get_if<QString>(&written))
        return *error;
    // The desktop finds the handler of tavrink: links in the folder's cache.
    const QString cacheTool = QStandardPaths::findExecutable(u"update-desktop-database"_s);
    if (std::get<bool>(written) && !cacheTool.isEmpty())
        QProcess::startDetached(cacheTool, {u"-q"_s, QFileInfo(entryPath()).path()});
    const QByteArray service
        = "[D-BUS Service]\nName=" + m_applicationId.toUtf8() + "\nExec=" + serviceExec(m_executable).toUtf8() + '\n';
    const auto serviceWritten = writeIfChanged(serviceFilePath(), service);
    if (const auto* error = std::get_if<QString>(&serviceWritten))
        return *error;
    // The panel icon in the user's icon theme, where a host that looks it up by name finds it
    // (a bundle without one has nothing to offer).
    const QString symbolic = u"/icons/hicolor/scalable/status/tavrink-symbolic.svg"_s;
    QFile icon(m_bundle + u"/share"_s + symbolic);
    if (!icon.exists())
        return std::nullopt;
    if (!icon.open(QIODevice::ReadOnly))
        return u"Could not read %1: %2."_s.arg(icon.fileName(), icon.errorString());
    const auto iconWritten = writeIfChanged(m_dataFolder + symbolic, icon.read(256 * 1024));
    if (const auto* error = std::get_if<QString>(&iconWritten))
        return *error;
    return std::nullopt;
}
