#include "verify/ArchiveUnpacker.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QList>
#include <QMap>

#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace ArchiveUnpacker {
namespace {

enum class Made { ImpliedFolder, Folder, File, Link };

struct Unpacking {
    QByteArray root;
    Limits limits;
    qint64 bytes = 0;
    QHash<QByteArray, Made> made; // by relative path
    QMap<QByteArray, mode_t> folderModes; // in path order: a folder before what it holds
};

QString named(const QByteArray& path)
{
    return QString::fromUtf8(path);
}

// The path's components, or nothing when one of them is unsafe. A folder's trailing "/" is dropped.
std::optional<QList<QByteArray>> components(QByteArray path)
{
    if (path.isEmpty() || path.startsWith('/') || path.contains('\0'))
        return std::nullopt;
    if (path.endsWith('/'))
        path.chop(1);
    const QList<QByteArray> parts = path.split('/');
    for (const QByteArray& part : parts) {
        if (part.isEmpty() || part == "." || part == "..")
            return std::nullopt;
    }
    return parts;
}

std::optional<QString> makeParents(Unpacking& u, const QList<QByteArray>& parts)
{
    QByteArray relative;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        relative += (i ? "/" : "") + parts.at(i);
        const auto found = u.made.constFind(relative);
        if (found == u.made.cend()) {
            if (mkdir((u.root + '/' + relative).constData(), 0700) != 0)
                return u"%1 cannot be made: %2"_s.arg(named(relative), QString::fromLocal8Bit(strerror(errno)));
            u.made.insert(relative, Made::ImpliedFolder);
            u.folderModes.insert(relative, 0755);
        } else if (*found == Made::File || *found == Made::Link) {
            return u"%1 lies beneath a file or a link."_s.arg(named(parts.join('/')));
        }
    }
    return std::nullopt;
}

std::optional<QString> writeFile(Unpacking& u, archive* reader, const QByteArray& relative, mode_t mode)
{
    const QByteArray path = u.root + '/' + relative;
    const int fd = open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return u"%1 cannot be written: %2"_s.arg(named(relative), QString::fromLocal8Bit(strerror(errno)));
    const auto closer = std::unique_ptr<int, void (*)(int*)>(new int(fd), [](int* f) {
        close(*f);
        delete f;
    });
    for (;;) {
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        const int status = archive_read_data_block(reader, &block, &size, &offset);
        if (status == ARCHIVE_EOF)
            break;
        if (status != ARCHIVE_OK)
            return u"%1 is damaged: %2"_s.arg(named(relative), QString::fromUtf8(archive_error_string(reader)));
        u.bytes += qint64(size);
        if (u.bytes > u.limits.maximumBytes)
            return u"The archive inflates to more than %1 bytes."_s.arg(u.limits.maximumBytes);
        // Blocks come in order; a gap (a sparse entry) is written as the zeros it stands for.
        if (lseek(fd, offset, SEEK_SET) != offset)
            return u"%1 cannot be written."_s.arg(named(relative));
        const char* bytes = static_cast<const char*>(block);
        while (size > 0) {
            const ssize_t written = write(fd, bytes, size);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return u"%1 cannot be written: %2"_s.arg(named(relative), QString::fromLocal8Bit(strerror(errno)));
            bytes += written;
            size -= size_t(written);
        }
    }
    if (fchmod(fd, mode) != 0)
        return u"%1's mode cannot be set."_s.arg(named(relative));
    return std::nullopt;
}

