#include "platform/linux/xdg/DesktopEntry.h"

#include <QList>

#include <QStringList>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace DesktopEntry {

QHash<QString, QString> keys(const QByteArray& text)
{
    QHash<QString, QString> keys;
    bool isInEntry = false;
    for (const QByteArray& raw : text.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(u'[')) {
            isInEntry = line == u"[Desktop Entry]"_s;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (isInEntry && equals > 0 && !line.startsWith(u'#'))
            keys.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return keys;
}

QString quotedArgument(const QString& argument)
{
    // Quoted only when it must be: some launchers (xdg-open's own) do not read quotes.
    static const QString reserved = u" \t\n\"'\\><~|&;$*?#()`"_s;
    if (!argument.isEmpty()
        && std::none_of(argument.cbegin(), argument.cend(), [](QChar c) { return reserved.contains(c); }))
        return QString(argument).replace(u'%', u"%%"_s);
    // Inside double quotes, desktop entries escape " ` $ and \ with a backslash; the value itself
    // then escapes each backslash once more, and a literal % is %% (a lone % starts a field code).
    QString quoted;
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    QString value = u'"' + quoted + u'"';
    return value.replace(u'\\', u"\\\\"_s).replace(u'%', u"%%"_s);
}

QString execProgram(const QString& exec)
{
    // Undo the value's own escapes first, then read the first argument, quoted or not.
    QString value;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        if (exec.at(i) == u'\\' && i + 1 < exec.size()) {
            const QChar next = exec.at(++i);
            value += next == u's' ? u' ' : next == u'n' ? u'\n' : next == u't' ? u'\t' : next;
        } else {
            value += exec.at(i);
        }
    }
    value = value.trimmed().replace(u"%%"_s, u"%"_s);
    if (!value.startsWith(u'"'))
        return value.section(u' ', 0, 0);
    QString program;
    for (qsizetype i = 1; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == u'"')
            return program;
        if (c == u'\\' && i + 1 < value.size())
            program += value.at(++i);
        else
            program += c;
    }
    return {}; // an unterminated quote
}

QByteArray withKeys(const QByteArray& text, const QHash<QString, QString>& values)
{
    QStringList lines = QString::fromUtf8(text).split(u'\n');
    QHash<QString, QString> missing = values;
    bool isInEntry = false;
    qsizetype groupEnd = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.startsWith(u'[')) {
            if (isInEntry)
                groupEnd = i;
            isInEntry = line == u"[Desktop Entry]"_s;
            continue;
        }
        const QString key = line.section(u'=', 0, 0).trimmed();
        if (isInEntry && line.contains(u'=') && !line.startsWith(u'#') && values.contains(key)) {
            lines[i] = key + u'=' + values.value(key);
            missing.remove(key);
        }
    }
    if (groupEnd < 0) {
        groupEnd = lines.size();
        while (groupEnd > 0 && lines[groupEnd - 1].trimmed().isEmpty())
            --groupEnd;
    }
    QStringList added;
    for (auto it = missing.cbegin(); it != missing.cend(); ++it)
        added << it.key() + u'=' + it.value();
    added.sort();
    for (qsizetype i = added.size() - 1; i >= 0; --i)
        lines.insert(groupEnd, added[i]);
    return lines.join(u'\n').toUtf8();
}

} // namespace DesktopEntry
