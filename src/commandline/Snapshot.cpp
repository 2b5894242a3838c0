#include "commandline/Snapshot.h"

#include "menu/MenuContent.h"
#include "network/HostnameModel.h"
#include "network/NetworkStatusModel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

QByteArray jsonString(const QString& text)
{
    // A one-element array is the shortest way to Qt's own string escaping.
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QByteArray jsonString(const std::optional<QString>& text)
{
    return text ? jsonString(*text) : QByteArray("null");
}

} // namespace

Snapshot Snapshot::of(const HostnameModel& hostname, const NetworkStatusModel& model)
{
    const QString full = hostname.fullName();
    return {full,
            HostnameModel::shortName(full),
            model.publicAddress(),
            model.tailscaleAddresses(),
            model.localAddresses(),
            model.lastUpdated(),
            model.lastError(),
            model.tailscaleName(),
            model.publicIPv6Address(),
            model.hasIPv6Route(),
            model.isPublicLookupEnabled()};
}

QByteArray Snapshot::toJson() const
{
    QByteArrayList tailscale;
    for (const QString& address : tailscaleAddresses)
        tailscale << jsonString(address);
    QByteArrayList locals;
    for (const LocalAddress& local : localAddresses) {
        locals << "{\"interfaceName\":" + jsonString(local.interfaceName)
                + ",\"displayName\":" + jsonString(local.displayName) + ",\"address\":" + jsonString(local.address)
                + ",\"kind\":" + jsonString(local.kind) + '}';
    }
    const std::optional<QString> updated
        = lastUpdated ? std::optional(lastUpdated->toUTC().toString(Qt::ISODate)) : std::nullopt;
    return "{\"hostname\":{\"full\":" + jsonString(fullHostname) + ",\"short\":" + jsonString(shortHostname)
        + "},\"publicAddress\":" + jsonString(publicAddress) + ",\"tailscaleAddresses\":[" + tailscale.join(',')
        + "],\"localAddresses\":[" + locals.join(',') + "],\"lastUpdated\":" + jsonString(updated)
        + ",\"lastError\":" + jsonString(lastError) + ",\"tailscaleName\":" + jsonString(tailscaleName)
        + ",\"publicIPv6Address\":" + jsonString(publicIPv6Address) + '}';
}

QStringList Snapshot::menuLines(bool useFQDN, bool showLocalAddresses, bool showVirtualNetworks) const
{
    MenuContent::Inputs inputs{HostnameModel::name(useFQDN, fullHostname),
                               publicAddress,
                               tailscaleAddresses,
                               localAddresses,
                               lastUpdated,
                               lastError,
                               showLocalAddresses,
                               QLocale(),
                               std::nullopt,
                               tailscaleName,
                               showVirtualNetworks,
                               isPublicLookupEnabled,
                               hasIPv6Route,
                               publicIPv6Address};
    QStringList lines;
    for (const MenuEntry& entry : MenuContent::statusEntries(inputs)) {
        if (entry.item.kind != MenuItem::Kind::Separator)
            lines << entry.item.text;
    }
    return lines;
}
