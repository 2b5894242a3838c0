#pragma once

#include <QString>

#include <optional>

/// Questions about one textual IP address. Pure functions; the text is parsed on every call.
namespace IPAddress {

/// The text with surrounding whitespace trimmed, if that is a dotted-decimal IPv4 address.
std::optional<QString> normalizedIPv4(const QString& text);
/// The text's address in its canonical form, if it is a global unicast IPv6 address (2000::/3),
/// written without zone, brackets, port or prefix length.
std::optional<QString> normalizedGlobalIPv6(const QString& text);
/// A well-formed IPv4 address in 100.64.0.0/10, the range Tailscale hands out.
bool isTailscaleIPv4(const QString& text);
/// A well-formed IPv4 address in 169.254.0.0/16.
bool isLinkLocalIPv4(const QString& text);
/// Begins, ignoring case, with Tailscale's IPv6 prefix "fd7a:115c:a1e0:".
bool isTailscaleIPv6(const QString& text);
/// A well-formed IPv6 address in fe80::/10 (a zone suffix makes it ill-formed).
bool isLinkLocalIPv6(const QString& text);

} // namespace IPAddress
