#include "updatehelper/Confinement.h"

#include <QFile>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/landlock.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

#ifndef LANDLOCK_ACCESS_FS_TRUNCATE
#define LANDLOCK_ACCESS_FS_TRUNCATE (1ULL << 14) // Landlock ABI 3, newer than some kernel headers
#endif

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(strerror(errno));
}

// Landlock (kernel 5.13+): writes beneath the folders only. Reads are not restricted. From ABI 2
// (5.19) a file may be moved between two folders only where both allow it, which is what the
// staging move needs; ABI 1 refuses every move between folders, so a move becomes a copy there.
// From ABI 3 (6.2) truncating is a right of its own: unhandled, it would stay allowed everywhere.
std::optional<QString> restrictWrites(const QStringList& folders)
{
    const long abi = syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (abi < 1)
        return u"the kernel has no Landlock (%1)"_s.arg(systemError());
    landlock_ruleset_attr attributes{};
    attributes.handled_access_fs = LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_REMOVE_DIR
        | LANDLOCK_ACCESS_FS_REMOVE_FILE | LANDLOCK_ACCESS_FS_MAKE_CHAR | LANDLOCK_ACCESS_FS_MAKE_DIR
        | LANDLOCK_ACCESS_FS_MAKE_REG | LANDLOCK_ACCESS_FS_MAKE_SOCK | LANDLOCK_ACCESS_FS_MAKE_FIFO
        | LANDLOCK_ACCESS_FS_MAKE_BLOCK | LANDLOCK_ACCESS_FS_MAKE_SYM;
    if (abi >= 2)
        attributes.handled_access_fs |= LANDLOCK_ACCESS_FS_REFER;
    if (abi >= 3)
        attributes.handled_access_fs |= LANDLOCK_ACCESS_FS_TRUNCATE;
    const int ruleset = static_cast<int>(syscall(SYS_landlock_create_ruleset, &attributes, sizeof attributes, 0));
    if (ruleset < 0)
        return u"no Landlock rule set (%1)"_s.arg(systemError());
    for (const QString& folder : folders) {
        const int fd = open(QFile::encodeName(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        landlock_path_beneath_attr rule{};
        rule.allowed_access = attributes.handled_access_fs;
        rule.parent_fd = fd;
        const bool isAdded
            = fd >= 0 && syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &rule, 0) == 0;
        const QString reason = systemError();
        if (fd >= 0)
            close(fd);
        if (!isAdded) {
            close(ruleset);
            return u"%1 cannot be allowed (%2)"_s.arg(folder, reason);
        }
    }
    const bool isRestricted = syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
    const QString reason = systemError();
    close(ruleset);
    return isRestricted ? std::nullopt : std::optional(u"Landlock refused (%1)"_s.arg(reason));
}

// seccomp: socket() of any family but AF_UNIX fails with EACCES, so nothing here reaches a network.
std::optional<QString> refuseNetworkSockets()
{
#if defined(__x86_64__)
    constexpr __u32 architecture = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
    constexpr __u32 architecture = AUDIT_ARCH_AARCH64;
#else
    return u"sockets are not filtered on this architecture"_s;
#endif
    sock_filter program[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, architecture, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS), // another system call table: nothing is allowed
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_socket, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AF_UNIX, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EACCES & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog filter{static_cast<unsigned short>(std::size(program)), program};
    if (prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) != 0)
        return u"sockets are not filtered (%1)"_s.arg(systemError());
    return std::nullopt;
}

} // namespace

namespace Confinement {

std::optional<QString> confine(const QStringList& writableFolders)
{
    // Required by both below, and a promise of its own: no set-user-id program gains anything.
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return u"no_new_privs cannot be set (%1)"_s.arg(systemError());
    const std::optional<QString> writes = restrictWrites(writableFolders);
    const std::optional<QString> sockets = refuseNetworkSockets();
    if (writes && sockets)
        return *writes + u"; "_s + *sockets;
    return writes ? writes : sockets;
}

} // namespace Confinement
