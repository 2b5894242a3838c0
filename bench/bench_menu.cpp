// One relayout of the panel menu: the entries built from the model's lists, the exported menu
// matching them to the ids it gave before, and the change announced to DBusMenu hosts. Runs
// move between two lists of n local addresses that share half their rows, so each relayout
// keeps half the ids, gives out new ones for the other half and moves the rows that stay.

#include "menu/MenuContent.h"
#include "platform/linux/panel/DBusMenuDBus.h"
#include "platform/linux/panel/ExportedMenu.h"

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

MenuContent::Inputs inputsOf(int first, int count)
{
    MenuContent::Inputs inputs;
    inputs.hostname = u"studio"_s;
    for (int i = first; i < first + count; ++i)
        inputs.localAddresses.append({u"eth%1"_s.arg(i % 8), u"Ethernet"_s, u"10.%1.%2.1"_s.arg(i / 250).arg(i % 250)});
    return inputs;
}

QList<MenuItem> itemsOf(const MenuContent::Inputs& inputs)
{
    QList<MenuItem> items;
    const QList<MenuEntry> entries = MenuContent::entries(inputs);
    items.reserve(entries.size());
    for (const MenuEntry& entry : entries)
        items.append(entry.item);
    return items;
}

// The entries and the exported menu, as the panel item rebuilds them after the model published.
void relayout(benchmark::State& state)
{
    registerDBusTypes();
    const int count = static_cast<int>(state.range(0));
    const MenuContent::Inputs inputs[2] = {inputsOf(0, count), inputsOf(count / 2, count)};
    ExportedMenu menu;
    new DBusMenuDBus(&menu);
    int turn = 0;
    for (auto _ : state) {
        menu.setItems(itemsOf(inputs[turn]));
        turn = 1 - turn;
    }
    state.counters["rows"] = static_cast<double>(menu.rows().size());
    state.counters["per row"]
        = benchmark::Counter(static_cast<double>(menu.rows().size()),
                             benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The exported menu's part alone: matching rows to ids and announcing the change.
void exportedMenuOnly(benchmark::State& state)
{
    registerDBusTypes();
    const int count = static_cast<int>(state.range(0));
    const QList<MenuItem> items[2] = {itemsOf(inputsOf(0, count)), itemsOf(inputsOf(count / 2, count))};
    ExportedMenu menu;
    new DBusMenuDBus(&menu);
    int turn = 0;
    for (auto _ : state) {
        menu.setItems(items[turn]);
        turn = 1 - turn;
    }
}

} // namespace

BENCHMARK(relayout)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(exportedMenuOnly)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
