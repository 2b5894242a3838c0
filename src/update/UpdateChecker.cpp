#include "update/UpdateChecker.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QList>

using namespace Qt::StringLiterals;

namespace {

// An optional sign and one or more ASCII digits that fit in 64 bits; anything else is 0.
qint64 component(QStringView piece)
{
    const QStringView digits = piece.startsWith(u'+') || piece.startsWith(u'-') ? piece.mid(1) : piece;
    if (digits.isEmpty())
        return 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return 0;
    }
    bool isNumber = false;
    const qint64 value = piece.startsWith(u'+') ? digits.toLongLong(&isNumber) : piece.toLongLong(&isNumber);
    return isNumber ? value : 0;
}

QList<qint64> components(const QString& version)
{
    QList<qint64> numbers;
    for (const QStringView piece : QStringView(version).split(u'.', Qt::SkipEmptyParts))
        numbers.append(component(piece));
    return numbers;
}

} // namespace

bool UpdateChecker::isNewer(const QString& candidate, const QString& reference)
{
    const QList<qint64> a = components(candidate);
    const QList<qint64> b = components(reference);
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        const qint64 x = a.value(i, 0);
        const qint64 y = b.value(i, 0);
        if (x != y)
            return x > y;
    }
    return false;
}

std::variant<UpdateChecker::Manifest, QString> UpdateChecker::decodeManifest(const QByteArray& body)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return u"The update information is not valid JSON (%1 at byte %2)."_s.arg(error.errorString())
            .arg(error.offset);
    if (!document.isObject())
        return u"The update information is not a JSON object."_s;
    const QJsonObject object = document.object();
    const QJsonValue version = object.value(u"version"_s);
    const QJsonValue url = object.value(u"url"_s);
    const QJsonValue notes = object.value(u"notes"_s);
    if (!version.isString())
        return u"The update information has no \"version\" text."_s;
    if (!url.isString())
        return u"The update information has no \"url\" text."_s;
    if (!notes.isUndefined() && !notes.isNull() && !notes.isString())
        return u"The update information's \"notes\" are not text."_s;
    const QUrl address(url.toString(), QUrl::StrictMode);
    if (!address.isValid() || address.isRelative())
        return u"The update information's \"url\" is not a valid address."_s;
    return Manifest{version.toString(), address, notes.isString() ? std::optional(notes.toString()) : std::nullopt};
}

std::variant<QUrl, QString> UpdateChecker::manifestURL(const std::optional<QString>& override)
{
    const QUrl url(override.value_or(QLatin1String(defaultManifestURL)), QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != u"https"_s || url.host().isEmpty())
        return u"The update address \"%1\" is not a valid https address."_s.arg(*override);
    return url;
}
