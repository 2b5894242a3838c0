#pragma once

#include <QString>

#include <memory>
#include <variant>

/// Where an update keeps its files: tavrink/update in the user's cache folder, a folder that
/// belongs to the user alone (mode 0700), never the temporary folder that every account shares.
/// Nothing on the way to it may be changeable by another account, so that every path under it
/// stays the user's own. Each attempt works in a folder of its own with a random name and removes
/// it when it ends; what a killed attempt left is cleared by the next one, or at the next launch.
namespace UpdateFolder {

/// $XDG_CACHE_HOME when it is an absolute path, else ~/.cache.
QString standardCacheHome();

/// One attempt's folder, held (locked) while the object lives and removed with all it holds when
/// the object goes, whatever the outcome.
class Attempt {
public:
    Attempt(QString path, int lock);
    ~Attempt();
    Attempt(const Attempt&) = delete;
    Attempt& operator=(const Attempt&) = delete;

    QString path() const { return m_path; }
    /// Where the archive is downloaded to; nothing is there yet.
    QString archivePath() const;
    /// Where the archive is unpacked; it does not exist yet.
    QString workFolder() const;

private:
    QString m_path;
    int m_lock;
};

/// Opens cacheHome/tavrink/update, making what is missing, and refuses it when it, or the
/// tavrink folder above it, is a symbolic link, belongs to another user or can be written by
/// others, or when another account could change the way to it. Clears what abandoned attempts
/// left and begins a new one; why not, in words for the user.
std::variant<std::unique_ptr<Attempt>, QString> begin(const QString& cacheHome);

/// Removes what attempts that no process holds any longer left, if the folder is there and safe.
void clearAbandoned(const QString& cacheHome);

} // namespace UpdateFolder
