#pragma once

#include <QObject>
#include <QStringList>

#include <optional>

/// What the Tailscale daemon says of this device.
struct TailscaleStatus {
    /// The device's Tailscale addresses, as the daemon reports them.
    QStringList addresses;
    /// The device's MagicDNS name, without the trailing dot; empty when it has none.
    QString dnsName;

    friend bool operator==(const TailscaleStatus&, const TailscaleStatus&) = default;
};

/// Asks the Tailscale daemon of this machine about this device, without blocking.
class TailscaleStatusSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    /// Asks once; answered() follows on a later turn, within a short limit, with nothing when
    /// there is no daemon or it could not be understood. A new query replaces one in flight.
    virtual void query() = 0;

Q_SIGNALS:
    void answered(const std::optional<TailscaleStatus>& status);
};
