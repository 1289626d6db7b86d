// What one reload of the main window costs: LoadInventory over a generated sandbox machine, with the
// program database made beforehand as the window makes it once.

#include "app/list_rows.h"
#include "bench/bench_machine.h"
#include "inventory/icon_sink.h"
#include "inventory/startup_location.h"
#include "inventory/startup_scan.h"
#include "platform/sandbox/reg_file.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qb::bench::Machine;
using qb::bench::MachineFor;

std::uintmax_t RegistryStamp(const fs::path& root) {
    std::error_code ec;
    return static_cast<std::uintmax_t>(
        fs::last_write_time(root / "registry.reg", ec).time_since_epoch().count());
}

void MeasureLoads(benchmark::State& state, Machine& machine) {
    qb::Inventory inventory;
    qb::CountingIconSink icons;

    // The first load reads the three re-checked tables and the registry file; the timed ones are the
    // reloads that follow, as in the window. A load that changed the registry would make every iteration
    // different work.
    const std::uintmax_t before = RegistryStamp(machine.Root());
    qb::LoadInventory(inventory, machine.Services(), machine.Database(), icons);
    if (RegistryStamp(machine.Root()) != before) {
        state.SkipWithError("the load changed the registry");
        return;
    }
    const std::size_t expected = machine.Generated().entries.size();
    if (inventory.Items.size() != expected) {
        state.SkipWithError("the load listed another number of entries than were generated");
        return;
    }

    for (auto _ : state) {
        qb::LoadInventory(inventory, machine.Services(), machine.Database(), icons);
        benchmark::DoNotOptimize(inventory.Items.data());
        benchmark::ClobberMemory();
    }

    std::size_t valid = 0;
    std::size_t rated = 0;
    std::size_t running = 0;
    for (const auto& item : inventory.Items) {
        valid += item->PathValid ? 1 : 0;
        rated += item->Rating != qb::Rating::Unknown ? 1 : 0;
        running += item->MemoryKB != 0 ? 1 : 0;
    }
    const auto items = static_cast<double>(inventory.Items.size());
    state.counters["entries"] = items;
    state.counters["entries/s"] = benchmark::Counter(items, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["pathValid%"] = 100.0 * static_cast<double>(valid) / items;
    state.counters["rated%"] = 100.0 * static_cast<double>(rated) / items;
    state.counters["running"] = static_cast<double>(running);
}

// N registry entries, N/10 shortcuts, 500 processes; the system folders hold only the entries' programs.
void BM_LoadInventory(benchmark::State& state) {
    MeasureLoads(state, MachineFor(static_cast<std::size_t>(state.range(0)), 0));
}

// The same with a system folder of a real machine's size, where every bare program name is looked up.
void BM_LoadInventoryFullSystem32(benchmark::State& state) {
    MeasureLoads(state, MachineFor(static_cast<std::size_t>(state.range(0)),
                                   static_cast<std::size_t>(state.range(1))));
}

// What the window does at start and at Refresh: a load, then the rows of "All Programs" with every rating.
void BM_LoadInventoryAndRefreshList(benchmark::State& state) {
    Machine& machine = MachineFor(static_cast<std::size_t>(state.range(0)), 0);
    qb::Inventory inventory;
    qb::CountingIconSink icons;
    std::size_t rows = 0;
    for (auto _ : state) {
        qb::LoadInventory(inventory, machine.Services(), machine.Database(), icons);
        rows = qb::RefreshRows(inventory, 0, 0).size();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = static_cast<double>(rows);
}

// What any load must do at the least, with no analysis: read and parse registry.reg and count the values
// of every run key and twin a load reads, split the process table into its fields, and list the startup
// folders and the disabled-shortcut folders, reading each file there. What a load costs beyond this is
// its own work: command-line analysis with a file check per target, the rating lookups, the shortcut
// decoding, the process matching and the records.
std::size_t FloorPass(Machine& machine) {
    std::size_t seen = 0;
    const auto registry = qb::sandbox::ReadHostFile(machine.RegistryFile());
    auto parsed = qb::sandbox::ParseRegFile(registry.value_or(std::string()));
    if (const auto* tree = std::get_if<qb::sandbox::RegNode>(&parsed)) {
        for (const qb::StartupLocation& row : qb::StartupLocations()) {
            if (row.kind != qb::LocationKind::Registry || qb::LoadStep(row) == 0) {
                continue;
            }
            for (const bool enabled : {true, false}) {
                if (const qb::sandbox::RegNode* node =
                        tree->FindPath(qb::bench::StoredKeyPath(row, enabled))) {
                    for (const auto& [name, value] : node->Values()) {
                        seen += name.size() + value.data.size() > 0 ? 1 : 0;
                    }
                }
            }
        }
    }
    const auto processes = qb::sandbox::ReadHostFile(machine.Root() / "processes.txt");
    std::vector<std::string_view> fields;
    for (std::string_view rest = processes.value_or(std::string()); !rest.empty();) {
        const auto end = std::min(rest.find('\n'), rest.size());
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        fields.clear();
        for (std::size_t start = 0; start <= line.size();) {
            const auto tab = std::min(line.find('\t', start), line.size());
            fields.push_back(line.substr(start, tab - start));
            start = tab + 1;
        }
        seen += fields.size() == 4 ? 1 : 0;
    }
    const qb::sandbox::SandboxSettings& settings = machine.System().Settings();
    std::vector<std::string> folders{settings.startup, settings.commonStartup};
    for (const qb::StartupLocation& row : qb::StartupLocations()) {
        if (row.kind == qb::LocationKind::Folder) {
            folders.push_back(settings.toolDirectory + "\\" + std::string(row.disabledFolder));
        }
    }
    for (const std::string& folder : folders) {
        const auto host = machine.System().Paths().ToHost(folder);
        std::error_code ec;
        for (fs::directory_iterator it(host.value_or(fs::path()), ec), end; !ec && it != end;
             it.increment(ec)) {
            const auto bytes = qb::sandbox::ReadHostFile(it->path());
            seen += bytes && !bytes->empty() ? 1 : 0;
        }
    }
    return seen;
}

void BM_LoadFloor(benchmark::State& state) {
    Machine& machine = MachineFor(static_cast<std::size_t>(state.range(0)), 0);
    std::size_t seen = 0;
    for (auto _ : state) {
        seen = FloorPass(machine);
        benchmark::DoNotOptimize(seen);
    }
    state.counters["seen"] = static_cast<double>(seen);
}

// A load by a system opened afresh, as the command line's start or the window's first load: registry.reg
// parsed, the folder indexes and the process table made anew. The floor above reads the same files.
void BM_LoadInventoryCold(benchmark::State& state) {
    Machine& machine = MachineFor(static_cast<std::size_t>(state.range(0)), 0);
    qb::Inventory inventory;
    qb::CountingIconSink icons;
    for (auto _ : state) {
        state.PauseTiming();
        machine.Reopen();
        state.ResumeTiming();
        qb::LoadInventory(inventory, machine.Services(), machine.Database(), icons);
        benchmark::DoNotOptimize(inventory.Items.data());
    }
    if (inventory.Items.size() != machine.Generated().entries.size()) {
        state.SkipWithError("the load listed another number of entries than were generated");
    }
    state.counters["entries"] = static_cast<double>(inventory.Items.size());
}

} // namespace

BENCHMARK(BM_LoadInventoryAndRefreshList)->ArgName("N")->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadInventory)->ArgName("N")->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadInventoryFullSystem32)
    ->ArgNames({"N", "system32"})
    ->Args({100, 4000})
    ->Args({1000, 4000})
    ->Args({10000, 4000})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFloor)->ArgName("N")->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadInventoryCold)->ArgName("N")->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
