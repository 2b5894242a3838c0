// tavrink-sign sign --key SECRET_KEY_FILE BUNDLE
//   Writes the bundle's _CodeSignature with a minisign secret key (an encrypted key is opened
//   with the password in MINISIGN_PASSWORD).
// tavrink-sign verify --public-key PUBKEY_FILE BUNDLE
//   Verifies the bundle as the updater does: "ok", or what is wrong; exit status 0 or 1.

#include "Release.h"
#include "verify/CodeSignature.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QTextStream err(stderr);
    const QStringList arguments = application.arguments().mid(1);
    const bool isSign = arguments.value(0) == u"sign"_s && arguments.value(1) == u"--key"_s;
    const bool isVerify = arguments.value(0) == u"verify"_s && arguments.value(1) == u"--public-key"_s;
    if (arguments.size() != 4 || !(isSign || isVerify)) {
        err << "usage: tavrink-sign sign --key SECRET_KEY_FILE BUNDLE\n"
               "       tavrink-sign verify --public-key PUBKEY_FILE BUNDLE\n";
        return 2;
    }
    if (isVerify) {
        const auto expected = Release::readPublicKey(arguments.at(2));
        if (const QString* error = std::get_if<QString>(&expected)) {
            err << *error << '\n';
            return 2;
        }
        const auto refusal = CodeSignature::verify(arguments.at(3), std::get<Minisign::PublicKey>(expected));
        QTextStream(stdout) << (!refusal ? u"ok"_s
                                    : refusal->reason == CodeSignature::Refusal::Reason::OtherSigner
                                    ? u"signed by another key"_s
                                    : refusal->detail)
                            << '\n';
        return refusal ? 1 : 0;
    }
    const auto key = Release::readSecretKey(arguments.at(2));
    if (const QString* error = std::get_if<QString>(&key)) {
        err << *error << '\n';
        return 1;
    }
    if (const auto error = Release::signBundle(arguments.at(3), std::get<Minisign::SecretKey>(key))) {
        err << *error << '\n';
        return 1;
    }
    return 0;
}
