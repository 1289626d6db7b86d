#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qb {

struct ProcessEntry {
    std::uint32_t pid = 0;
    // The executable's file name; on the Windows 95 family its full path.
    std::string executable;
};

struct MemoryCounters {
    std::uint64_t workingSetBytes = 0;
    std::uint64_t peakWorkingSetBytes = 0;
};

enum class WaitResult { Ended, TimedOut, Failed };

// A running process opened with the rights to wait for it and end it. Closed on destruction.
class RunningProcess {
public:
    virtual ~RunningProcess() = default;
    RunningProcess() = default;
    RunningProcess(const RunningProcess&) = delete;
    RunningProcess& operator=(const RunningProcess&) = delete;

    virtual std::uint32_t Pid() const = 0;
    // Asks the program to close (WM_CLOSE to its top-level windows, or its platform's equivalent).
    virtual void RequestClose() = 0;
    virtual WaitResult WaitForExit(std::chrono::milliseconds timeout) = 0;
    virtual bool Terminate(std::uint32_t exitCode) = 0;
};

class Processes {
public:
    virtual ~Processes() = default;

    // The running processes; nullopt when the platform offers no process list.
    virtual std::optional<std::vector<ProcessEntry>> List() = 0;
    // False when the platform has no memory counters (no PSAPI).
    virtual bool HasMemoryCounters() = 0;
    // Current and peak working set; nullopt when the process cannot be opened or read.
    virtual std::optional<MemoryCounters> ReadMemory(std::uint32_t pid) = 0;
    // nullptr when the process cannot be opened.
    virtual std::unique_ptr<RunningProcess> Open(std::uint32_t pid) = 0;
};

} // namespace qb
