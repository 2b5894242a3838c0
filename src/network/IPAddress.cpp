#include "network/IPAddress.h"

#include <QStringList>

#include <array>

#include <arpa/inet.h>

using namespace Qt::StringLiterals;

namespace {

std::optional<std::array<unsigned char, 16>> ipv6Bytes(const QString& text)
{
    const QString trimmed = text.trimmed();
    std::array<unsigned char, 16> bytes{};
    if (trimmed.contains(QChar(0)) || inet_pton(AF_INET6, trimmed.toUtf8().constData(), bytes.data()) != 1)
        return std::nullopt;
    return bytes;
}

// The octets of a normalised IPv4 text, or none.
std::optional<std::array<unsigned, 4>> ipv4Octets(const QString& text)
{
    const std::optional<QString> normalized = IPAddress::normalizedIPv4(text);
    if (!normalized)
        return std::nullopt;
    std::array<unsigned, 4> octets{};
    int count = 0;
    for (const QString& piece : normalized->split(u'.', Qt::SkipEmptyParts)) {
        bool isNumber = false;
        const unsigned value = piece.toUInt(&isNumber);
        if (!isNumber || value > 255)
            continue;
        if (count == 4)
            return std::nullopt;
        octets[static_cast<size_t>(count++)] = value;
    }
    if (count != 4)
        return std::nullopt;
    return octets;
}

} // namespace

namespace IPAddress {

std::optional<QString> normalizedIPv4(const QString& text)
{
    // QString::trimmed removes exactly the whitespace-and-newline set: Zs, Zl, Zp, U+0009-U+000D, U+0085.
    const QString trimmed = text.trimmed();
    std::array<unsigned char, 4> bytes{};
    // inet_pton stops at a NUL; the text after it would otherwise ride along as part of the "address".
    if (trimmed.contains(QChar(0)) || inet_pton(AF_INET, trimmed.toUtf8().constData(), bytes.data()) != 1)
        return std::nullopt;
    return trimmed;
}

std::optional<QString> normalizedGlobalIPv6(const QString& text)
{
    // Link-local, unique-local, mapped IPv4 and the rest lie outside 2000::/3: none is the address
    // the internet sees.
    const auto bytes = ipv6Bytes(text);
    if (!bytes || ((*bytes)[0] & 0xE0) != 0x20)
        return std::nullopt;
    std::array<char, INET6_ADDRSTRLEN> canonical{};
    if (!inet_ntop(AF_INET6, bytes->data(), canonical.data(), canonical.size()))
        return std::nullopt;
    return QString::fromLatin1(canonical.data());
}

bool isTailscaleIPv4(const QString& text)
{
    const auto octets = ipv4Octets(text);
    return octets && (*octets)[0] == 100 && (*octets)[1] >= 64 && (*octets)[1] <= 127;
}

bool isLinkLocalIPv4(const QString& text)
{
    const auto octets = ipv4Octets(text);
    return octets && (*octets)[0] == 169 && (*octets)[1] == 254;
}

bool isTailscaleIPv6(const QString& text)
{
    return text.toLower().startsWith(u"fd7a:115c:a1e0:"_s);
}

bool isLinkLocalIPv6(const QString& text)
{
    const auto bytes = ipv6Bytes(text);
    return bytes && (*bytes)[0] == 0xFE && ((*bytes)[1] & 0xC0) == 0x80;
}

} // namespace IPAddress