std::optional<QString> unpackEntry(Unpacking& u, archive* reader, archive_entry* entry)
{
    const char* rawPath = archive_entry_pathname(entry);
    const QByteArray original = rawPath ? QByteArray(rawPath) : QByteArray();
    const std::optional<QList<QByteArray>> parts = components(original);
    if (!parts)
        return u"The entry \"%1\" has an unsafe path."_s.arg(named(original));
    const QByteArray relative = parts->join('/');
    if (archive_entry_hardlink(entry))
        return u"%1 is a hard link."_s.arg(named(relative));
    if (archive_entry_is_encrypted(entry))
        return u"%1 is encrypted."_s.arg(named(relative));
    const mode_t type = archive_entry_filetype(entry);
    const mode_t mode = archive_entry_perm(entry) & 0755;
    if (type != AE_IFREG && type != AE_IFDIR && type != AE_IFLNK)
        return u"%1 is neither a file, a folder nor a symbolic link."_s.arg(named(relative));
    if (const auto error = makeParents(u, *parts))
        return error;
    const auto before = u.made.constFind(relative);
    // A folder named before by a path beneath it may come as an entry of its own; nothing else twice.
    if (before != u.made.cend() && !(type == AE_IFDIR && *before == Made::ImpliedFolder))
        return u"%1 is in the archive twice."_s.arg(named(relative));
    const QByteArray path = u.root + '/' + relative;
    if (type == AE_IFDIR) {
        if (before == u.made.cend() && mkdir(path.constData(), 0700) != 0)
            return u"%1 cannot be made: %2"_s.arg(named(relative), QString::fromLocal8Bit(strerror(errno)));
        u.made.insert(relative, Made::Folder);
        u.folderModes.insert(relative, mode);
        return std::nullopt;
    }
    if (type == AE_IFLNK) {
        const char* rawTarget = archive_entry_symlink(entry);
        const QByteArray target = rawTarget ? QByteArray(rawTarget) : QByteArray();
        if (target.isEmpty() || target.startsWith('/'))
            return u"%1 is a symbolic link to an absolute place or to nothing."_s.arg(named(relative));
        if (symlink(target.constData(), path.constData()) != 0)
            return u"%1 cannot be made: %2"_s.arg(named(relative), QString::fromLocal8Bit(strerror(errno)));
        u.made.insert(relative, Made::Link);
        return std::nullopt;
    }
    u.made.insert(relative, Made::File);
    return writeFile(u, reader, relative, mode);
}

std::optional<QString> checkLinks(const Unpacking& u)
{
    for (auto it = u.made.cbegin(); it != u.made.cend(); ++it) {
        if (it.value() != Made::Link)
            continue;
        char resolved[PATH_MAX];
        const QByteArray path = u.root + '/' + it.key();
        // realpath follows a chain of links to its end.
        if (!realpath(path.constData(), resolved))
            return u"%1 is a symbolic link that leads nowhere."_s.arg(named(it.key()));
        const QByteArray reached(resolved);
        if (reached != u.root && !reached.startsWith(u.root + '/'))
            return u"%1 is a symbolic link that leads out of the archive."_s.arg(named(it.key()));
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> unpack(const QString& archivePath, const QString& folder, Limits limits)
{
    const QByteArray nativeFolder = QFile::encodeName(folder);
    if (mkdir(nativeFolder.constData(), 0700) != 0)
        return u"%1 cannot be made: %2"_s.arg(folder, QString::fromLocal8Bit(strerror(errno)));
    char resolved[PATH_MAX];
    if (!realpath(nativeFolder.constData(), resolved))
        return u"%1 cannot be found again."_s.arg(folder);
    Unpacking u{QByteArray(resolved), limits, 0, {}, {}};

    const std::unique_ptr<archive, int (*)(archive*)> reader(archive_read_new(), archive_read_free);
    archive_read_support_format_zip(reader.get());
    if (archive_read_open_filename(reader.get(), QFile::encodeName(archivePath).constData(), 1 << 16) != ARCHIVE_OK)
        return u"The archive cannot be read: %1"_s.arg(QString::fromUtf8(archive_error_string(reader.get())));
    qint64 entries = 0;
    for (;;) {
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status != ARCHIVE_OK)
            return u"The archive is damaged: %1"_s.arg(QString::fromUtf8(archive_error_string(reader.get())));
        if (++entries > limits.maximumEntries)
            return u"The archive has more than %1 entries."_s.arg(limits.maximumEntries);
        if (const auto error = unpackEntry(u, reader.get(), entry))
            return error;
    }
    if (entries == 0)
        return u"The archive is empty."_s;
    if (const auto error = checkLinks(u))
        return error;
    // Folder modes last, deepest first, so that a read-only folder was still writable while it filled.
    for (auto it = u.folderModes.constEnd(); it != u.folderModes.constBegin();) {
        --it;
        if (chmod((u.root + '/' + it.key()).constData(), it.value()) != 0)
            return u"%1's mode cannot be set."_s.arg(named(it.key()));
    }
    return std::nullopt;
}

} // namespace ArchiveUnpacker
