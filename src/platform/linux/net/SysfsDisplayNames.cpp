#include "platform/linux/net/SysfsDisplayNames.h"

#include "platform/SmallFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cstring>

#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kArpEther = 1; // ARPHRD_ETHER
constexpr int kArpRawIp = 519; // ARPHRD_RAWIP, used by most modem drivers

QString ueventValue(const QByteArray& uevent, const QByteArray& key)
{
    for (const QByteArray& line : uevent.split('\n')) {
        if (line.startsWith(key + '='))
            return QString::fromUtf8(line.mid(key.size() + 1)).trimmed();
    }
    return {};
}

bool startsWithAny(const QString& name, std::initializer_list<const char16_t*> prefixes)
{
    return std::any_of(prefixes.begin(), prefixes.end(),
                       [&name](const char16_t* prefix) { return name.startsWith(QStringView(prefix)); });
}

// Container, VM and overlay networks, by the names their managers give them and the one kind of
// device each makes (a bridge, a tun device, ...), so that a user's own bridge named virbr-ish is
// not taken for libvirt's. VirtualBox, VMware, flannel, Cilium and kube-proxy make devices of
// their own kinds, and are known by name alone.
QString managerName(const SysfsDisplayNames::Facts& facts)
{
    const QString& name = facts.name;
    const bool isBridge = facts.isBridge || facts.devType == u"bridge"_s;
    const bool isTun = facts.isTun || facts.driver == u"tun"_s;
    const bool isWireGuard = facts.devType == u"wireguard"_s || facts.driver == u"wireguard"_s;
    static const QRegularExpression dockerNetwork(u"^br-[0-9a-f]{12}$"_s);
    if (isBridge && (name == u"docker0"_s || dockerNetwork.match(name).hasMatch()))
        return QStringLiteral("Docker");
    if (isBridge && startsWithAny(name, {u"podman", u"cni-podman"}))
        return QStringLiteral("Podman");
    if (isBridge && name.startsWith(u"virbr"_s))
        return QStringLiteral("Virtual Machines");
    if (name.startsWith(u"vboxnet"_s))
        return QStringLiteral("VirtualBox");
    if (name.startsWith(u"vmnet"_s))
        return QStringLiteral("VMware");
    if (isBridge && startsWithAny(name, {u"lxcbr", u"lxdbr", u"incusbr"}))
        return QStringLiteral("Containers");
    if ((isBridge && name == u"cni0"_s) || (facts.driver == u"veth"_s && name.startsWith(u"cali"_s))
        || startsWithAny(name, {u"flannel.", u"cilium_", u"kube-"}))
        return QStringLiteral("Kubernetes");
    if (isTun && name.startsWith(u"zt"_s))
        return QStringLiteral("ZeroTier");
    if ((isTun || isWireGuard) && name.startsWith(u"wt"_s))
        return QStringLiteral("NetBird");
    if (isTun && name.startsWith(u"tailscale"_s))
        return QStringLiteral("Tailscale");
    return {};
}

} // namespace

SysfsDisplayNames::SysfsDisplayNames(QString classNetPath, DriverLookup driverLookup)
    : m_classNetPath(std::move(classNetPath))
    , m_driverLookup(std::move(driverLookup))
{
}

QHash<QString, QString> SysfsDisplayNames::byInterface() const
{
    QHash<QString, QString> names;
    const QStringList interfaces = QDir(m_classNetPath).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    for (const QString& interfaceName : interfaces) {
        const QString name = displayName(factsOf(interfaceName));
        if (!name.isEmpty())
            names.insert(interfaceName, name);
    }
    return names;
}

SysfsDisplayNames::Facts SysfsDisplayNames::factsOf(const QString& interfaceName) const
{
    const QString base = m_classNetPath + u'/' + interfaceName + u'/';
    const QByteArray uevent = readSmallFile(base + u"uevent"_s, 4096).value_or(QByteArray());
    Facts facts;
    facts.name = interfaceName;
    facts.devType = ueventValue(uevent, "DEVTYPE");
    facts.arpType = readSmallFile(base + u"type"_s, 4096).value_or(QByteArray()).trimmed().toInt();
    facts.isWireless = QFileInfo::exists(base + u"wireless"_s) || QFileInfo::exists(base + u"phy80211"_s);
    facts.isBridge = QFileInfo::exists(base + u"bridge"_s);
    facts.isBond = QFileInfo::exists(base + u"bonding"_s);
    facts.isTun = QFileInfo::exists(base + u"tun_flags"_s);
    const QFileInfo device(base + u"device"_s);
    facts.hasDevice = device.exists();
    if (facts.hasDevice) {
        facts.isOnUsb = device.canonicalFilePath().contains(u"/usb"_s);
        facts.driver = QFileInfo(base + u"device/driver"_s).canonicalFilePath().section(u'/', -1);
    } else if (m_driverLookup) {
        facts.driver = m_driverLookup(interfaceName);
    }
    return facts;
}

QString SysfsDisplayNames::displayName(const Facts& facts)
{
    if (const QString manager = managerName(facts); !manager.isEmpty())
        return manager;
    const QString& type = facts.devType;
    if (facts.isWireless || type == u"wlan"_s)
        return QStringLiteral("Wi-Fi");
    if (type == u"wwan"_s || facts.arpType == kArpRawIp || facts.driver == u"qmi_wwan"_s
        || facts.driver == u"cdc_mbim"_s)
        return QStringLiteral("Mobile Broadband");
    if (facts.isBridge || type == u"bridge"_s)
        return QStringLiteral("Bridge");
    if (facts.isBond || type == u"bond"_s)
        return QStringLiteral("Bond");
    if (type == u"vlan"_s)
        return QStringLiteral("VLAN");
    if (type == u"wireguard"_s || facts.driver == u"wireguard"_s)
        return QStringLiteral("WireGuard");
    if (facts.isTun || facts.driver == u"tun"_s)
        return QStringLiteral("VPN");
    if (facts.driver == u"veth"_s)
        return QStringLiteral("Virtual Ethernet");
    if (facts.hasDevice && facts.arpType == kArpEther)
        return facts.isOnUsb ? QStringLiteral("USB Ethernet") : QStringLiteral("Ethernet");
    return {};
}

QString SysfsDisplayNames::ethtoolDriver(const QString& interfaceName)
{
    const QByteArray name = interfaceName.toUtf8();
    if (name.isEmpty() || name.size() >= IFNAMSIZ)
        return {};
    const int probe = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return {};
    ethtool_drvinfo info{};
    info.cmd = ETHTOOL_GDRVINFO;
    ifreq request{};
    std::memcpy(request.ifr_name, name.constData(), static_cast<size_t>(name.size()));
    request.ifr_data = reinterpret_cast<char*>(&info);
    const int result = ::ioctl(probe, SIOCETHTOOL, &request);
    ::close(probe);
    if (result != 0)
        return {};
    return QString::fromUtf8(info.driver, static_cast<qsizetype>(strnlen(info.driver, sizeof info.driver)));
}
