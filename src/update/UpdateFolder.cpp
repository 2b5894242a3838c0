#include "update/UpdateFolder.h"

#include "bundle/BundleInstaller.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QList>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace UpdateFolder {
namespace {

using BundleInstaller::systemError;

QString refusal(const QByteArray& path, const QString& because)
{
    return u"Tavrink will not put an update in %1, because %2."_s.arg(QFile::decodeName(path), because);
}

QString madeError(const QByteArray& path)
{
    return u"%1 cannot be made: %2"_s.arg(QFile::decodeName(path), systemError());
}

QString modeOf(mode_t mode)
{
    return QString::number(mode & 07777, 8).rightJustified(4, u'0');
}

// Makes every missing folder on the way, each with mode 0700 as the XDG rules ask.
std::optional<QString> makePath(const QByteArray& path)
{
    for (qsizetype slash = path.indexOf('/', 1);; slash = path.indexOf('/', slash + 1)) {
        const QByteArray prefix = slash < 0 ? path : path.left(slash);
        if (mkdir(prefix.constData(), 0700) != 0 && errno != EEXIST)
            return madeError(prefix);
        if (slash < 0)
            return std::nullopt;
    }
}

// Whether another account could change the way to the folder (a real path): a folder on it that
// is neither root's nor the user's, or one that others may write to without the sticky bit, which
// keeps them from renaming what is not theirs (as in /tmp).
std::optional<QString> checkWay(QByteArray way)
{
    for (;;) {
        struct stat info { };
        if (stat(way.constData(), &info) != 0)
            return u"%1 cannot be read: %2"_s.arg(QFile::decodeName(way), systemError());
        if (info.st_uid != 0 && info.st_uid != geteuid())
            return refusal(way, u"it belongs to another user"_s);
        if ((info.st_mode & S_IWOTH) && !(info.st_mode & S_ISVTX))
            return refusal(way, u"other users can write to it (mode %1)"_s.arg(modeOf(info.st_mode)));
        if (way == "/")
            return std::nullopt;
        way.truncate(std::max<qsizetype>(1, way.lastIndexOf('/')));
    }
}

// A folder of Tavrink's own: the user's, reached without a link, written by nobody else.
std::optional<QString> checkOwn(const QByteArray& path, const struct stat& info)
{
    if (S_ISLNK(info.st_mode))
        return refusal(path, u"it is a symbolic link"_s);
    if (!S_ISDIR(info.st_mode))
        return refusal(path, u"it is not a folder"_s);
    if (info.st_uid != geteuid())
        return refusal(path, u"it belongs to another user"_s);
    if (info.st_mode & (S_IWGRP | S_IWOTH))
        return refusal(path, u"other users can write to it (mode %1)"_s.arg(modeOf(info.st_mode)));
    return std::nullopt;
}

struct Checked {
    QByteArray path; // empty, with no error, when the folder is not there and was not to be made
    QString error;
};

Checked updateFolder(const QString& cacheHome, bool isMade)
{
    const QByteArray home = QFile::encodeName(cacheHome);
    if (!home.startsWith('/'))
        return {{}, u"The cache folder \"%1\" is not an absolute path."_s.arg(cacheHome)};
    if (isMade) {
        if (const auto error = makePath(home))
            return {{}, *error};
    }
    char resolved[PATH_MAX];
    if (!realpath(home.constData(), resolved))
        return {{}, isMade ? u"%1 cannot be read: %2"_s.arg(cacheHome, systemError()) : QString()};
    QByteArray path(resolved);
    if (const auto error = checkWay(path))
        return {{}, *error};
    for (const char* name : {"tavrink", "update"}) {
        path += '/';
        path += name;
        if (isMade && mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
            return {{}, madeError(path)};
        struct stat info { };
        if (lstat(path.constData(), &info) != 0)
            return {{}, errno == ENOENT && !isMade ? QString() : madeError(path)};
        if (const auto error = checkOwn(path, info))
            return {{}, *error};
        if ((info.st_mode & 07777) != 0700 && chmod(path.constData(), 0700) != 0)
            return {{}, u"%1's mode cannot be set: %2"_s.arg(QFile::decodeName(path), systemError())};
    }
    return {path, {}};
}

int openFolder(const QByteArray& path)
{
    return open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Every attempt holds a lock on its folder for as long as it runs; the kernel lets go of it when
// the process ends, however it ends. So a folder whose lock can be taken belongs to nobody. The
// caller holds the update folder's own lock, so that no attempt is being made meanwhile.
void removeAbandoned(const QByteArray& folder)
{
    QList<QByteArray> names;
    if (DIR* dir = opendir(folder.constData())) {
        while (const dirent* entry = readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..")
                names.append(name);
        }
        closedir(dir);
    }
    for (const QByteArray& name : std::as_const(names)) {
        const QByteArray path = folder + '/' + name;
        const int fd = openFolder(path);
        if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) == 0)
            BundleInstaller::remove(QFile::decodeName(path));
        if (fd >= 0)
            close(fd);
    }
}

} // namespace

QString standardCacheHome()
{
    const QString configured = qEnvironmentVariable("XDG_CACHE_HOME");
    return configured.startsWith(u'/') ? configured : QDir::homePath() + u"/.cache"_s;
}

Attempt::Attempt(QString path, int lock)
    : m_path(std::move(path))
    , m_lock(lock)
{
}

Attempt::~Attempt()
{
    BundleInstaller::remove(m_path);
    close(m_lock);
}

QString Attempt::archivePath() const
{
    return m_path + u"/tavrink-update.zip"_s;
}

QString Attempt::workFolder() const
{
    return m_path + u"/tavrink-update-"_s + QString::number(QCoreApplication::applicationPid());
}

std::variant<std::unique_ptr<Attempt>, QString> begin(const QString& cacheHome)
{
    const Checked folder = updateFolder(cacheHome, true);
    if (!folder.error.isEmpty())
        return folder.error;
    const int folderLock = openFolder(folder.path);
    if (folderLock < 0 || flock(folderLock, LOCK_EX) != 0) {
        const QString error = u"%1 cannot be opened: %2"_s.arg(QFile::decodeName(folder.path), systemError());
        if (folderLock >= 0)
            close(folderLock);
        return error;
    }
    removeAbandoned(folder.path);
    QByteArray path = folder.path + "/attempt-XXXXXX";
    int lock = -1;
    QString error;
    if (!mkdtemp(path.data()))
        error = madeError(path);
    else if ((lock = openFolder(path)) < 0 || flock(lock, LOCK_EX | LOCK_NB) != 0)
        error = u"%1 cannot be opened: %2"_s.arg(QFile::decodeName(path), systemError());
    close(folderLock);
    if (!error.isEmpty()) {
        if (lock >= 0)
            close(lock);
        return error;
    }
    return std::make_unique<Attempt>(QFile::decodeName(path), lock);
}

void clearAbandoned(const QString& cacheHome)
{
    const Checked folder = updateFolder(cacheHome, false);
    if (folder.path.isEmpty())
        return;
    const int lock = openFolder(folder.path);
    if (lock >= 0 && flock(lock, LOCK_EX) == 0)
        removeAbandoned(folder.path);
    if (lock >= 0)
        close(lock);
}

} // namespace UpdateFolder
