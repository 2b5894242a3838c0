#pragma once

#include "verify/Minisign.h"

#include <QString>

#include <optional>
#include <variant>

/// The maker's side of an update: signing a bundle, packing it, publishing the manifest.
namespace Release {

/// A minisign secret key file; an encrypted one is opened with MINISIGN_PASSWORD.
std::variant<Minisign::SecretKey, QString> readSecretKey(const QString& path);
/// A minisign public key file.
std::variant<Minisign::PublicKey, QString> readPublicKey(const QString& path);
/// Signs the bundle in place (its _CodeSignature is written anew).
std::optional<QString> signBundle(const QString& bundlePath, const Minisign::SecretKey& key);
/// Zips the bundle with "Tavrink.app" at the archive's top level, links kept as links.
std::optional<QString> zipBundle(const QString& bundlePath, const QString& archivePath);

struct Made {
    QString archivePath;
    QString manifestPath;
};
/// Signs a copy of the bundle, zips it as outDir/Tavrink-<version>.zip and writes
/// outDir/appcast.json naming it under urlBase; the archive is checked as the application
/// would check it before anything is reported made.
std::variant<Made, QString> make(const QString& bundlePath, const Minisign::SecretKey& key, const QString& urlBase,
                                 const QString& outDir, const std::optional<QString>& notes);

} // namespace Release
