#include "commandline/CommandLine.h"

#include "network/PublicIPService.h"

#include <QCommandLineParser>

using namespace Qt::StringLiterals;

namespace CommandLine {

namespace {

// The argument as the user wrote it that names the option, for the messages.
QString written(const QStringList& arguments, const QString& name)
{
    for (const QString& argument : arguments.mid(1)) {
        const QString option = argument.section(u'=', 0, 0);
        if (option == u"--"_s + name || option == u'-' + name)
            return option;
    }
    return u"--"_s + name;
}

} // namespace

std::variant<Options, Error> parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption json(u"json"_s), print(u"print"_s), watch(u"watch"_s), noPublic(u"no-public"_s),
        version(u"version"_s), help(QStringList{u"help"_s, u"h"_s}),
        endpoint(QStringList{u"endpoint"_s}, QString(), u"URL"_s),
        endpoint6(QStringList{u"endpoint6"_s}, QString(), u"URL"_s);
    parser.addOptions({json, print, watch, noPublic, version, help, endpoint, endpoint6});
    const bool isParsed = parser.parse(arguments);
    // Help and the version answer whatever else was given, unless a mistake came before them.
    const QStringList unknown = parser.unknownOptionNames();
    const auto before = [&](const QString& name) {
        const qsizetype mistake
            = unknown.isEmpty() ? arguments.size() : arguments.indexOf(written(arguments, unknown.first()));
        for (qsizetype i = 1; i < arguments.size() && i < (mistake < 0 ? arguments.size() : mistake); ++i) {
            if (arguments.at(i) == u"--"_s + name || (name == u"help"_s && arguments.at(i) == u"-h"_s))
                return true;
        }
        return false;
    };
    for (const auto& [name, mode] : {std::pair{u"help"_s, Mode::Help}, std::pair{u"version"_s, Mode::Version}}) {
        if (before(name))
            return Options{mode, false, {}, {}, {}};
    }
    if (!isParsed && !unknown.isEmpty())
        return Error{u"unknown option \"%1\" (see --help)"_s.arg(written(arguments, unknown.first()))};
    if (!isParsed) {
        // A value given to an option that takes none is an option of its own, as written.
        for (const QString& argument : arguments.mid(1)) {
            if (argument.startsWith(u'-') && argument.contains(u'=') && !argument.startsWith(u"--endpoint="_s)
                && !argument.startsWith(u"--endpoint6="_s))
                return Error{u"unknown option \"%1\" (see --help)"_s.arg(argument)};
        }
        // Else an option that takes a value came without one.
        const QString name = arguments.last().startsWith(u"--endpoint6"_s) ? u"--endpoint6"_s : u"--endpoint"_s;
        return Error{u"%1 needs a URL, such as %1 https://ip.example.net"_s.arg(name)};
    }

    Options options;
    QStringList modes;
    for (const QString& argument : arguments.mid(1)) {
        for (const auto& [name, mode] : {std::pair{u"--json"_s, Mode::Json}, std::pair{u"--print"_s, Mode::Print},
                                         std::pair{u"--watch"_s, Mode::Watch}}) {
            if (argument == name) {
                modes << name;
                options.mode = mode;
            }
        }
    }
    options.isPublicLookupSkipped = parser.isSet(noPublic);
    for (const auto& [option, list] :
         {std::pair{&endpoint, &options.endpoints}, std::pair{&endpoint6, &options.endpoints6}}) {
        for (const QString& value : parser.values(*option)) {
            const QUrl url(value, QUrl::StrictMode);
            if (!PublicIPService::isEndpoint(url))
                return Error{u"--%1 takes an https:// URL; \"%2\" is not one"_s.arg(option->names().first(), value)};
            list->append(url);
        }
    }
    options.urls = parser.positionalArguments();
    if (modes.size() > 1)
        return Error{u"%1 cannot be combined; choose one"_s.arg(modes.join(u" and "_s))};
    if (!modes.isEmpty() && !options.urls.isEmpty())
        return Error{u"%1 takes no address to open (\"%2\"); addresses go to the panel item"_s.arg(
            modes.first(), options.urls.first())};
    return options;
}

QString helpText()
{
    return uR"(Usage: tavrink [--print | --json | --watch] [--no-public]
               [--endpoint URL]... [--endpoint6 URL]...
       tavrink [ADDRESS...]

Shows this computer's network identity: hostname, public IPv4 and IPv6
addresses, Tailscale addresses and local interface addresses. Without --print, --json or
--watch it puts its item in the desktop panel (or prints, without a desktop).
One item runs per desktop session: starting tavrink again shows the running
one's settings window, and an ADDRESS such as tavrink://settings is handed to it.

  --print          print the addresses as the menu lists them
  --json           print one JSON object and exit
  --watch          keep running and print a JSON line each time the addresses
                   are published (on network changes, on wake, every 5 minutes)
  --no-public      do not look up the public addresses
  --endpoint URL   ask this HTTPS echo service for the public address instead of
                   the built-in ones; may be given more than once
  --endpoint6 URL  the same for the public IPv6 address, asked only while the
                   machine has an IPv6 default route
  --version        print the version and exit
  -h, --help       print this help and exit
)"_s;
}

} // namespace CommandLine
