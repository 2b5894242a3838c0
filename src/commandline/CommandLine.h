#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <variant>

/// What the command line asks for.
namespace CommandLine {

enum class Mode { Panel, Print, Json, Watch, Help, Version };

struct Options {
    Mode mode = Mode::Panel;
    bool isPublicLookupSkipped = false;
    QList<QUrl> endpoints; // empty: the built-in echo services (or the settings' own)
    QList<QUrl> endpoints6; // the same, for the public IPv6 address
    /// Addresses to open (tavrink://settings), for the panel item, as given.
    QStringList urls;
};

struct Error {
    QString message;
};

/// Parses the arguments (the first is the program); an Error says what is wrong in words for the user.
std::variant<Options, Error> parse(const QStringList& arguments);
/// The --help text.
QString helpText();

} // namespace CommandLine
