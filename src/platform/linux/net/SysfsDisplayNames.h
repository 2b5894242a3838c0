#pragma once

#include <QHash>
#include <QString>

#include <functional>

/// User-visible interface names ("Wi-Fi", "Ethernet", ...) from what sysfs tells of each interface.
class SysfsDisplayNames {
public:
    /// What the naming rule looks at for one interface.
    struct Facts {
        QString name; // the interface's kernel name
        QString devType; // DEVTYPE of the interface's uevent
        int arpType = 0; // the "type" attribute (ARPHRD_*)
        bool isWireless = false;
        bool isBridge = false;
        bool isBond = false;
        bool isTun = false;
        bool hasDevice = false; // backed by a device: physical hardware
        bool isOnUsb = false;
        QString driver;
    };
    /// Finds an interface's driver by name when sysfs does not show it (virtual devices).
    using DriverLookup = std::function<QString(const QString& interfaceName)>;

    explicit SysfsDisplayNames(QString classNetPath = QStringLiteral("/sys/class/net"),
                               DriverLookup driverLookup = ethtoolDriver);

    /// Display names of every interface that has one, keyed by interface name.
    QHash<QString, QString> byInterface() const;
    /// The display name for one interface's facts; empty when it has none. Networks that a
    /// container, VM or overlay manager made are named after the manager.
    static QString displayName(const Facts& facts);
    /// The driver name the kernel reports through the ethtool ioctl; empty when it does not answer.
    static QString ethtoolDriver(const QString& interfaceName);

private:
    Facts factsOf(const QString& interfaceName) const;

    QString m_classNetPath;
    DriverLookup m_driverLookup;
};
