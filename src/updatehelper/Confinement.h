#pragma once

#include <QString>
#include <QStringList>

#include <optional>

/// What the system offers an unprivileged process for giving up what it does not need, so that
/// code that reads hostile bytes can do no more than its job. Irreversible for the process.
namespace Confinement {

/// From now on this process and its children gain no privileges (no set-user-id programs), write
/// nowhere but beneath the given folders, and open no sockets but local ones. Why not, where the
/// system cannot confine that far; what it can is applied all the same.
std::optional<QString> confine(const QStringList& writableFolders);

} // namespace Confinement
