#include "Release.h"

#include "bundle/BundleInfo.h"
#include "bundle/BundleInstaller.h"
#include "verify/CodeSignature.h"
#include "verify/UpdateArchive.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QUrl>

#include <archive.h>
#include <archive_entry.h>
#include <climits>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace Release {
namespace {

std::optional<QByteArray> readKeyFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.read(4096);
}

struct stat statOf(const QString& path)
{
    struct stat info { };
    lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

} // namespace

std::variant<Minisign::SecretKey, QString> readSecretKey(const QString& path)
{
    const std::optional<QByteArray> text = readKeyFile(path);
    if (!text)
        return u"%1 cannot be read."_s.arg(path);
    auto key = Minisign::parseSecretKey(*text, qgetenv("MINISIGN_PASSWORD"));
    if (const QString* error = std::get_if<QString>(&key))
        return u"%1: %2"_s.arg(path, *error);
    return key;
}

std::variant<Minisign::PublicKey, QString> readPublicKey(const QString& path)
{
    const std::optional<QByteArray> text = readKeyFile(path);
    const std::optional<Minisign::PublicKey> key = text ? Minisign::parsePublicKey(*text) : std::nullopt;
    if (!key)
        return u"%1 is not a minisign public key file."_s.arg(path);
    return *key;
}

std::optional<QString> signBundle(const QString& bundlePath, const Minisign::SecretKey& key)
{
    const QString version
        = BundleInfo::infoString(u"CFBundleShortVersionString"_s, BundleInfo::executable(bundlePath)).value_or(u"?"_s);
    QDir(bundlePath + u'/' + QLatin1String(CodeSignature::folder)).removeRecursively();
    return CodeSignature::sign(
        bundlePath, key,
        u"Tavrink %1, signed %2"_s.arg(version, QDateTime::currentDateTimeUtc().toString(Qt::ISODate)));
}

std::optional<QString> zipBundle(const QString& bundlePath, const QString& archivePath)
{
    const std::unique_ptr<archive, int (*)(archive*)> writer(archive_write_new(), archive_write_free);
    archive_write_set_format_zip(writer.get());
    if (archive_write_open_filename(writer.get(), QFile::encodeName(archivePath).constData()) != ARCHIVE_OK)
        return u"%1 cannot be written: %2"_s.arg(archivePath, QString::fromUtf8(archive_error_string(writer.get())));
    const std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry(archive_entry_new(), archive_entry_free);
    QStringList paths = BundleInstaller::contents(bundlePath);
    paths.prepend(QString());
    for (const QString& relative : std::as_const(paths)) {
        const QString path = relative.isEmpty() ? bundlePath : bundlePath + u'/' + relative;
        const struct stat info = statOf(path);
        archive_entry_clear(entry.get());
        archive_entry_copy_pathname(
            entry.get(),
            QFile::encodeName(relative.isEmpty() ? u"Tavrink.app/"_s : u"Tavrink.app/"_s + relative).constData());
        archive_entry_set_perm(entry.get(), info.st_mode & 07777);
        archive_entry_set_mtime(entry.get(), info.st_mtime, 0);
        QFile file(path);
        if (S_ISLNK(info.st_mode)) {
            archive_entry_set_filetype(entry.get(), AE_IFLNK);
            archive_entry_copy_symlink(entry.get(), BundleInstaller::linkTarget(QFile::encodeName(path)).constData());
        } else if (S_ISDIR(info.st_mode)) {
            archive_entry_set_filetype(entry.get(), AE_IFDIR);
        } else {
            archive_entry_set_filetype(entry.get(), AE_IFREG);
            archive_entry_set_size(entry.get(), info.st_size);
            if (!file.open(QIODevice::ReadOnly))
                return u"%1 cannot be read."_s.arg(path);
        }
        if (archive_write_header(writer.get(), entry.get()) != ARCHIVE_OK)
            return u"%1 cannot be zipped: %2"_s.arg(path, QString::fromUtf8(archive_error_string(writer.get())));
        while (file.isOpen() && !file.atEnd()) {
            const QByteArray block = file.read(1 << 20);
            if (archive_write_data(writer.get(), block.constData(), size_t(block.size())) != block.size())
                return u"%1 cannot be zipped: %2"_s.arg(path, QString::fromUtf8(archive_error_string(writer.get())));
        }
    }
    if (archive_write_close(writer.get()) != ARCHIVE_OK)
        return u"%1 cannot be written: %2"_s.arg(archivePath, QString::fromUtf8(archive_error_string(writer.get())));
    return std::nullopt;
}

std::variant<Made, QString> make(const QString& bundlePath, const Minisign::SecretKey& key, const QString& urlBase,
                                 const QString& outDir, const std::optional<QString>& notes)
{
    QUrl base(urlBase, QUrl::StrictMode);
    if (!base.isValid() || base.scheme() != u"https"_s || base.host().isEmpty())
        return u"%1 is not an https address."_s.arg(urlBase);
    const std::optional<QString> version
        = BundleInfo::infoString(u"CFBundleShortVersionString"_s, BundleInfo::executable(bundlePath));
    if (!version || version->isEmpty() || version->contains(u'/'))
        return u"%1 is not a Tavrink bundle: its Info.json has no usable version."_s.arg(bundlePath);
    QTemporaryDir staging;
    const QString staged = staging.filePath(u"Tavrink.app"_s);
    if (const auto error = BundleInstaller::copy(bundlePath, staged))
        return *error;
    if (const auto error = signBundle(staged, key))
        return *error;
    if (!QDir().mkpath(outDir))
        return u"%1 cannot be made."_s.arg(outDir);
    const QString name = u"Tavrink-%1.zip"_s.arg(*version);
    Made made{QDir(outDir).filePath(name), QDir(outDir).filePath(u"appcast.json"_s)};
    QFile::remove(made.archivePath);
    if (const auto error = zipBundle(staged, made.archivePath))
        return *error;
    // What is published must pass what the application will do with it.
    const auto checked
        = UpdateArchive::prepare(made.archivePath, staging.filePath(u"check"_s), key.publicKey(), version);
    if (const auto* failure = std::get_if<UpdateArchive::Failure>(&checked))
        return u"The archive made fails its own check: %1 (%2)"_s.arg(failure->message, failure->detail);
    if (!base.path().endsWith(u'/'))
        base.setPath(base.path() + u'/');
    QJsonObject manifest{{u"version"_s, *version}, {u"url"_s, base.resolved(QUrl(name)).toString()}};
    if (notes)
        manifest.insert(u"notes"_s, *notes);
    QSaveFile file(made.manifestPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(manifest).toJson()) < 0 || !file.commit())
        return u"%1 cannot be written."_s.arg(made.manifestPath);
    return made;
}

} // namespace Release
