#include "network/NetworkStatusModel.h"

#include "network/NetworkInterfaces.h"

using namespace Qt::StringLiterals;

NetworkStatusModel::NetworkStatusModel(Dependencies dependencies, QObject* parent)
    : QObject(parent)
    , m_inventory(dependencies.inventory)
    , m_clock(dependencies.clock)
    , m_log(dependencies.log)
    , m_pathMonitor(std::move(dependencies.pathMonitor))
    , m_wakeMonitor(std::move(dependencies.wakeMonitor))
    , m_publicIPService(std::move(dependencies.publicIPService))
    , m_publicIPv6Service(std::move(dependencies.publicIPv6Service))
    , m_tailscale(std::move(dependencies.tailscale))
{
    if (m_tailscale)
        connect(m_tailscale.get(), &TailscaleStatusSource::answered, this, &NetworkStatusModel::onTailscaleAnswered);
    runInterfaceStep();

    // Handlers never call in directly: each queues its work for a later turn of the event loop.
    m_refreshTimer = m_clock.schedule(refreshInterval, true, [this] {
        QMetaObject::invokeMethod(
            this, [this] { refresh(); }, Qt::QueuedConnection);
    });
    if (m_pathMonitor) {
        connect(m_pathMonitor.get(), &PathMonitor::pathChanged, this,
                &NetworkStatusModel::scheduleRefreshAfterNetworkChange, Qt::QueuedConnection);
        m_pathMonitor->start();
    }
    if (m_wakeMonitor) {
        connect(m_wakeMonitor.get(), &WakeMonitor::woke, this, &NetworkStatusModel::refresh, Qt::QueuedConnection);
        m_wakeMonitor->start();
    }
    // The lists are filled now; the first lookup waits for the next turn, so that setting up its
    // TLS never delays what the program puts on screen first.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_debounce && !m_lookup && !m_lookup6)
                performRefresh();
        },
        Qt::QueuedConnection);
}

NetworkStatusModel::~NetworkStatusModel() = default;

template<typename T>
void NetworkStatusModel::assign(T& member, T value, void (NetworkStatusModel::*changed)())
{
    member = std::move(value);
    Q_EMIT(this->*changed)();
    Q_EMIT published();
}

void NetworkStatusModel::runInterfaceStep()
{
    // The lists go out now with the daemon's last answer; a different answer publishes them again.
    publishLists();
    if (m_tailscale)
        m_tailscale->query();
}

void NetworkStatusModel::setPublicLookupEnabled(bool isEnabled)
{
    if (isEnabled == m_isPublicLookupEnabled)
        return;
    assign(m_isPublicLookupEnabled, isEnabled, &NetworkStatusModel::publicLookupEnabledChanged);
    if (isEnabled) {
        refresh();
    } else {
        m_lookup.reset();
        m_lookup6.reset();
    }
}

void NetworkStatusModel::publishLists()
{
    const bool hasIPv6Route = m_inventory.hasIPv6DefaultRoute();
    if (!hasIPv6Route && m_publicIPv6Address) // an address of a network the machine has left
        assign(m_publicIPv6Address, std::optional<QString>(), &NetworkStatusModel::publicIPv6AddressChanged);
    assign(m_hasIPv6Route, hasIPv6Route, &NetworkStatusModel::hasIPv6RouteChanged);
    NetworkInterfaces::Lists lists = NetworkInterfaces::lists(m_inventory, m_tailscaleStatus);
    assign(m_tailscaleAddresses, std::move(lists.tailscaleAddresses), &NetworkStatusModel::tailscaleAddressesChanged);
    assign(m_localAddresses, std::move(lists.localAddresses), &NetworkStatusModel::localAddressesChanged);
}

void NetworkStatusModel::onTailscaleAnswered(const std::optional<TailscaleStatus>& status)
{
    if (status == m_tailscaleStatus)
        return;
    m_tailscaleStatus = status;
    publishLists();
    const bool hasName = status && !status->dnsName.isEmpty();
    assign(m_tailscaleName, hasName ? std::optional(status->dnsName) : std::nullopt,
           &NetworkStatusModel::tailscaleNameChanged);
}

void NetworkStatusModel::refresh()
{
    runInterfaceStep();
    cancelPendingRefresh();
    performRefresh();
}

void NetworkStatusModel::scheduleRefreshAfterNetworkChange()
{
    cancelPendingRefresh();
    m_debounce = m_clock.schedule(debounceDelay, false, [this] {
        // The fired timer stays in m_debounce until the next refresh replaces it; destroying the
        // model destroys it, so this never runs for a model that is gone.
        runInterfaceStep();
        performRefresh();
    });
}

void NetworkStatusModel::cancelPendingRefresh()
{
    // A cancelled lookup is abandoned: whatever it would have returned is never published.
    m_debounce.reset();
    m_lookup.reset();
    m_lookup6.reset();
}

void NetworkStatusModel::performRefresh()
{
    if (!m_isPublicLookupEnabled)
        return;
    // The two families are asked side by side; without an IPv6 route no IPv6 request is made.
    if (m_publicIPService) {
        m_lookup = m_publicIPService->fetch();
        connect(m_lookup.get(), &PublicIPLookup::finished, this, &NetworkStatusModel::onLookupFinished);
    }
    if (m_publicIPv6Service && m_hasIPv6Route) {
        m_lookup6 = m_publicIPv6Service->fetch();
        connect(m_lookup6.get(), &PublicIPLookup::finished, this, &NetworkStatusModel::onIPv6LookupFinished);
    }
}

void NetworkStatusModel::onIPv6LookupFinished()
{
    // Its failures are silent: the row says the address is unavailable, the IPv4 line says the rest.
    PublicIPLookup* lookup = m_lookup6.release();
    lookup->deleteLater();
    if (const std::optional<QString> address = lookup->address()) {
        assign(m_publicIPv6Address, address, &NetworkStatusModel::publicIPv6AddressChanged);
        Q_EMIT publicAddressFound(AddressFamily::IPv6, *address, lookup->answeredBy());
    }
}

void NetworkStatusModel::onLookupFinished()
{
    // Still inside the lookup's own signal: it is let go of, not destroyed here.
    PublicIPLookup* lookup = m_lookup.release();
    lookup->deleteLater();
    if (const std::optional<QString> address = lookup->address()) {
        assign(m_publicAddress, address, &NetworkStatusModel::publicAddressChanged);
        assign(m_lastUpdated, std::optional<QDateTime>(m_clock.now()), &NetworkStatusModel::lastUpdatedChanged);
        assign(m_lastError, std::optional<QString>(), &NetworkStatusModel::lastErrorChanged);
        Q_EMIT publicAddressFound(AddressFamily::IPv4, *address, lookup->answeredBy());
        return;
    }
    const QString text = description(lookup->error().value_or(PublicIPError::noValidResponse));
    assign(m_lastError, std::optional<QString>(text), &NetworkStatusModel::lastErrorChanged);
    m_log.error(u"Public IP refresh failed: %1"_s.arg(text));
}
