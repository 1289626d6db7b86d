#pragma once

#include "platform/file_system.h"
#include "platform/load_scope.h"
#include "platform/processes.h"

#include <filesystem>

namespace qb::sandbox {

// One line of processes.txt.
struct TableProcess {
    std::uint32_t pid = 0;
    std::string executable;
    std::uint64_t workingSet = 0;
    std::uint64_t peakWorkingSet = 0;
};
// The processes of the simulated machine: the fixed table "processes.txt" of the root when it exists
// (one process a line: pid, executable name, working set and peak working set in bytes, tab-separated),
// otherwise the host's own processes.
class SandboxProcesses : public Processes {
public:
    explicit SandboxProcesses(std::filesystem::path root);

    std::optional<std::vector<ProcessEntry>> List() override;
    bool HasMemoryCounters() override { return true; }
    std::optional<MemoryCounters> ReadMemory(std::uint32_t pid) override;
    std::unique_ptr<RunningProcess> Open(std::uint32_t pid) override;

private:
    // The table as it stands, parsed once for as long as the file stays the same (a scan asks for the
    // counters of every matched process), and checked once per load within a LoadScope; nullptr when the
    // root has no table, so that the host's processes are listed.
    const std::vector<TableProcess>* Table();

    std::filesystem::path table_;
    bool hasTable_ = false;
    std::vector<TableProcess> parsed_;
    std::optional<FileStamp> parsedStamp_;
    FreshnessCheck freshness_;
};

// Lines that do not parse are skipped.
std::vector<TableProcess> ParseProcessTable(std::string_view content);
std::string FormatProcessTable(const std::vector<TableProcess>& processes);

} // namespace qb::sandbox
