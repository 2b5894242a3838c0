#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>
#include <variant>

/// Keeps Tavrink current from the maker's update manifest.
class UpdateChecker {
public:
    /// The newest release as the manifest names it.
    struct Manifest {
        QString version;
        QUrl url;
        std::optional<QString> notes;
    };

    /// The built-in manifest address, used unless the UpdateManifestURL setting names another.
    static constexpr auto defaultManifestURL = "https://kelvandrosi.com/tavrink/appcast.json";
    /// The largest manifest body read.
    static constexpr qint64 maximumManifestBytes = 64 * 1024;

    /// Whether candidate is strictly newer than reference: dot-separated decimal components
    /// compared in order, a missing one counting as 0, one that is not an optionally signed
    /// decimal that fits in 64 bits counting as 0 too.
    static bool isNewer(const QString& candidate, const QString& reference);
    /// The manifest in the body (a JSON object with the strings "version" and "url", and
    /// "notes" as a string or null), or why it is not one, in words for the user.
    static std::variant<Manifest, QString> decodeManifest(const QByteArray& body);
    /// The manifest address for an override (the UpdateManifestURL setting), or why it cannot be used.
    static std::variant<QUrl, QString> manifestURL(const std::optional<QString>& override);
};
