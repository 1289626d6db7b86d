// What the user waits for when changes are written: the apply of N disables, and the restore of a backup of
// N entries onto a system where every registry entry has changed its state since. Both on the generated
// machines of load_inventory_bench, each round starting from the same registry.reg.

#include "backup/backup_file.h"
#include "bench/bench_machine.h"
#include "changes/apply_engine.h"
#include "inventory/icon_sink.h"
#include "inventory/startup_location.h"
#include "inventory/startup_scan.h"
#include "platform/sandbox/reg_file.h"

#include <benchmark/benchmark.h>
#include <set>
#include <string>
#include <tuple>

namespace {

using qb::bench::Machine;
using qb::bench::MachineFor;

bool IsRegistryEntry(const qb::StartupItem& item) {
    const qb::StartupLocation* row = qb::FindLocation(item.Location);
    return row != nullptr && row->kind == qb::LocationKind::Registry;
}

// registry.reg with every disabled registry entry moved into its run key, so that the machine's N
// registry entries are N entries a user can disable.
std::string AllEnabled(const std::string& registry) {
    auto parsed = qb::sandbox::ParseRegFile(registry);
    auto& tree = std::get<qb::sandbox::RegNode>(parsed);
    for (const qb::StartupLocation& row : qb::StartupLocations()) {
        if (row.kind != qb::LocationKind::Registry || qb::LoadStep(row) == 0) {
            continue;
        }
        qb::sandbox::RegNode* twin = tree.FindPath(qb::bench::StoredKeyPath(row, false));
        if (twin == nullptr) {
            continue;
        }
        qb::sandbox::RegNode& run = tree.CreatePath(qb::bench::StoredKeyPath(row, true));
        for (const auto& [name, value] : twin->Values()) {
            run.SetValue(name, value);
        }
        tree.RemovePath(qb::bench::StoredKeyPath(row, false));
    }
    return qb::sandbox::FormatRegFile(tree);
}

// Every entry a load lists: name, place, state and command.
std::set<std::tuple<std::string, std::string, bool, std::string>> Listed(Machine& machine) {
    qb::Inventory inventory;
    qb::CountingIconSink icons;
    qb::LoadInventory(inventory, machine.Services(), machine.Database(), icons);
    std::set<std::tuple<std::string, std::string, bool, std::string>> out;
    for (const auto& item : inventory.Items) {
        out.emplace(item->Name.str(), item->Location.str(), item->State == qb::ItemState::Enabled,
                    item->Command.str());
    }
    return out;
}

// ApplyEngine::Apply of N disables, without the automatic backup and without the reload that follows it
// (load_inventory_bench times that).
void BM_ApplyDisables(benchmark::State& state) {
    Machine& machine = MachineFor(static_cast<std::size_t>(state.range(0)));
    const std::string original = machine.SaveRegistry();
    const std::string enabled = AllEnabled(original);
    qb::Inventory inventory;
    qb::CountingIconSink icons;
    std::size_t changes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        machine.PutBackRegistry(enabled);
        qb::LoadInventory(inventory, machine.Services(), machine.Database(), icons);
        changes = 0;
        for (const auto& item : inventory.Items) {
            if (IsRegistryEntry(*item) && item->State == qb::ItemState::Enabled) {
                item->State = qb::ItemState::Disabled;
                ++changes;
            }
        }
        state.ResumeTiming();
        qb::ApplyEngine engine(inventory, machine.Services());
        const qb::ApplyReport report = engine.Apply(false, false);
        if (!report.notChanged.empty()) {
            state.SkipWithError(
                ("not changed: " + qb::DescribeNotChanged(report.notChanged.front())).c_str());
            break;
        }
    }
    // Every disable landed: a load finds no registry entry enabled any more.
    qb::LoadInventory(inventory, machine.Services(), machine.Database(), icons);
    for (const auto& item : inventory.Items) {
        if (IsRegistryEntry(*item) && item->State == qb::ItemState::Enabled) {
            state.SkipWithError("an entry is still enabled after the apply");
            break;
        }
    }
    machine.PutBackRegistry(original);
    state.counters["changes"] = static_cast<double>(changes);
}

