// tavrink-release check --public-key PUBKEY_FILE ARCHIVE.zip [--version V]
//   Runs the application's own unpacking and verification on an archive; prints "ok" or the
//   message a user would see (and, on standard error, what exactly was refused).
// tavrink-release make --key SECRET_KEY_FILE --url-base HTTPS_URL --out DIR [--notes TEXT] [--bundle BUNDLE]
//   Signs a copy of the built bundle, zips it and writes DIR/Tavrink-<version>.zip and DIR/appcast.json.

#include "Release.h"
#include "verify/UpdateArchive.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTextStream>

using namespace Qt::StringLiterals;

namespace {

int check(const QCommandLineParser& parser, QTextStream& out, QTextStream& err)
{
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 2 || !parser.isSet(u"public-key"_s)) {
        err << "usage: tavrink-release check --public-key PUBKEY_FILE ARCHIVE.zip [--version V]\n";
        return 2;
    }
    const auto key = Release::readPublicKey(parser.value(u"public-key"_s));
    if (const QString* error = std::get_if<QString>(&key)) {
        err << *error << '\n';
        return 2;
    }
    QTemporaryDir work;
    const std::optional<QString> version
        = parser.isSet(u"version"_s) ? std::optional(parser.value(u"version"_s)) : std::nullopt;
    const auto result = UpdateArchive::prepare(positional.at(1), work.filePath(u"check"_s),
                                               std::get<Minisign::PublicKey>(key), version);
    if (const auto* failure = std::get_if<UpdateArchive::Failure>(&result)) {
        out << failure->message << '\n';
        err << failure->detail << '\n';
        return 1;
    }
    out << "ok\n";
    return 0;
}

int make(const QCommandLineParser& parser, QTextStream& out, QTextStream& err)
{
    if (parser.positionalArguments().size() != 1 || !parser.isSet(u"key"_s) || !parser.isSet(u"url-base"_s)
        || !parser.isSet(u"out"_s)) {
        err << "usage: tavrink-release make --key SECRET_KEY_FILE --url-base HTTPS_URL --out DIR [--notes TEXT]"
               " [--bundle BUNDLE]\n";
        return 2;
    }
    const auto key = Release::readSecretKey(parser.value(u"key"_s));
    if (const QString* error = std::get_if<QString>(&key)) {
        err << *error << '\n';
        return 1;
    }
    const QString bundle = parser.isSet(u"bundle"_s) ? parser.value(u"bundle"_s) : QStringLiteral(TAVRINK_BUNDLE_DIR);
    const std::optional<QString> notes
        = parser.isSet(u"notes"_s) ? std::optional(parser.value(u"notes"_s)) : std::nullopt;
    const auto made = Release::make(bundle, std::get<Minisign::SecretKey>(key), parser.value(u"url-base"_s),
                                    parser.value(u"out"_s), notes);
    if (const QString* error = std::get_if<QString>(&made)) {
        err << *error << '\n';
        return 1;
    }
    out << std::get<Release::Made>(made).archivePath << '\n' << std::get<Release::Made>(made).manifestPath << '\n';
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QCommandLineParser parser;
    parser.addPositionalArgument(u"command"_s, u"check or make"_s);
    parser.addOptions({{u"public-key"_s, u"The maker's public key file."_s, u"file"_s},
                       {u"version"_s, u"The version the manifest offers."_s, u"version"_s},
                       {u"key"_s, u"The maker's minisign secret key file."_s, u"file"_s},
                       {u"url-base"_s, u"The https address the archive is published under."_s, u"url"_s},
                       {u"out"_s, u"Where the archive and appcast.json are written."_s, u"folder"_s},
                       {u"notes"_s, u"Release notes for the manifest."_s, u"text"_s},
                       {u"bundle"_s, u"The bundle to release (the build tree's by default)."_s, u"folder"_s}});
    if (!parser.parse(application.arguments())) {
        err << parser.errorText() << '\n';
        return 2;
    }
    const QString command = parser.positionalArguments().value(0);
    if (command == u"check"_s)
        return check(parser, out, err);
    if (command == u"make"_s)
        return make(parser, out, err);
    err << "usage: tavrink-release check|make ...\n";
    return 2;
}
