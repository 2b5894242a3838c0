#include "verify/Minisign.h"

#include <QList>

#include <sodium.h>

using namespace Qt::StringLiterals;

namespace Minisign {
namespace {

constexpr int kKeyIdBytes = 8;
constexpr int kSaltBytes = crypto_pwhash_scryptsalsa208sha256_SALTBYTES;
// Secret key file: algorithm, KDF, checksum algorithm, salt, opslimit, memlimit, then the
// (possibly encrypted) key id, secret key and checksum.
constexpr int kSecretHeaderBytes = 2 + 2 + 2 + kSaltBytes + 8 + 8;
constexpr int kSecretPartBytes = kKeyIdBytes + crypto_sign_SECRETKEYBYTES + crypto_generichash_BYTES;

bool isSodiumReady()
{
    static const bool isReady = sodium_init() >= 0;
    return isReady;
}

std::optional<QByteArray> fromBase64(const QByteArray& line)
{
    const auto decoded = QByteArray::fromBase64Encoding(line.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? std::optional(*decoded) : std::nullopt;
}

// The base64 line after an optional "untrusted comment:" line.
QByteArray keyLine(const QByteArray& text)
{
    QList<QByteArray> lines = text.trimmed().split('\n');
    if (lines.size() == 2 && lines.first().startsWith("untrusted comment:"))
        lines.removeFirst();
    if (lines.size() != 1)
        return {};
    return fromBase64(lines.first()).value_or(QByteArray());
}

quint64 littleEndian(const char* bytes)
{
    quint64 value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    return value;
}

QByteArray blake2b(const QByteArray& data, int bytes)
{
    QByteArray hash(bytes, '\0');
    crypto_generichash(reinterpret_cast<unsigned char*>(hash.data()), hash.size(),
                       reinterpret_cast<const unsigned char*>(data.constData()), data.size(), nullptr, 0);
    return hash;
}

QByteArray signDetached(const QByteArray& secretKey, const QByteArray& message)
{
    QByteArray signature(crypto_sign_BYTES, '\0');
    crypto_sign_detached(reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                         reinterpret_cast<const unsigned char*>(message.constData()), message.size(),
                         reinterpret_cast<const unsigned char*>(secretKey.constData()));
    return signature;
}

bool verifyDetached(const QByteArray& publicKey, const QByteArray& message, const QByteArray& signature)
{
    return signature.size() == crypto_sign_BYTES && publicKey.size() == crypto_sign_PUBLICKEYBYTES
        && crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature.constData()),
                                       reinterpret_cast<const unsigned char*>(message.constData()), message.size(),
                                       reinterpret_cast<const unsigned char*>(publicKey.constData()))
        == 0;
}

} // namespace

PublicKey SecretKey::publicKey() const
{
    return {keyId, secretKey.mid(32)};
}

std::optional<PublicKey> parsePublicKey(const QByteArray& text)
{
    const QByteArray bytes = keyLine(text);
    if (bytes.size() != 2 + kKeyIdBytes + crypto_sign_PUBLICKEYBYTES || !bytes.startsWith("Ed"))
        return std::nullopt;
    return PublicKey{bytes.mid(2, kKeyIdBytes), bytes.mid(2 + kKeyIdBytes)};
}

QByteArray formatPublicKey(const PublicKey& key)
{
    const QByteArray id = key.keyId.toHex().toUpper();
    QByteArray reversed;
    for (qsizetype i = id.size() - 2; i >= 0; i -= 2)
        reversed += id.mid(i, 2);
    return "untrusted comment: minisign public key " + reversed + '\n' + ("Ed" + key.keyId + key.key).toBase64() + '\n';
}

