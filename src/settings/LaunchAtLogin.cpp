#include "settings/LaunchAtLogin.h"

using Status = LoginItemService::Status;

namespace LaunchAtLogin {

bool isEnabled(LoginItemService& service)
{
    return service.status() == Status::Enabled;
}

bool requiresApproval(LoginItemService& service)
{
    return service.status() == Status::RequiresApproval;
}

std::optional<QString> setEnabled(LoginItemService& service, bool isWanted)
{
    const Status status = service.status();
    if (isWanted)
        return status == Status::Enabled ? std::nullopt : service.registerItem();
    return status == Status::NotRegistered ? std::nullopt : service.unregisterItem();
}

void openSystemSettings(LoginItemService& service)
{
    service.openSettings();
}

} // namespace LaunchAtLogin
