#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <optional>

/// The one line the update helper prints for the process that started it: a JSON object with
/// "staged" (where the verified new bundle now waits beside the installed one), or "message"
/// (for the user) and "detail" (for the journal); "unconfined" says why the helper ran with less
/// confinement than it asks for, and is empty when it had all of it.
struct UpdateHelperAnswer {
    QString staged;
    QString message;
    QString detail;
    QString unconfined;

    QByteArray encode() const
    {
        QJsonObject object{{QStringLiteral("unconfined"), unconfined}};
        if (message.isEmpty()) {
            object.insert(QStringLiteral("staged"), staged);
        } else {
            object.insert(QStringLiteral("message"), message);
            object.insert(QStringLiteral("detail"), detail);
        }
        return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    }
    /// The answer in a line, or nothing when the line is not one.
    static std::optional<UpdateHelperAnswer> decode(const QByteArray& line)
    {
        const QJsonDocument document = QJsonDocument::fromJson(line);
        const QJsonObject object = document.object();
        const auto text = [&object](const char* key) { return object.value(QLatin1String(key)); };
        const bool isStaged = text("staged").isString() && !text("staged").toString().isEmpty()
            && !object.contains(QLatin1String("message"));
        const bool isRefused = text("message").isString() && !text("message").toString().isEmpty()
            && text("detail").isString() && !object.contains(QLatin1String("staged"));
        if (!document.isObject() || isStaged == isRefused || !text("unconfined").isString())
            return std::nullopt;
        return UpdateHelperAnswer{text("staged").toString(), text("message").toString(), text("detail").toString(),
                                  text("unconfined").toString()};
    }
};
