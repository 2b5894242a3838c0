#pragma once

#include "network/LocalAddress.h"
#include "network/PublicIPService.h"
#include "platform/Clock.h"
#include "platform/ErrorLog.h"
#include "platform/NetworkInventory.h"
#include "platform/PathMonitor.h"
#include "platform/TailscaleStatus.h"
#include "platform/WakeMonitor.h"

#include <QDateTime>
#include <QList>
#include <QObject>

#include <chrono>
#include <memory>
#include <optional>

/// The machine's addresses for display, kept current: every five minutes, on waking, and one
/// second after the network path last changed. Every assignment of a published property is
/// announced, changed or not.
class NetworkStatusModel : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::seconds refreshInterval{300};
    static constexpr std::chrono::seconds debounceDelay{1};

    struct Dependencies {
        NetworkInventory& inventory;
        Clock& clock;
        ErrorLog& log;
        std::unique_ptr<PathMonitor> pathMonitor;
        std::unique_ptr<WakeMonitor> wakeMonitor;
        /// Absent: the model makes no public lookups.
        std::unique_ptr<PublicIPService> publicIPService;
        /// Absent: no public IPv6 lookup. It runs beside the IPv4 one, while an IPv6 default route exists.
        std::unique_ptr<PublicIPService> publicIPv6Service = nullptr;
        /// Absent: Tailscale's interface is known by its name alone.
        std::unique_ptr<TailscaleStatusSource> tailscale = nullptr;
    };

    /// Fills the lists, starts the timer and both monitors; the first public lookup starts on the
    /// next turn of the event loop.
    explicit NetworkStatusModel(Dependencies dependencies, QObject* parent = nullptr);
    ~NetworkStatusModel() override;

    std::optional<QString> publicAddress() const { return m_publicAddress; }
    /// The public IPv6 address the last successful IPv6 lookup found, while an IPv6 default route exists.
    std::optional<QString> publicIPv6Address() const { return m_publicIPv6Address; }
    /// Whether the last interface step found an IPv6 default route.
    bool hasIPv6Route() const { return m_hasIPv6Route; }
    /// Whether public lookups are made at all; off, none leaves the machine on any trigger.
    bool isPublicLookupEnabled() const { return m_isPublicLookupEnabled; }
    /// Turns public lookups on (a refresh follows at once) or off (one in flight is abandoned).
    void setPublicLookupEnabled(bool isEnabled);
    QList<QString> tailscaleAddresses() const { return m_tailscaleAddresses; }
    QList<LocalAddress> localAddresses() const { return m_localAddresses; }
    std::optional<QDateTime> lastUpdated() const { return m_lastUpdated; }
    std::optional<QString> lastError() const { return m_lastError; }
    /// The device's MagicDNS name, while the Tailscale daemon gives one.
    std::optional<QString> tailscaleName() const { return m_tailscaleName; }

    /// The service that looks the family's public address up; none when it is not looked up.
    const PublicIPService* publicIPService(AddressFamily family) const
    {
        return (family == AddressFamily::IPv6 ? m_publicIPv6Service : m_publicIPService).get();
    }

    /// Re-reads the interface lists at once and starts a new public lookup, replacing any pending one.
    void refresh();

Q_SIGNALS:
    void publicAddressChanged();
    void publicIPv6AddressChanged();
    void hasIPv6RouteChanged();
    void publicLookupEnabledChanged();
    void tailscaleAddressesChanged();
    void localAddressesChanged();
    void lastUpdatedChanged();
    void lastErrorChanged();
    void tailscaleNameChanged();
    /// A lookup of the family found the address, from the endpoint named; after it is published.
    void publicAddressFound(AddressFamily family, const QString& address, const QUrl& answeredBy);
    /// After every assignment of any of the properties above.
    void published();

private:
    void runInterfaceStep();
    void publishLists();
    void onTailscaleAnswered(const std::optional<TailscaleStatus>& status);
    void scheduleRefreshAfterNetworkChange();
    void performRefresh();
    void cancelPendingRefresh();
    void onLookupFinished();
    void onIPv6LookupFinished();
    template<typename T>
    void assign(T& member, T value, void (NetworkStatusModel::*changed)());

    NetworkInventory& m_inventory;
    Clock& m_clock;
    ErrorLog& m_log;
    std::unique_ptr<PathMonitor> m_pathMonitor;
    std::unique_ptr<WakeMonitor> m_wakeMonitor;
    std::unique_ptr<PublicIPService> m_publicIPService;
    std::unique_ptr<PublicIPService> m_publicIPv6Service;
    std::unique_ptr<TailscaleStatusSource> m_tailscale;
    std::optional<TailscaleStatus> m_tailscaleStatus; // the daemon's last answer

    std::optional<QString> m_publicAddress;
    std::optional<QString> m_publicIPv6Address;
    bool m_hasIPv6Route = false;
    bool m_isPublicLookupEnabled = true;
    QList<QString> m_tailscaleAddresses;
    QList<LocalAddress> m_localAddresses;
    std::optional<QDateTime> m_lastUpdated;
    std::optional<QString> m_lastError;
    std::optional<QString> m_tailscaleName;

    std::unique_ptr<ClockTimer> m_refreshTimer;
    // The one pending refresh: a debounce wait, then a lookup. Replacing either cancels it.
    std::unique_ptr<ClockTimer> m_debounce;
    std::unique_ptr<PublicIPLookup> m_lookup;
    std::unique_ptr<PublicIPLookup> m_lookup6;
};
