#pragma once

#include <QString>

/// One row of the local address list.
struct LocalAddress {
    QString interfaceName;
    QString displayName;
    QString address;
    /// The kind of network the interface belongs to (NetworkInterfaces::kindOf).
    QString kind = QStringLiteral("other");

    /// Identity of the row: the display name is not part of it.
    QString id() const { return interfaceName + u'|' + address; }

    friend bool operator==(const LocalAddress&, const LocalAddress&) = default;
};
