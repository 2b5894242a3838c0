#pragma once

#include "network/NetworkStatusModel.h"
#include "platform/Clipboard.h"
#include "platform/DesktopNotifier.h"
#include "platform/ErrorLog.h"

#include <QObject>

#include <array>
#include <memory>
#include <optional>

/// Announces a change of the public address, of either family, once a second service confirms
/// it. The first address found after the watch is turned on is the baseline, silently; a failed
/// lookup is never a change; a new address that the second service does not give is none either.
class PublicAddressChangeWatch : public QObject {
    Q_OBJECT
public:
    struct Parts {
        NetworkStatusModel& model;
        DesktopNotifier& notifier;
        Clipboard& clipboard;
        ErrorLog& log;
    };

    explicit PublicAddressChangeWatch(Parts parts, QObject* parent = nullptr);
    ~PublicAddressChangeWatch() override;

    /// Off, nothing is confirmed or announced; on again, the next address found is a new baseline.
    void setEnabled(bool isEnabled);
    bool isEnabled() const { return m_isEnabled; }

private:
    struct Family {
        std::optional<QString> baseline;
        QString candidate;
        std::unique_ptr<PublicIPLookup> confirmation;
    };

    void onFound(AddressFamily family, const QString& address, const QUrl& answeredBy);
    void onConfirmed(AddressFamily family);
    Family& state(AddressFamily family) { return m_families[family == AddressFamily::IPv6 ? 1 : 0]; }

    Parts m_parts;
    bool m_isEnabled = false;
    bool m_hasSaidUnconfirmable = false;
    std::array<Family, 2> m_families;
};
