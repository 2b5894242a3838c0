#include "verify/CodeSignature.h"

#include "bundle/BundleInstaller.h"
#include "platform/SmallFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace CodeSignature {
namespace {

const QByteArray kHeader = "tavrink-code-resources 1\n";
const QStringList kSignatureFiles{u"CodeResources"_s, u"CodeResources.minisig"_s, u"signer.pub"_s};

QByteArray encoded(const QByteArray& bytes)
{
    return bytes.toPercentEncoding("/._~+@,=:-");
}

// What one walk of the bundle gathers: a line per object, by relative path.
struct Walk {
    QByteArray root; // the bundle's real path
    QList<std::pair<QByteArray, QByteArray>> lines;
    QString error;
};

std::optional<QByteArray> sha256(const QByteArray& path, qint64* size)
{
    const int fd = open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    static thread_local QByteArray buffer(1 << 20, '\0');
    *size = 0;
    for (;;) {
        const ssize_t n = read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char*>(buffer.constData()), n);
        *size += n;
    }
    close(fd);
    QByteArray digest(crypto_hash_sha256_BYTES, '\0');
    crypto_hash_sha256_final(&state, reinterpret_cast<unsigned char*>(digest.data()));
    return digest.toHex();
}

bool isInside(const QByteArray& root, const QByteArray& path)
{
    return path == root || path.startsWith(root + '/');
}

// One line for what is at path, or the walk's error.
void describe(Walk& walk, const QByteArray& relative, mode_t fileMode)
{
    const QByteArray path = walk.root + '/' + relative;
    const QByteArray mode = QByteArray::number(fileMode & 07777, 8).rightJustified(4, '0');
    if (S_ISREG(fileMode)) {
        qint64 size = 0;
        const std::optional<QByteArray> digest = sha256(path, &size);
        if (!digest)
            walk.error = u"%1 cannot be read."_s.arg(QString::fromUtf8(relative));
        else
            walk.lines.append(
                {relative, "f " + mode + ' ' + QByteArray::number(size) + ' ' + *digest + ' ' + encoded(relative)});
    } else if (S_ISLNK(fileMode)) {
        const QByteArray target = BundleInstaller::linkTarget(path);
        char resolved[PATH_MAX];
        // Chains are followed to their end: each link, and the place it finally reaches, stays inside.
        if (target.isEmpty() || !realpath(path.constData(), resolved) || !isInside(walk.root, resolved)) {
            walk.error
                = u"%1 is a symbolic link that leads out of the bundle or nowhere."_s.arg(QString::fromUtf8(relative));
            return;
        }
        walk.lines.append({relative, "l - - - " + encoded(relative) + ' ' + encoded(target)});
    } else if (S_ISDIR(fileMode)) {
        walk.lines.append({relative, "d " + mode + " - - " + encoded(relative)});
    } else {
        walk.error = u"%1 is neither a file, a folder nor a symbolic link."_s.arg(QString::fromUtf8(relative));
    }
}

} // namespace

std::variant<QByteArray, QString> resources(const QString& bundlePath)
{
    if (sodium_init() < 0)
        return u"The cryptography library could not be initialised."_s;
    const QByteArray native = QFile::encodeName(bundlePath);
    struct stat info { };
    char resolved[PATH_MAX];
    if (lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || !realpath(native.constData(), resolved))
        return u"%1 is not a folder."_s.arg(bundlePath);
    Walk walk;
    walk.root = resolved;
    const std::optional<QByteArray> unreadable
        = BundleInstaller::walk(walk.root, [&](const QByteArray& relative, mode_t mode) {
              if (relative == folder)
                  return BundleInstaller::Step::Skip;
              describe(walk, relative, mode);
              return walk.error.isEmpty() ? BundleInstaller::Step::Go : BundleInstaller::Step::Stop;
          });
    if (!walk.error.isEmpty())
        return walk.error;
    if (unreadable)
        return u"%1 cannot be read."_s.arg(QString::fromUtf8(*unreadable));
    std::sort(walk.lines.begin(), walk.lines.end());
    QByteArray text = kHeader;
    for (const auto& line : std::as_const(walk.lines))
        text += line.second + '\n';
    return text;
}

std::optional<QString> sign(const QString& bundlePath, const Minisign::SecretKey& key, const QString& trustedComment)
{
    const auto listing = resources(bundlePath);
    if (const QString* error = std::get_if<QString>(&listing))
        return *error;
    const QByteArray& text = std::get<QByteArray>(listing);
    const QDir signature(bundlePath + u'/' + QLatin1String(folder));
    if (!signature.exists() && !QDir().mkpath(signature.path()))
        return u"%1 cannot be made."_s.arg(signature.path());
    const QList<std::pair<QString, QByteArray>> files{
        {u"CodeResources"_s, text},
        {u"CodeResources.minisig"_s, Minisign::sign(key, text, trustedComment)},
        {u"signer.pub"_s, Minisign::formatPublicKey(key.publicKey())}};
    for (const auto& [name, content] : files) {
        QFile file(signature.filePath(name));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size()
            || !file.flush())
            return u"%1 cannot be written: %2"_s.arg(file.fileName(), file.errorString());
    }
    return std::nullopt;
}

std::optional<Refusal> verify(const QString& bundlePath, const Minisign::PublicKey& pinnedKey)
{
    const auto invalid = [](const QString& detail) { return Refusal{Refusal::Reason::Invalid, detail}; };
    const QDir signature(bundlePath + u'/' + QLatin1String(folder));
    const QStringList present
        = signature.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    if (present != kSignatureFiles)
        return invalid(u"The bundle's signature folder does not hold exactly its three files."_s);
    constexpr qint64 kLimit = 64 << 20;
    const auto signed_ = readSmallFile(signature.filePath(u"CodeResources"_s), kLimit);
    const auto minisig = readSmallFile(signature.filePath(u"CodeResources.minisig"_s), 4096);
    const std::optional<Minisign::Signature> parsed = minisig ? Minisign::parseSignature(*minisig) : std::nullopt;
    if (!signed_ || !parsed)
        return invalid(u"The bundle's signature files cannot be read."_s);
    if (parsed->keyId != pinnedKey.keyId)
        return Refusal{Refusal::Reason::OtherSigner,
                       u"Signed by key %1, not by the pinned key %2."_s.arg(
                           QString::fromLatin1(parsed->keyId.toHex()), QString::fromLatin1(pinnedKey.keyId.toHex()))};
    if (!Minisign::verify(pinnedKey, *signed_, *minisig))
        return invalid(u"The signature of CodeResources is not valid for the pinned key."_s);
    const auto listing = resources(bundlePath);
    if (const QString* error = std::get_if<QString>(&listing))
        return invalid(*error);
    const QByteArray& now = std::get<QByteArray>(listing);
    if (now != *signed_) {
        const QList<QByteArray> before = signed_->split('\n');
        const QList<QByteArray> after = now.split('\n');
        const auto differs = [](const QList<QByteArray>& a, const QList<QByteArray>& b) {
            const auto found = std::find_if(a.cbegin(), a.cend(), [&b](const QByteArray& l) { return !b.contains(l); });
            return found == a.cend() ? QString() : QString::fromUtf8(*found);
        };
        const QString signedOnly = differs(before, after);
        return invalid(u"The bundle's files are not the ones that were signed (%1)."_s.arg(
            signedOnly.isEmpty() ? u"now also: "_s + differs(after, before) : u"signed: "_s + signedOnly));
    }
    return std::nullopt;
}

} // namespace CodeSignature