std::variant<SecretKey, QString> parseSecretKey(const QByteArray& text, const QByteArray& password)
{
    if (!isSodiumReady())
        return u"The cryptography library could not be initialised."_s;
    QByteArray bytes = keyLine(text);
    if (bytes.size() != kSecretHeaderBytes + kSecretPartBytes || !bytes.startsWith("Ed") || bytes.mid(4, 2) != "B2")
        return u"This is not a minisign secret key."_s;
    const QByteArray kdf = bytes.mid(2, 2);
    const bool isEncrypted = kdf == "Sc";
    if (!isEncrypted && kdf != QByteArray(2, '\0'))
        return u"The secret key is protected by an unknown method."_s;
    if (isEncrypted) {
        if (password.isEmpty())
            return u"The secret key is encrypted: give its password."_s;
        const auto* header = bytes.constData();
        QByteArray stream(kSecretPartBytes, '\0');
        if (crypto_pwhash_scryptsalsa208sha256(
                reinterpret_cast<unsigned char*>(stream.data()), stream.size(), password.constData(), password.size(),
                reinterpret_cast<const unsigned char*>(header + 6), littleEndian(header + 6 + kSaltBytes),
                littleEndian(header + 6 + kSaltBytes + 8))
            != 0)
            return u"The secret key's password could not be applied (out of memory)."_s;
        for (int i = 0; i < kSecretPartBytes; ++i)
            bytes[kSecretHeaderBytes + i] = static_cast<char>(bytes[kSecretHeaderBytes + i] ^ stream[i]);
        sodium_memzero(stream.data(), stream.size());
    }
    SecretKey key{bytes.mid(kSecretHeaderBytes, kKeyIdBytes),
                  bytes.mid(kSecretHeaderBytes + kKeyIdBytes, crypto_sign_SECRETKEYBYTES)};
    const QByteArray checksum = bytes.mid(kSecretHeaderBytes + kKeyIdBytes + crypto_sign_SECRETKEYBYTES);
    // minisign leaves the checksum of an unencrypted key zero; an encrypted one must match, or the
    // password was wrong.
    const bool isChecked = isEncrypted || checksum != QByteArray(crypto_generichash_BYTES, '\0');
    if (isChecked && blake2b("Ed" + key.keyId + key.secretKey, crypto_generichash_BYTES) != checksum)
        return isEncrypted ? u"Wrong password for the secret key."_s : u"The secret key is damaged."_s;
    // The secret key holds its public half: a key that disagrees with itself signs nothing valid.
    unsigned char derived[crypto_sign_PUBLICKEYBYTES];
    crypto_sign_ed25519_sk_to_pk(derived, reinterpret_cast<const unsigned char*>(key.secretKey.constData()));
    if (QByteArray(reinterpret_cast<const char*>(derived), sizeof derived) != key.secretKey.mid(32))
        return u"The secret key is damaged."_s;
    return key;
}

QByteArray generateSecretKey()
{
    if (!isSodiumReady())
        return {};
    QByteArray publicKey(crypto_sign_PUBLICKEYBYTES, '\0');
    QByteArray secretKey(crypto_sign_SECRETKEYBYTES, '\0');
    crypto_sign_keypair(reinterpret_cast<unsigned char*>(publicKey.data()),
                        reinterpret_cast<unsigned char*>(secretKey.data()));
    QByteArray keyId(kKeyIdBytes, '\0');
    randombytes_buf(keyId.data(), keyId.size());
    const QByteArray checksum = blake2b("Ed" + keyId + secretKey, crypto_generichash_BYTES);
    const QByteArray bytes
        = "Ed" + QByteArray(2, '\0') + "B2" + QByteArray(kSaltBytes + 16, '\0') + keyId + secretKey + checksum;
    return "untrusted comment: minisign secret key\n" + bytes.toBase64() + '\n';
}

std::optional<Signature> parseSignature(const QByteArray& text)
{
    const QList<QByteArray> lines = text.split('\n');
    if (lines.size() < 4 || !lines.at(0).startsWith("untrusted comment:")
        || !lines.at(2).startsWith("trusted comment: "))
        return std::nullopt;
    for (qsizetype i = 4; i < lines.size(); ++i) {
        if (!lines.at(i).trimmed().isEmpty())
            return std::nullopt;
    }
    const std::optional<QByteArray> first = fromBase64(lines.at(1));
    const std::optional<QByteArray> global = fromBase64(lines.at(3));
    // Only the prehashed form: "Ed" would sign the file itself.
    if (!first || !global || first->size() != 2 + kKeyIdBytes + crypto_sign_BYTES || !first->startsWith("ED")
        || global->size() != crypto_sign_BYTES)
        return std::nullopt;
    const QByteArray comment = lines.at(2).mid(int(sizeof "trusted comment: ") - 1);
    const QString trusted = QString::fromUtf8(comment);
    if (trusted.toUtf8() != comment)
        return std::nullopt;
    return Signature{first->mid(2, kKeyIdBytes), first->mid(2 + kKeyIdBytes), trusted, *global};
}

QByteArray sign(const SecretKey& key, const QByteArray& data, const QString& trustedComment)
{
    if (!isSodiumReady())
        return {};
    // One line: a line break would end the comment early and break the file.
    const QByteArray comment = QString(trustedComment).replace(u'\n', u' ').toUtf8();
    const QByteArray signature = signDetached(key.secretKey, blake2b(data, crypto_generichash_BYTES_MAX));
    const QByteArray global = signDetached(key.secretKey, signature + comment);
    return "untrusted comment: signature from tavrink-sign secret key\n" + ("ED" + key.keyId + signature).toBase64()
        + "\ntrusted comment: " + comment + '\n' + global.toBase64() + '\n';
}

bool verify(const PublicKey& key, const QByteArray& data, const QByteArray& signatureFile)
{
    if (!isSodiumReady())
        return false;
    const std::optional<Signature> signature = parseSignature(signatureFile);
    return signature && signature->keyId == key.keyId
        && verifyDetached(key.key, blake2b(data, crypto_generichash_BYTES_MAX), signature->signature)
        && verifyDetached(key.key, signature->signature + signature->trustedComment.toUtf8(),
                          signature->globalSignature);
}

} // namespace Minisign
