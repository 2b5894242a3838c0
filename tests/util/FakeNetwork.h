#pragma once

#include "FakeClock.h"
#include "Fakes.h"
#include "network/NetworkStatusModel.h"

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
