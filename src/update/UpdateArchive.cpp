#include "update/UpdateArchive.h"

#include "settings/BundleInfo.h"
#include "update/ArchiveUnpacker.h"
#include "update/CodeSignature.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace UpdateArchive {

std::variant<QString, Failure> prepare(const QString& archivePath, const QString& workFolder,
                                       const Minisign::PublicKey& pinnedKey, const std::optional<QString>& version)
{
    // Leftovers of an earlier attempt go first; a failure shows when the folder is made again.
    QDir(workFolder).removeRecursively();
    if (const std::optional<QString> error = ArchiveUnpacker::unpack(archivePath, workFolder))
        return Failure{notUnpacked, *error};
    const QString bundle = workFolder + u"/Tavrink.app"_s;
    const QFileInfo info(bundle);
    if (!info.exists() && !info.isSymLink())
        return Failure{noBundle, u"Nothing named Tavrink.app at the archive's top level."_s};
    const auto signer = CodeSignature::verify(bundle);
    if (const QString* error = std::get_if<QString>(&signer))
        return Failure{invalidSignature, *error};
    if (std::get<Minisign::PublicKey>(signer) != pinnedKey)
        return Failure{
            notSignedByMaker,
            u"Signed by key %1, not by the key of team %2."_s.arg(
                QString::fromLatin1(std::get<Minisign::PublicKey>(signer).keyId.toHex()), QLatin1String(makerTeam))};
    if (version) {
        // Info.json is among the signed files: a signed older release cannot pass for this one.
        const std::optional<QString> signedVersion
            = BundleInfo::infoString(u"CFBundleShortVersionString"_s, bundle + u"/bin/tavrink"_s);
        if (signedVersion != version)
            return Failure{wrongVersion,
                           u"The bundle is version %1, the manifest offered %2."_s.arg(
                               signedVersion.value_or(u"(none)"_s), *version)};
    }
    return bundle;
}

} // namespace UpdateArchive
