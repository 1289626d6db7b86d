// What one reload of the main window costs: LoadInventory over a generated sandbox machine, with the
// program database made beforehand as the window makes it once.

#include "app/list_rows.h"
#include "bench/root_generator.h"
#include "inventory/icon_sink.h"
#include "inventory/startup_scan.h"
#include "knowledge/program_database.h"
#include "platform/sandbox/sandbox_system.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kProcesses = 500;

// A generated root with the system and database over it; the directory goes with it.
class Machine {
public:
    Machine(std::size_t entries, std::size_t systemFiles) {
        std::string pattern = (fs::temp_directory_path() / "qb-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a temporary directory");
        }
        root_ = pattern;
        generated_ = qb::bench::GenerateRoot(
            root_, {entries, entries / 10, kProcesses, 20000, 10000, 10000, 2000, 7, systemFiles});
        // A real machine's folders were not written a moment ago; the sandbox does not trust its folder
        // indexes for folders changed within the last second, so let the new ones settle first.
        std::this_thread::sleep_for(std::chrono::milliseconds(1100));
        auto opened = qb::sandbox::SandboxSystem::Open(root_);
        if (auto* error = std::get_if<std::string>(&opened)) {
            throw std::runtime_error(*error);
        }
        system_ = std::move(std::get<std::unique_ptr<qb::sandbox::SandboxSystem>>(opened));
        database_ = std::make_unique<qb::ProgramDatabase>(system_->Files());
    }
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;
    ~Machine() {
        database_.reset();
        system_.reset();
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    const fs::path& Root() const { return root_; }
    const qb::bench::GeneratedRoot& Generated() const { return generated_; }
    qb::PlatformServices Services() { return system_->Services(); }
    qb::ProgramDatabase& Database() { return *database_; }

private:
    fs::path root_;
    qb::bench::GeneratedRoot generated_;
    std::unique_ptr<qb::sandbox::SandboxSystem> system_;
    std::unique_ptr<qb::ProgramDatabase> database_;
};

// One machine per size for the whole run: the library calls a benchmark function several times while
// it settles on an iteration count.
Machine& MachineFor(std::size_t entries, std::size_t systemFiles) {
    static std::map<std::pair<std::size_t, std::size_t>, std::unique_ptr<Machine>> machines;
    auto& machine = machines[{entries, systemFiles}];
    if (!machine) {
        machine = std::make_unique<Machine>(entries, systemFiles);
    }
    return *machine;
}

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

} // namespace

BENCHMARK(BM_LoadInventoryAndRefreshList)->ArgName("N")->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadInventory)->ArgName("N")->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadInventoryFullSystem32)
    ->ArgNames({"N", "system32"})
    ->Args({100, 4000})
    ->Args({1000, 4000})
    ->Args({10000, 4000})
    ->Unit(benchmark::kMillisecond);