// LoadBackup and the apply that follows it, as `quillbrook-cli restore FILE --no-backup` runs them: the
// backup holds every entry of the machine, and since it was written each registry entry was switched to
// the other state, so the restore deletes and adds back each of them.
void BM_RestoreBackup(benchmark::State& state) {
    Machine& machine = MachineFor(static_cast<std::size_t>(state.range(0)));
    const std::string original = machine.SaveRegistry();
    const std::string backupFolder = machine.System().Settings().toolDirectory + "\\backup";
    const std::string backupPath = backupFolder + "\\bench.qbk";
    machine.Services().files.CreateDirectory(backupFolder);
    qb::Inventory inventory;
    qb::CountingIconSink icons;
    qb::LoadInventory(inventory, machine.Services(), machine.Database(), icons);
    qb::WriteBackup(backupPath, inventory, machine.Services());
    const auto asBackedUp = Listed(machine);

    std::size_t switched = 0;
    for (const auto& item : inventory.Items) {
        if (IsRegistryEntry(*item)) {
            item->State =
                item->State == qb::ItemState::Enabled ? qb::ItemState::Disabled : qb::ItemState::Enabled;
            ++switched;
        }
    }
    qb::ApplyEngine(inventory, machine.Services()).Apply(false, false);
    const std::string changed = machine.SaveRegistry();

    std::size_t changes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        machine.PutBackRegistry(changed);
        state.ResumeTiming();
        qb::Inventory restored;
        qb::LoadBackup(backupPath, restored, machine.Services(), machine.Database(), icons);
        qb::ApplyEngine engine(restored, machine.Services());
        const qb::ApplyReport report = engine.Apply(false, false);
        state.PauseTiming();
        changes = 0;
        for (const auto& item : restored.Items) {
            changes += item->State != item->LoadedState ? 1 : 0;
        }
        if (!report.notChanged.empty()) {
            state.SkipWithError(
                ("not changed: " + qb::DescribeNotChanged(report.notChanged.front())).c_str());
            break;
        }
        state.ResumeTiming();
    }
    if (Listed(machine) != asBackedUp) {
        state.SkipWithError("the restore did not bring back the system of the backup");
    }
    machine.PutBackRegistry(original);
    state.counters["switched"] = static_cast<double>(switched);
    state.counters["changes"] = static_cast<double>(changes);
}

// ApplyEngine::Apply that moves every shortcut of the machine (N/10, in both startup folders and both
// disabled folders) to its other place: each move is journaled, copied under a staged name, renamed into
// place, and the old file set aside and deleted once the apply commits. Each round moves them back.
void BM_MoveShortcuts(benchmark::State& state) {
    Machine& machine = MachineFor(static_cast<std::size_t>(state.range(0)));
    const auto before = Listed(machine);
    qb::Inventory inventory;
    qb::CountingIconSink icons;
    std::size_t moved = 0;
    const auto flipEveryShortcut = [&] {
        qb::LoadInventory(inventory, machine.Services(), machine.Database(), icons);
        moved = 0;
        for (const auto& item : inventory.Items) {
            if (!IsRegistryEntry(*item)) {
                item->State =
                    item->State == qb::ItemState::Enabled ? qb::ItemState::Disabled : qb::ItemState::Enabled;
                ++moved;
            }
        }
    };
    int rounds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        flipEveryShortcut();
        state.ResumeTiming();
        const qb::ApplyReport report = qb::ApplyEngine(inventory, machine.Services()).Apply(false, false);
        ++rounds;
        if (!report.notChanged.empty()) {
            state.SkipWithError(
                ("not changed: " + qb::DescribeNotChanged(report.notChanged.front())).c_str());
            break;
        }
    }
    if (rounds % 2 == 1) {
        flipEveryShortcut();
        qb::ApplyEngine(inventory, machine.Services()).Apply(false, false);
    }
    if (Listed(machine) != before) {
        state.SkipWithError("the shortcuts did not come back to their places");
    }
    state.counters["moved"] = static_cast<double>(moved);
}

} // namespace

BENCHMARK(BM_MoveShortcuts)->ArgName("N")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApplyDisables)->ArgName("N")->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RestoreBackup)->ArgName("N")->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
