#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <optional>

#include <sys/stat.h>

/// A small file read whole: a regular file (the last component no link), at most limit bytes.
/// Nothing when it is missing, is something else, cannot be read or holds more. Files under /proc
/// and /sys say nothing of their size beforehand, so the size is what is read.
inline std::optional<QByteArray> readSmallFile(const QString& path, qint64 limit)
{
    struct stat info { };
    if (lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.read(limit + 1);
    if (bytes.size() > limit)
        return std::nullopt;
    return bytes;
}
