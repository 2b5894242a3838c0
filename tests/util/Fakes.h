#pragma once

#include "platform/ErrorLog.h"
#include "platform/NetworkInventory.h"
#include "platform/PathMonitor.h"
#include "platform/WakeMonitor.h"

#include <QStringList>

/// An inventory the test fills in.
class FakeInventory : public NetworkInventory {
public:
    std::vector<SystemAddressEntry> entries;
    QHash<QString, QString> names;
    std::optional<QString> primary;
    int readCount = 0;

    std::vector<SystemAddressEntry> addressEntries() override
    {
        ++readCount;
        return entries;
    }
    QHash<QString, QString> displayNames() override { return names; }
    std::optional<QString> primaryInterface() override { return primary; }

    static SystemAddressEntry up(const QString& name, const QString& host,
                                 std::optional<IPv6AddressState> state = std::nullopt)
    {
        const AddressFamily family = host.contains(u':') ? AddressFamily::IPv6 : AddressFamily::IPv4;
        return {name, true, false, family, host, state};
    }
};

/// A path monitor whose reports the test sends.
class FakePathMonitor : public PathMonitor {
    Q_OBJECT
public:
    bool isStarted = false;
    void start() override { isStarted = true; }
    void report() { Q_EMIT pathChanged(); }
};

/// An error log that keeps what it is given.
class RecordingErrorLog : public ErrorLog {
public:
    QStringList messages;
    void error(const QString& message) override { messages.append(message); }
};
