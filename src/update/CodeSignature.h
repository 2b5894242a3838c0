#pragma once

#include "update/Minisign.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <variant>

/// The signature of a Tavrink.app bundle, kept in its _CodeSignature folder:
///   CodeResources          every other file of the bundle, one line each, in byte order of path
///   CodeResources.minisig  a minisign signature (prehashed) of CodeResources
///   signer.pub             the public key that made it
/// A line is "f MODE SIZE SHA256 PATH", "d MODE - - PATH" or "l - - - PATH TARGET", with the
/// path relative to the bundle and path and target percent-encoded outside [A-Za-z0-9._~+@,=:/-].
namespace CodeSignature {

inline constexpr auto folder = "_CodeSignature";

/// The target of a symbolic link, as it is written; empty when the path is no readable link.
QByteArray linkTarget(const QByteArray& path);

/// The CodeResources text the bundle has now, or why it cannot be signed (a file type other than
/// file, folder or symlink; a symlink that leaves the bundle or leads nowhere; an unreadable file).
std::variant<QByteArray, QString> resources(const QString& bundlePath);
/// Writes _CodeSignature for the bundle; why not, on failure.
std::optional<QString> sign(const QString& bundlePath, const Minisign::SecretKey& key, const QString& trustedComment);
/// Strict, deep verification: the signature is valid for the key in signer.pub, CodeResources
/// is exactly what the bundle holds (nothing edited, missing or extra, no mode changed), and
/// _CodeSignature holds those three files only. The signer's key, or why not.
std::variant<Minisign::PublicKey, QString> verify(const QString& bundlePath);

} // namespace CodeSignature
