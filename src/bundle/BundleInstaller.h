#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

#include <sys/types.h>

class BundleReplacer;

/// Puts a verified new bundle in place of the installed one without a moment where the
/// installed path holds anything but a whole bundle, where the file system allows it.
namespace BundleInstaller {

/// The system's words for the failure of the last call (errno).
QString systemError();
/// What a walk does after a visit: go on (into a folder, too), go on but not into this folder, or end.
enum class Step { Go, Skip, Stop };
/// A visit: a path relative to the walk's root, and its mode as lstat gives it.
using Visitor = std::function<Step(const QByteArray& relative, mode_t mode)>;
/// Visits everything beneath root, a folder before what it holds. A link is visited itself and
/// never followed. The walk goes on past what cannot be read and returns the first such path
/// ("." for root itself).
std::optional<QByteArray> walk(const QByteArray& root, const Visitor& visit);
/// Removes what is at path and all it holds; a link is removed itself, never what it leads to.
void remove(const QString& path);
/// Every path in the bundle, relative, sorted; links are not followed.
QStringList contents(const QString& bundlePath);
/// The target of a symbolic link, as it is written; empty when the path is no readable link.
QByteArray linkTarget(const QByteArray& path);
/// Copies a bundle, links as links and modes as they are, to destination (which must not exist).
std::optional<QString> copy(const QString& bundlePath, const QString& destination);

/// Puts a copy of the bundle at destination (replacing what is there, a link itself and not what
/// it leads to) without a moment where destination holds half a bundle: the copy is made beside it
/// first. The system's words on failure, with destination as it was.
std::optional<QString> place(const QString& bundlePath, const QString& destination, BundleReplacer& replacer);

/// Where a new copy of installedBundle is staged by this process: beside it, on the same file
/// system, so that the swap is one rename. The name carries this process's id.
QString stagingPath(const QString& installedBundle);
/// Removes what installs that were killed before they ended staged in the folder: no other
/// process owns them.
void clearAbandonedStaging(const QString& folder);
/// A rename, or a copy and removal where the two lie on different file systems. The system's
/// words on failure, with nothing left at to.
std::optional<QString> relocate(const QString& from, const QString& to);
/// Swaps the staged bundle in: one exchange where supported, else two moves with the first
/// undone when the second fails. The old bundle is removed once the new one is in place, and
/// the staged copy when the swap fails. The system's words on failure, with the installed bundle
/// as it was.
std::optional<QString> swap(const QString& staged, const QString& installedBundle, BundleReplacer& replacer);

} // namespace BundleInstaller
