#pragma once

#include <QString>

#include <optional>

/// The system's registration of this application as something to start at login.
class LoginItemService {
public:
    /// RequiresApproval is for systems where the user must allow a registered item before it
    /// runs; XDG autostart has no such step, so the Linux service never reports it.
    enum class Status { NotRegistered, Enabled, RequiresApproval, NotFound };

    virtual ~LoginItemService() = default;

    /// The registration as the system holds it now.
    virtual Status status() = 0;
    /// Registers the running application; the system's error, in words for the user, on failure.
    virtual std::optional<QString> registerItem() = 0;
    /// Removes the registration; the system's error, in words for the user, on failure.
    virtual std::optional<QString> unregisterItem() = 0;
    /// Opens the desktop's page where login items are managed.
    virtual void openSettings() = 0;
};
