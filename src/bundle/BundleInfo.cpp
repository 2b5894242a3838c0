#include "bundle/BundleInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace BundleInfo {

QString currentExecutable()
{
    return QFileInfo(u"/proc/self/exe"_s).canonicalFilePath();
}

QString bundlePath(const QString& executablePath)
{
    QDir bundle = QFileInfo(executablePath).absoluteDir();
    if (!bundle.cdUp() || !QFileInfo::exists(bundle.filePath(u"Info.json"_s)))
        return {};
    return bundle.absolutePath();
}

QString resourcesPath(const QString& executablePath)
{
    const QString bundle = bundlePath(executablePath);
    if (bundle.isEmpty())
        return QFileInfo(executablePath).absolutePath();
    return bundle + u"/share"_s;
}

QString executable(const QString& bundlePath)
{
    return bundlePath + u"/bin/tavrink"_s;
}

QString updateHelper(const QString& bundlePath)
{
    return bundlePath + u"/libexec/tavrink-update-helper"_s;
}

std::optional<QString> infoString(const QString& key, const QString& executablePath)
{
    const QString bundle = bundlePath(executablePath);
    QFile file(bundle + u"/Info.json"_s);
    if (bundle.isEmpty() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonValue value = QJsonDocument::fromJson(file.read(64 * 1024)).object().value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

bool isSelfManaged(const QString& bundlePath)
{
    return !bundlePath.isEmpty() && !isPackaged(bundlePath);
}

QString versionLine(const std::optional<QString>& shortVersion, const std::optional<QString>& build)
{
    return u"Version %1 (%2)"_s.arg(shortVersion.value_or(u"?"_s), build.value_or(u"?"_s));
}

QString versionLine()
{
    return versionLine(infoString(u"CFBundleShortVersionString"_s), infoString(u"CFBundleVersion"_s));
}

bool isPackaged(const QString& bundlePath)
{
    return !bundlePath.isEmpty()
        && !infoString(QString::fromLatin1(distributionKey), executable(bundlePath)).value_or(QString()).isEmpty();
}

} // namespace BundleInfo
