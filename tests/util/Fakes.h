#pragma once

#include "FakeClock.h"
#include "network/HostnameModel.h"
#include "network/NetworkStatusModel.h"
#include "platform/AlertPresenter.h"
#include "platform/Clipboard.h"
#include "platform/DesktopNotifier.h"
#include "platform/ErrorLog.h"
#include "platform/LoginItemService.h"
#include "platform/NetworkInventory.h"
#include "platform/PanelSetup.h"
#include "platform/PathMonitor.h"
#include "platform/StatusItem.h"

#include <QStringList>

/// An inventory the test fills in.
class FakeInventory : public NetworkInventory {
public:
    std::vector<SystemAddressEntry> entries;
    QHash<QString, QString> names;
    std::optional<QString> primary;
    bool hasIPv6Route = false;
    int readCount = 0;

    std::vector<SystemAddressEntry> addressEntries() override
    {
        ++readCount;
        return entries;
    }
    QHash<QString, QString> displayNames() override { return names; }
    std::optional<QString> primaryInterface() override { return primary; }
    bool hasIPv6DefaultRoute() override { return hasIPv6Route; }

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

/// The network side with everything outside the process faked: an inventory the test fills,
/// time that moves when told, a recording log, and no public lookups.
struct FakeNetwork {
    FakeInventory inventory;
    FakeClock clock;
    RecordingErrorLog log;

    std::unique_ptr<NetworkStatusModel> makeModel()
    {
        return std::make_unique<NetworkStatusModel>(NetworkStatusModel::Dependencies{
            inventory, clock, log, std::make_unique<FakePathMonitor>(), nullptr, nullptr});
    }
};

/// A login-item system the test scripts: what registering leads to, and whether it fails.
class FakeLoginItemService : public LoginItemService {
public:
    Status current = Status::NotRegistered;
    Status afterRegistering = Status::Enabled;
    std::optional<QString> failure;
    int registrations = 0;
    int unregistrations = 0;

    Status status() override { return current; }
    std::optional<QString> registerItem() override
    {
        ++registrations;
        if (!failure)
            current = afterRegistering;
        return failure;
    }
    std::optional<QString> unregisterItem() override
    {
        ++unregistrations;
        if (!failure)
            current = Status::NotRegistered;
        return failure;
    }
    void openSettings() override { }
};

/// A panel item that keeps what it is told.
class FakeStatusItem : public StatusItem {
    Q_OBJECT
public:
    QString label;
    QList<MenuItem> menu;

    void setLabel(const QString& text) override { label = text; }
    void setIcon(const QList<QByteArray>&) override { }
    void setApplicationIcon(const QByteArray&) override { }
    void setTitle(const QString&) override { }
    void setMenu(const QList<MenuItem>& items) override { menu = items; }
    void show() override { }
    bool isSeen() const override { return m_isSeen; }
    void setSeen(bool isSeen)
    {
        m_isSeen = isSeen;
        Q_EMIT seenChanged();
    }

private:
    bool m_isSeen = true;
};

/// Keeps what is put on it.
class FakeClipboard : public Clipboard {
public:
    QStringList texts;
    void setText(const QString& text) override { texts.append(text); }
};

/// Keeps the notices sent, and what choosing their buttons does.
class RecordingNotifier : public DesktopNotifier {
public:
    QList<Notice> notices;
    QList<ActionHandler> handlers;
    /// Whether a server is there to show them.
    bool isDelivering = true;
    void notify(const Notice& notice, ActionHandler chosen, std::function<void()> undelivered) override
    {
        if (!isDelivering) {
            if (undelivered)
                undelivered();
            return;
        }
        notices.append(notice);
        handlers.append(std::move(chosen));
    }
};

/// A tray icon that shows where the desktop has a tray, and counts the menus it opens.
class FakeFallbackItem : public FallbackStatusItem {
public:
    int popUps = 0;
    explicit FakeFallbackItem(bool hasTray)
        : m_hasTray(hasTray)
    {
    }
    void setLabel(const QString&) override { }
    void setIcon(const QList<QByteArray>&) override { }
    void setApplicationIcon(const QByteArray&) override { }
    void setTitle(const QString&) override { }
    void setMenu(const QList<MenuItem>&) override { }
    void show() override { m_isVisible = true; }
    bool isAvailable() const override { return m_hasTray; }
    void hide() override { m_isVisible = false; }
    bool isVisible() const override { return m_isVisible; }
    void popUpMenu(int, int) override { ++popUps; }

private:
    bool m_hasTray;
    bool m_isVisible = false;
};

/// Advises a change it can make, and fails to make it.
class FakePanelSetup : public PanelSetup {
public:
    int changes = 0;
    void advise() override
    {
        QMetaObject::invokeMethod(
            this,
            [this] {
                Q_EMIT advised({QStringLiteral("Add a tray."), QStringLiteral("Turn On")});
            },
            Qt::QueuedConnection);
    }
    void change() override
    {
        ++changes;
        Q_EMIT changed(QStringLiteral("refused"));
    }
};

/// Answers alerts with the button the test chose (the default one unless told), and keeps them.
class ScriptedAlertPresenter : public AlertPresenter {
public:
    QList<Alert> presented;
    int answer = 0;
    int present(const Alert& alert) override
    {
        presented.append(alert);
        return answer;
    }
};

/// A host of this kernel name whose resolver answers the canonical name (none when empty).
inline std::unique_ptr<HostnameModel> fakeHostname(const QString& kernelName, const QString& canonicalName = {})
{
    return std::make_unique<HostnameModel>([kernelName] { return kernelName; },
                                           [canonicalName](const QString&) { return canonicalName; });
}
