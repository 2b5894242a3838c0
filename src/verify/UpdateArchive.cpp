#include "verify/UpdateArchive.h"

#include "bundle/BundleInfo.h"
#include "bundle/BundleInstaller.h"
#include "verify/ArchiveUnpacker.h"
#include "verify/CodeSignature.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace UpdateArchive {

std::variant<QString, Failure> prepare(const QString& archivePath, const QString& workFolder,
                                       const Minisign::PublicKey& pinnedKey, const std::optional<QString>& version)
{
    if (const std::optional<QString> error = ArchiveUnpacker::unpack(archivePath, workFolder))
        return Failure{notUnpacked, *error};
    const QString bundle = workFolder + u"/Tavrink.app"_s;
    const QFileInfo info(bundle);
    if (!info.exists() && !info.isSymLink())
        return Failure{noBundle, u"Nothing named Tavrink.app at the archive's top level."_s};
    if (const auto refusal = CodeSignature::verify(bundle, pinnedKey)) {
        if (refusal->reason == CodeSignature::Refusal::Reason::OtherSigner)
            return Failure{notSignedByMaker,
                           u"%1 The pinned key is team %2's."_s.arg(refusal->detail, QLatin1String(makerTeam))};
        return Failure{invalidSignature, refusal->detail};
    }
    if (version) {
        // Info.json is among the signed files: a signed older release cannot pass for this one.
        const std::optional<QString> signedVersion
            = BundleInfo::infoString(u"CFBundleShortVersionString"_s, BundleInfo::executable(bundle));
        if (signedVersion != version)
            return Failure{wrongVersion,
                           u"The bundle is version %1, the manifest offered %2."_s.arg(
                               signedVersion.value_or(u"(none)"_s), *version)};
    }
    return bundle;
}

std::optional<Failure> stage(const QString& bundle, const QString& staged, const Minisign::PublicKey& pinnedKey)
{
    const QString folder = QFileInfo(staged).absolutePath();
    BundleInstaller::clearAbandonedStaging(folder);
    BundleInstaller::remove(staged);
    if (const auto error = BundleInstaller::relocate(bundle, staged))
        return Failure{*error, *error};
    if (const auto refusal = CodeSignature::verify(staged, pinnedKey)) {
        BundleInstaller::remove(staged);
        return Failure{u"The update changed on its way into %1."_s.arg(folder), refusal->detail};
    }
    return std::nullopt;
}

} // namespace UpdateArchive
