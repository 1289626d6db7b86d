#include "inventory/process_scan.h"

#include "inventory/command_line.h"
#include "inventory/startup_location.h"
#include "platform/text.h"

#include <limits>
#include <unordered_map>

namespace qb {

bool IsWin9xFamily(SystemInfo& system) {
    return system.Version().family == PlatformFamily::Windows9x;
}

bool IsLegacyNT(SystemInfo& system) {
    const OsVersion version = system.Version();
    return version.family == PlatformFamily::NT && version.majorVersion <= 4;
}

namespace {

std::int32_t Kilobytes(std::uint64_t bytes) {
    const std::uint64_t kb = bytes / 1024;
    return kb > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())
               ? std::numeric_limits<std::int32_t>::max()
               : static_cast<std::int32_t>(kb);
}

// Name -> position of the first record that a process of that name belongs to. Inserting in list order
// and never replacing keeps the first record, as a walk over the records for every process would find.
std::unordered_map<std::string, std::size_t>
MatchTable(const std::vector<std::unique_ptr<StartupItem>>& items, bool win9x, SystemInfo& system,
           FileSystem& files) {
    std::unordered_map<std::string, std::size_t> table;
    table.reserve(items.size() * (win9x ? 2 : 1));
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::string_view command = AnalysedCommand(items[i]->Location.str(), items[i]->Command.str());
        if (win9x) {
            table.try_emplace(TargetPath(command, system, files), i);
        }
        table.try_emplace(TargetFileName(command), i);
    }
    return table;
}

} // namespace

void ScanProcesses(std::vector<std::unique_ptr<StartupItem>>& items, Processes& processes, SystemInfo& system,
                   FileSystem& files) {
    for (auto& item : items) {
        item->MemoryKB = 0;
        item->PeakMemoryKB = 0;
        item->ProcessHandle.reset();
    }
    if (IsLegacyNT(system)) {
        return;
    }
    const bool win9x = IsWin9xFamily(system);
    const bool counters = !win9x && processes.HasMemoryCounters();
    const auto running = processes.List();
    if (!running) {
        return;
    }
    const auto table = MatchTable(items, win9x, system, files);
    for (const auto& process : *running) {
        const auto match = table.find(UpperCase(process.executable));
        if (match == table.end()) {
            continue;
        }
        StartupItem& item = *items[match->second];
        item.ProcessHandle = processes.Open(process.pid);
        if (win9x) {
            item.MemoryKB = -1;
        } else if (counters) {
            if (const auto memory = processes.ReadMemory(process.pid)) {
                item.MemoryKB = Kilobytes(memory->workingSetBytes);
                item.PeakMemoryKB = Kilobytes(memory->peakWorkingSetBytes);
                if (item.MemoryKB > item.PeakMemoryKB) {
                    item.MemoryKB = item.PeakMemoryKB;
                }
            } else {
                // It runs, but its size cannot be read: say so rather than show it as stopped.
                item.MemoryKB = -1;
                item.PeakMemoryKB = 0;
            }
        }
    }
}

} // namespace qb
