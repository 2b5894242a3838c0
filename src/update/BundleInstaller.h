#pragma once

#include "update/Minisign.h"

#include <QString>
#include <QStringList>

#include <optional>

class BundleReplacer;

/// Puts a verified new bundle in place of the installed one without a moment where the
/// installed path holds anything but a whole bundle, where the file system allows it.
namespace BundleInstaller {

/// The system's words for the failure of the last call (errno).
QString systemError();
/// Removes what is at path and all it holds; a link is removed itself, never what it leads to.
void remove(const QString& path);
/// Every path in the bundle, relative, a folder before what it holds; links are not followed.
QStringList contents(const QString& bundlePath);
/// Copies a bundle, links as links and modes as they are, to destination (which must not exist).
std::optional<QString> copy(const QString& bundlePath, const QString& destination);

/// Puts a copy of the bundle at destination (replacing what is there, a link itself and not what
/// it leads to) without a moment where destination holds half a bundle: the copy is made beside it
/// first. The system's words on failure, with destination as it was.
std::optional<QString> place(const QString& bundlePath, const QString& destination, BundleReplacer& replacer);

/// Stages newBundle beside the installed bundle (same file system, so that the swap is one
/// rename), checks the staged copy's signature once more against the pinned key, then swaps:
/// one exchange where supported, else two moves with the first undone when the second fails.
/// The old bundle is removed once the new one is in place. The system's words on failure, with
/// the installed bundle as it was.
std::optional<QString> install(const QString& newBundle, const QString& installedBundle,
                               const Minisign::PublicKey& pinnedKey, BundleReplacer& replacer);

} // namespace BundleInstaller
