#pragma once

#include "verify/Minisign.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <variant>

/// The signature of a Tavrink.app bundle, kept in its _CodeSignature folder:
///   CodeResources          every other file of the bundle, one line each, in byte order of path
///   CodeResources.minisig  a minisign signature (prehashed) of CodeResources
///   signer.pub             the public key that made it; copies released so far require the file,
///                          so it is still written, but nothing trusts it: a bundle is verified
///                          against the key the verifier pins
/// A line is "f MODE SIZE SHA256 PATH", "d MODE - - PATH" or "l - - - PATH TARGET", with the
/// path relative to the bundle and path and target percent-encoded outside [A-Za-z0-9._~+@,=:/-].
namespace CodeSignature {

inline constexpr auto folder = "_CodeSignature";

/// The CodeResources text the bundle has now, or why it cannot be signed (a file type other than
/// file, folder or symlink; a symlink that leaves the bundle or leads nowhere; an unreadable file).
std::variant<QByteArray, QString> resources(const QString& bundlePath);
/// Writes _CodeSignature for the bundle; why not, on failure.
std::optional<QString> sign(const QString& bundlePath, const Minisign::SecretKey& key, const QString& trustedComment);
struct Refusal {
    enum class Reason {
        /// Damaged, edited, incomplete or unreadable: no valid signature at all.
        Invalid,
        /// A signature made by a key other than the pinned one.
        OtherSigner,
    };
    Reason reason;
    /// What exactly is wrong, for the journal and the maker.
    QString detail;
};

/// Strict, deep verification against the pinned key, the only signer accepted: the signature of
/// CodeResources is the pinned key's, CodeResources is exactly what the bundle holds (nothing
/// edited, missing or extra, no mode changed), and _CodeSignature holds its three files only.
/// Nothing when all of that holds, else why not.
std::optional<Refusal> verify(const QString& bundlePath, const Minisign::PublicKey& pinnedKey);

} // namespace CodeSignature
