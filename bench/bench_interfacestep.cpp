// One interface step (enumeration, then the Tailscale and local lists) on the machine or
// namespace it runs in; bench/run runs it in namespaces with 10, 100 and 1,000 addresses.

#include "network/NetworkInterfaces.h"
#include "platform/linux/net/LinuxNetworkInventory.h"

#include <benchmark/benchmark.h>

namespace {

void interfaceStep(benchmark::State& state)
{
    LinuxNetworkInventory inventory;
    qsizetype shown = 0;
    for (auto _ : state) {
        const NetworkInterfaces::Lists lists = NetworkInterfaces::lists(inventory, std::nullopt);
        shown = lists.tailscaleAddresses.size() + lists.localAddresses.size();
        benchmark::DoNotOptimize(shown);
    }
    state.counters["addresses"] = static_cast<double>(NetworkInterfaces::activeAddresses(inventory).size());
    state.counters["shown"] = static_cast<double>(shown);
}

void enumerationOnly(benchmark::State& state)
{
    LinuxNetworkInventory inventory;
    for (auto _ : state)
        benchmark::DoNotOptimize(NetworkInterfaces::activeAddresses(inventory));
}

} // namespace

BENCHMARK(interfaceStep)->Unit(benchmark::kMicrosecond);
BENCHMARK(enumerationOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
