// The update helper: unpacks a downloaded release, verifies it against the pinned key and the
// offered version, and stages it beside the installed bundle, confined to the two folders it
// writes in. The panel process starts it when the user accepts an offer, and does the swap, the
// relaunch and the alerts itself.
//   tavrink-update-helper --archive ZIP --work FOLDER --staging PATH --pinned-key KEY --version V
// It prints one line (UpdateHelperAnswer) and exits 0 when staged, 1 when refused, 2 on wrong use.

#include "updatehelper/Confinement.h"
#include "updatehelper/UpdateHelperAnswer.h"
#include "verify/UpdateArchive.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <sys/prctl.h>

using namespace Qt::StringLiterals;

namespace {

int answer(const UpdateHelperAnswer& result)
{
    const QByteArray line = result.encode();
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fflush(stdout);
    return result.message.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    // Nothing of an update outlives the process that asked for it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    const QCommandLineOption archive(u"archive"_s, u"The downloaded archive."_s, u"zip"_s);
    const QCommandLineOption work(u"work"_s, u"The folder to unpack into; it must not exist yet."_s, u"folder"_s);
    const QCommandLineOption staging(u"staging"_s, u"Where the new bundle goes, beside the installed one."_s,
                                     u"path"_s);
    const QCommandLineOption pinnedKey(u"pinned-key"_s, u"The maker's public key."_s, u"key"_s);
    const QCommandLineOption version(u"version"_s, u"The version that was offered."_s, u"version"_s);
    parser.addOptions({archive, work, staging, pinnedKey, version});
    const auto key
        = parser.parse(arguments) ? Minisign::parsePublicKey(parser.value(pinnedKey).toUtf8()) : std::nullopt;
    if (!key || !parser.positionalArguments().isEmpty() || parser.value(archive).isEmpty()
        || parser.value(work).isEmpty() || parser.value(staging).isEmpty() || parser.value(version).isEmpty()) {
        std::fprintf(stderr, "tavrink-update-helper: %s\n",
                     qPrintable(parser.errorText().isEmpty()
                                    ? u"every option is required, with the maker's key as its base64 line"_s
                                    : parser.errorText()));
        return 2;
    }
    const QString stagingPath = QFileInfo(parser.value(staging)).absoluteFilePath();
    UpdateHelperAnswer result;
    if (const auto why
        = Confinement::confine({QFileInfo(QFileInfo(parser.value(work)).absolutePath()).absoluteFilePath(),
                                QFileInfo(stagingPath).absolutePath()}))
        result.unconfined = *why;
    const auto prepared
        = UpdateArchive::prepare(parser.value(archive), parser.value(work), *key, parser.value(version));
    if (const auto* failure = std::get_if<UpdateArchive::Failure>(&prepared)) {
        result.message = failure->message;
        result.detail = failure->detail;
        return answer(result);
    }
    if (const auto failure = UpdateArchive::stage(std::get<QString>(prepared), stagingPath, *key)) {
        result.message = failure->message;
        result.detail = failure->detail;
        return answer(result);
    }
    result.staged = stagingPath;
    return answer(result);
}
