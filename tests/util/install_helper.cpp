// Runs one install in a process of its own, so that a test can kill it at any moment: the
// staging and its check, as the update helper does them, then the swap, as the panel does it.
//   tavrink_install_helper NEW_BUNDLE INSTALLED_BUNDLE PUBLIC_KEY_TEXT
// Prints "ready" just before the install starts and the microseconds it took when it ends.

#include "bundle/BundleInstaller.h"
#include "platform/linux/session/LinuxBundleReplacer.h"
#include "verify/UpdateArchive.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 4)
        return 2;
    const auto key = Minisign::parsePublicKey(arguments[3].toUtf8());
    if (!key)
        return 2;
    LinuxBundleReplacer replacer;
    std::puts("ready");
    std::fflush(stdout);
    QElapsedTimer timer;
    timer.start();
    const QString staging = BundleInstaller::stagingPath(arguments[2]);
    const auto failure = UpdateArchive::stage(arguments[1], staging, *key);
    const auto error
        = failure ? std::optional(failure->message) : BundleInstaller::swap(staging, arguments[2], replacer);
    std::printf("%lld\n", static_cast<long long>(timer.nsecsElapsed() / 1000));
    if (error)
        std::fprintf(stderr, "%s\n", qPrintable(*error));
    return error ? 1 : 0;
}
