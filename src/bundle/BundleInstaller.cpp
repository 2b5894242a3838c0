#include "bundle/BundleInstaller.h"

#include "platform/BundleReplacer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <variant>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace BundleInstaller {

QString systemError()
{
    return QString::fromLocal8Bit(strerror(errno));
}

namespace {

bool move(const QString& from, const QString& to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// A new copy is made beside the one it replaces (on the same file system) under this name and
// the process's id.
constexpr auto stagingPrefix = u".Tavrink.app.new-";

} // namespace

QString stagingPath(const QString& installedBundle)
{
    return QFileInfo(installedBundle).absolutePath() + u'/' + QString::fromUtf16(stagingPrefix)
        + QString::number(QCoreApplication::applicationPid());
}

void clearAbandonedStaging(const QString& folder)
{
    const QString prefix = QString::fromUtf16(stagingPrefix);
    const QStringList names = QDir(folder).entryList({prefix + u'*'}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        bool isNumber = false;
        const pid_t owner = name.mid(prefix.size()).toInt(&isNumber);
        if (isNumber && owner > 0 && kill(owner, 0) != 0 && errno == ESRCH)
            remove(folder + u'/' + name);
    }
}

// A rename, or a copy and removal where the two lie on different file systems.
std::optional<QString> relocate(const QString& from, const QString& to)
{
    if (move(from, to))
        return std::nullopt;
    if (errno != EXDEV)
        return u"%1 cannot be moved to %2: %3"_s.arg(from, to, systemError());
    if (const auto error = copy(from, to)) {
        remove(to);
        return error;
    }
    remove(from);
    return std::nullopt;
}

QByteArray linkTarget(const QByteArray& path)
{
    QByteArray target(PATH_MAX, '\0');
    const ssize_t length = readlink(path.constData(), target.data(), target.size());
    target.truncate(length > 0 ? length : 0);
    return target;
}

namespace {

void walkFolder(const QByteArray& root, const QByteArray& relative, const Visitor& visit,
                std::optional<QByteArray>& unreadable, bool& isStopped)
{
    DIR* dir = opendir(relative.isEmpty() ? root.constData() : (root + '/' + relative).constData());
    if (!dir) {
        if (!unreadable)
            unreadable = relative.isEmpty() ? QByteArray(".") : relative;
        return;
    }
    QList<QByteArray> names;
    while (const dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
            names.append(entry->d_name);
    }
    closedir(dir);
    for (const QByteArray& name : std::as_const(names)) {
        const QByteArray child = relative.isEmpty() ? name : relative + '/' + name;
        struct stat info { };
        if (lstat((root + '/' + child).constData(), &info) != 0) {
            if (!unreadable)
                unreadable = child;
            continue;
        }
        const Step step = visit(child, info.st_mode);
        if (step == Step::Go && S_ISDIR(info.st_mode))
            walkFolder(root, child, visit, unreadable, isStopped);
        if (step == Step::Stop || isStopped) {
            isStopped = true;
            return;
        }
    }
}

} // namespace

std::optional<QByteArray> walk(const QByteArray& root, const Visitor& visit)
{
    std::optional<QByteArray> unreadable;
    bool isStopped = false;
    walkFolder(root, {}, visit, unreadable, isStopped);
    return unreadable;
}

void remove(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info { };
    if (lstat(name.constData(), &info) != 0)
        return;
    if (!S_ISDIR(info.st_mode)) {
        unlink(name.constData());
        return;
    }
    // A folder left read-only (as an archive may ask) is opened up before it is read, or nothing
    // in it could go; then everything goes, what a folder holds before the folder.
    const auto openUp = [](const QByteArray& folder, mode_t mode) {
        if ((mode & S_IRWXU) != S_IRWXU)
            chmod(folder.constData(), (mode & 07777) | S_IRWXU);
    };
    openUp(name, info.st_mode);
    QList<std::pair<QByteArray, bool>> found;
    walk(name, [&](const QByteArray& relative, mode_t mode) {
        const QByteArray child = name + '/' + relative;
        if (S_ISDIR(mode))
            openUp(child, mode);
        found.append({child, S_ISDIR(mode)});
        return Step::Go;
    });
    for (auto entry = found.crbegin(); entry != found.crend(); ++entry) {
        if (entry->second)
            rmdir(entry->first.constData());
        else
            unlink(entry->first.constData());
    }
    rmdir(name.constData());
}

QStringList contents(const QString& bundlePath)
{
    QStringList paths;
    walk(QFile::encodeName(bundlePath), [&](const QByteArray& relative, mode_t) {
        paths << QFile::decodeName(relative);
        return Step::Go;
    });
    paths.sort();
    return paths;
}

std::optional<QString> copy(const QString& bundlePath, const QString& destination)
{
    if (mkdir(QFile::encodeName(destination).constData(), 0700) != 0)
        return u"%1 cannot be made: %2"_s.arg(destination, systemError());
    const QStringList paths = contents(bundlePath);
    for (const QString& relative : std::as_const(paths)) {
        const QByteArray from = QFile::encodeName(bundlePath + u'/' + relative);
        const QByteArray to = QFile::encodeName(destination + u'/' + relative);
        struct stat info { };
        bool isCopied = lstat(from.constData(), &info) == 0;
        if (isCopied && S_ISLNK(info.st_mode)) {
            const QByteArray target = linkTarget(from);
            isCopied = !target.isEmpty() && symlink(target.constData(), to.constData()) == 0;
        } else if (isCopied && S_ISDIR(info.st_mode)) {
            isCopied = mkdir(to.constData(), 0700) == 0;
        } else if (isCopied) {
            QFile source(QFile::decodeName(from));
            QFile target(QFile::decodeName(to));
            isCopied = source.open(QIODevice::ReadOnly) && target.open(QIODevice::NewOnly | QIODevice::WriteOnly);
            while (isCopied && !source.atEnd()) {
                const QByteArray block = source.read(1 << 20);
                isCopied = target.write(block) == block.size();
            }
            isCopied = isCopied && target.flush();
        }
        if (!isCopied)
            return u"%1 cannot be copied: %2"_s.arg(QFile::decodeName(from), systemError());
    }
    // Modes last and deepest first, so that a read-only folder could still be filled.
    for (auto path = paths.crbegin(); path != paths.crend(); ++path) {
        struct stat info { };
        if (lstat(QFile::encodeName(bundlePath + u'/' + *path).constData(), &info) != 0)
            return u"%1 cannot be read: %2"_s.arg(bundlePath + u'/' + *path, systemError());
        if (!S_ISLNK(info.st_mode)
            && chmod(QFile::encodeName(destination + u'/' + *path).constData(), info.st_mode & 07777) != 0)
            return u"%1's mode cannot be set: %2"_s.arg(destination + u'/' + *path, systemError());
    }
    struct stat root { };
    if (stat(QFile::encodeName(bundlePath).constData(), &root) != 0
        || chmod(QFile::encodeName(destination).constData(), root.st_mode & 07777) != 0)
        return u"%1's mode cannot be set: %2"_s.arg(destination, systemError());
    return std::nullopt;
}

namespace {

struct Failure {
    QString message;
};

// Puts staged in destination's place, in one step where the file system can exchange, else by
// two moves with the first undone when the second fails: where what stood there lies now (empty
// when nothing did).
std::variant<QString, Failure> swapIn(const QString& staged, const QString& destination, BundleReplacer& replacer)
{
    struct stat info { };
    if (lstat(QFile::encodeName(destination).constData(), &info) != 0 && errno == ENOENT) {
        if (!move(staged, destination))
            return Failure{u"The new copy cannot be moved to %1: %2"_s.arg(destination, systemError())};
        return QString();
    }
    QString error;
    switch (replacer.exchange(staged, destination, &error)) {
    case BundleReplacer::Exchange::Done:
        return staged;
    case BundleReplacer::Exchange::Failed:
        return Failure{u"%1 cannot be replaced: %2"_s.arg(destination, error)};
    case BundleReplacer::Exchange::Unsupported:
        break;
    }
    const QString backup = QFileInfo(destination).absolutePath() + u"/.Tavrink-old.app-"_s
        + QString::number(QCoreApplication::applicationPid());
    if (!move(destination, backup))
        return Failure{u"%1 cannot be moved aside: %2"_s.arg(destination, systemError())};
    if (!move(staged, destination)) {
        const QString reason = systemError();
        move(backup, destination); // undone; should this fail too, the old copy stays at backup
        return Failure{u"The new copy cannot be moved to %1: %2"_s.arg(destination, reason)};
    }
    return backup;
}

} // namespace

std::optional<QString> swap(const QString& staged, const QString& installedBundle, BundleReplacer& replacer)
{
    const auto swapped = swapIn(staged, installedBundle, replacer);
    if (const auto* failure = std::get_if<Failure>(&swapped)) {
        remove(staged);
        return failure->message;
    }
    // The relaunch starts the installed path, so the old bundle has no use left; nothing else
    // would ever remove it.
    remove(std::get<QString>(swapped));
    return std::nullopt;
}

std::optional<QString> place(const QString& bundlePath, const QString& destination, BundleReplacer& replacer)
{
    const QString staged = stagingPath(destination);
    clearAbandonedStaging(QFileInfo(destination).absolutePath());
    remove(staged);
    if (const auto error = copy(bundlePath, staged)) {
        remove(staged);
        return error;
    }
    return swap(staged, destination, replacer);
}

} // namespace BundleInstaller
