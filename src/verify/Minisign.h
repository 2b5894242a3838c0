#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <variant>

/// Ed25519 signatures in the file formats of the minisign command, so that a signature made
/// here verifies with `minisign -V` and one made by `minisign -S` verifies here. Only the
/// prehashed form ("ED": the signature covers the BLAKE2b-512 hash of the file) is made and
/// accepted; the legacy form that signs the file itself ("Ed") is refused.
namespace Minisign {

struct PublicKey {
    QByteArray keyId; // 8 bytes, as stored (little-endian)
    QByteArray key; // 32 bytes

    bool operator==(const PublicKey&) const = default;
};

struct SecretKey {
    QByteArray keyId; // 8 bytes
    QByteArray secretKey; // 64 bytes: the seed, then the public key

    PublicKey publicKey() const;
};

struct Signature {
    QByteArray keyId;
    QByteArray signature; // over BLAKE2b-512 of the file
    QString trustedComment;
    QByteArray globalSignature; // over the signature and the trusted comment
};

/// A public key file ("untrusted comment: …" and one base64 line) or the base64 line alone.
std::optional<PublicKey> parsePublicKey(const QByteArray& text);
/// The public key file for the key.
QByteArray formatPublicKey(const PublicKey& key);

/// A secret key file; an encrypted one needs its password. The error is said in words.
std::variant<SecretKey, QString> parseSecretKey(const QByteArray& text, const QByteArray& password = {});
/// A new, unencrypted key pair as a secret key file (for tests and first releases).
QByteArray generateSecretKey();

/// The four lines of a signature file.
std::optional<Signature> parseSignature(const QByteArray& text);
/// Signs the data: the signature file's text.
QByteArray sign(const SecretKey& key, const QByteArray& data, const QString& trustedComment);
/// Whether the signature file is a valid prehashed signature of the data by the key.
bool verify(const PublicKey& key, const QByteArray& data, const QByteArray& signatureFile);

} // namespace Minisign
