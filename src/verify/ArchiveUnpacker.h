#pragma once

#include <QString>

#include <optional>

/// Unpacks an update archive (zip) entry by entry, treating every entry as hostile: only files,
/// folders and relative symbolic links; no absolute path, no "." or ".." component, no name
/// twice, no hard link, nothing beneath a file or a link; modes masked to 0755; at most so many
/// entries and inflated bytes, counted as they are written. After the last entry every link is
/// resolved and refused if it leaves the folder.
namespace ArchiveUnpacker {

struct Limits {
    qint64 maximumEntries = 10'000;
    qint64 maximumBytes = qint64(256) << 20;
};

/// Unpacks the archive into the folder, which must not exist yet and is made with mode 0700.
/// Why not, on refusal; what was unpacked up to then stays in the folder.
std::optional<QString> unpack(const QString& archivePath, const QString& folder, Limits limits = {});

} // namespace ArchiveUnpacker
