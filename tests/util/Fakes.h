#pragma once

#include "platform/ErrorLog.h"
#include "platform/LoginItemService.h"
#include "platform/NetworkInventory.h"
#include "platform/PathMonitor.h"
#include "platform/StatusItem.h"
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

/// A login-item system the test scripts: what registering leads to, and whether it fails.
class FakeLoginItemService : public LoginItemService {
public:
    Status current = Status::NotRegistered;
    Status afterRegistering = Status::Enabled;
    std::optional<QString> failure;
    int openedSettings = 0;

    Status status() override { return current; }
    std::optional<QString> registerItem() override
    {
        if (!failure)
            current = afterRegistering;
        return failure;
    }
    std::optional<QString> unregisterItem() override
    {
        if (!failure)
            current = Status::NotRegistered;
        return failure;
    }
    void openSettings() override { ++openedSettings; }
};

/// A panel item that keeps what it is told.
class FakeStatusItem : public StatusItem {
    Q_OBJECT
public:
    QString label;
    QString title;
    QList<MenuItem> menu;
    bool isShown = false;

    void setLabel(const QString& text) override { label = text; }
    void setIcon(const QList<QByteArray>&) override { }
    void setApplicationIcon(const QByteArray&) override { }
    void setTitle(const QString& text) override { title = text; }
    void setMenu(const QList<MenuItem>& items) override { menu = items; }
    void show() override { isShown = true; }
    void choose(const QString& key) { Q_EMIT itemChosen(key); }
};
