#pragma once

#include "platform/LoginItemService.h"

#include <QString>

#include <optional>

/// Whether Tavrink starts at login. The system's registration is the only truth: every call
/// reads it afresh, and nothing is kept here.
namespace LaunchAtLogin {

bool isEnabled(LoginItemService& service);
bool requiresApproval(LoginItemService& service);
/// Registers or unregisters, doing nothing when the registration already is as wanted;
/// the system's error on failure.
std::optional<QString> setEnabled(LoginItemService& service, bool isWanted);
void openSystemSettings(LoginItemService& service);

} // namespace LaunchAtLogin
