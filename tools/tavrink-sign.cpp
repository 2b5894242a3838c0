// tavrink-sign sign --key SECRET_KEY_FILE BUNDLE
// Writes the bundle's _CodeSignature with a minisign secret key (an encrypted key is opened
// with the password in MINISIGN_PASSWORD).

#include "Release.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QTextStream err(stderr);
    const QStringList arguments = application.arguments().mid(1);
    if (arguments.size() != 4 || arguments.at(0) != u"sign"_s || arguments.at(1) != u"--key"_s) {
        err << "usage: tavrink-sign sign --key SECRET_KEY_FILE BUNDLE\n";
        return 2;
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
