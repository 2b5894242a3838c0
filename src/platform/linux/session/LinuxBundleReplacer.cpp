#include "platform/linux/session/LinuxBundleReplacer.h"

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>

using namespace Qt::StringLiterals;

BundleReplacer::Exchange LinuxBundleReplacer::exchange(const QString& first, const QString& second, QString* error)
{
    if (renameat2(AT_FDCWD, QFile::encodeName(first).constData(), AT_FDCWD, QFile::encodeName(second).constData(),
                  RENAME_EXCHANGE)
        == 0)
        return Exchange::Done;
    // EINVAL: the file system has no exchange (some network and FUSE file systems); ENOSYS: the kernel.
    if (errno == EINVAL || errno == ENOSYS)
        return Exchange::Unsupported;
    if (error)
        *error = QString::fromLocal8Bit(strerror(errno));
    return Exchange::Failed;
}

bool LinuxBundleReplacer::relaunch(const QString& executable)
{
    // The path travels as an argument, never inside the command text, so no character of it is
    // read by the shell.
    return QProcess::startDetached(u"/bin/sh"_s, {u"-c"_s, u"sleep 0.5; exec \"$1\""_s, u"sh"_s, executable});
}

bool LinuxBundleReplacer::isOnReadOnlyFileSystem(const QString& path)
{
    struct statvfs info { };
    return statvfs(QFile::encodeName(path).constData(), &info) == 0 && (info.f_flag & ST_RDONLY) != 0;
}

void LinuxBundleReplacer::clearDownloadMarks(const QString& bundlePath)
{
    QStringList paths{bundlePath};
    QDirIterator it(bundlePath, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    for (const QString& path : std::as_const(paths)) {
        const QByteArray name = QFile::encodeName(path);
        lremovexattr(name.constData(), "user.xdg.origin.url");
        lremovexattr(name.constData(), "user.xdg.referrer.url");
    }
}

bool LinuxBundleReplacer::moveToTrash(const QString& path)
{
    // Qt makes the Trash folder itself but not the data folder that holds it, which a new
    // account may not have yet.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    return QFile::moveToTrash(path);
}
