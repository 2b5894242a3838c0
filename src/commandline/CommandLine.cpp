#include "commandline/CommandLine.h"

using namespace Qt::StringLiterals;

namespace CommandLine {

std::variant<Options, Error> parse(const QStringList& arguments)
{
    Options options;
    QStringList modes;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        QString value;
        const bool isEndpoint = argument == u"--endpoint"_s || argument.startsWith(u"--endpoint="_s);
        if (argument == u"--json"_s) {
            modes << argument;
            options.mode = Mode::Json;
        } else if (argument == u"--print"_s) {
            modes << argument;
            options.mode = Mode::Print;
        } else if (argument == u"--watch"_s) {
            modes << argument;
            options.mode = Mode::Watch;
        } else if (argument == u"--help"_s || argument == u"-h"_s) {
            return Options{Mode::Help, false, {}, {}};
        } else if (argument == u"--version"_s) {
            return Options{Mode::Version, false, {}, {}};
        } else if (argument == u"--no-public"_s) {
            options.isPublicLookupSkipped = true;
        } else if (isEndpoint) {
            if (argument.contains(u'='))
                value = argument.section(u'=', 1);
            else if (i + 1 < arguments.size())
                value = arguments.at(++i);
            else
                return Error{u"--endpoint needs a URL, such as --endpoint https://ip.example.net"_s};
            const QUrl url(value, QUrl::StrictMode);
            if (!url.isValid() || url.scheme() != u"https"_s || url.host().isEmpty())
                return Error{u"--endpoint takes an https:// URL; \"%1\" is not one"_s.arg(value)};
            options.endpoints.append(url);
        } else if (!argument.startsWith(u'-') || argument == u"-"_s) {
            options.urls << argument;
        } else {
            return Error{u"unknown option \"%1\" (see --help)"_s.arg(argument)};
        }
    }
    if (modes.size() > 1)
        return Error{u"%1 cannot be combined; choose one"_s.arg(modes.join(u" and "_s))};
    if (!modes.isEmpty() && !options.urls.isEmpty())
        return Error{u"%1 takes no address to open (\"%2\"); addresses go to the panel item"_s.arg(
            modes.first(), options.urls.first())};
    return options;
}

QString helpText()
{
    return uR"(Usage: tavrink [--print | --json | --watch] [--no-public] [--endpoint URL]...
       tavrink [ADDRESS...]

Shows this computer's network identity: hostname, public IPv4 address,
Tailscale addresses and local interface addresses. Without --print, --json or
--watch it puts its item in the desktop panel (or prints, without a desktop).
One item runs per desktop session: starting tavrink again shows the running
one's settings window, and an ADDRESS such as tavrink://settings is handed to it.

  --print          print the addresses as the menu lists them
  --json           print one JSON object and exit
  --watch          keep running and print a JSON line each time the addresses
                   are published (on network changes, on wake, every 5 minutes)
  --no-public      do not look up the public IPv4 address
  --endpoint URL   ask this HTTPS echo service for the public address instead of
                   the built-in ones; may be given more than once
  --version        print the version and exit
  -h, --help       print this help and exit
)"_s;
}

} // namespace CommandLine
