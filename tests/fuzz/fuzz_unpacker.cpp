// The archive unpacker over any bytes, in a folder of its own: it refuses or unpacks, and
// nothing it unpacks is a link that leads out of the folder.

#include "verify/ArchiveUnpacker.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir work;
    const QString archive = work.filePath(QStringLiteral("archive.zip"));
    const QString folder = work.filePath(QStringLiteral("out"));
    QFile file(archive);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        std::abort();
    file.close();
    if (!ArchiveUnpacker::unpack(archive, folder, {1000, 16 << 20})) {
        const QString root = QDir(folder).canonicalPath() + u'/';
        QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo entry(it.next());
            if (entry.isSymLink() && !entry.canonicalFilePath().startsWith(root))
                std::abort();
        }
    }
    QDir(folder).removeRecursively();
    return 0;
}
