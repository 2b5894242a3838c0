#include "settings/SettingsKey.h"

#include "settings/DefaultsStore.h"

void registerTavrinkDefaults(DefaultsStore& store)
{
    store.registerDefaults({
        {SettingsKey::showHostnameInBar, true},
        {SettingsKey::useFQDN, false},
        {SettingsKey::showLocalAddresses, true},
        {SettingsKey::showVirtualNetworks, true},
        {SettingsKey::lookUpPublicAddress, true},
        {SettingsKey::notifyPublicAddressChange, false},
    });
}
