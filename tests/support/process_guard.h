#pragma once

// Guards that end the host processes a test started, however the test leaves its scope: a failed ASSERT
// returns early, an exception unwinds, and a program left running would outlive the whole test run.

#include <filesystem>
#include <sys/types.h>

namespace qb::test {

// A child this process forked or spawned. At scope exit it is killed and reaped when it still runs; one
// that was already waited for is left alone (its id may belong to someone else by then).
class ProcessGuard {
public:
    explicit ProcessGuard(pid_t pid) : pid_(pid) {}
    ~ProcessGuard();
    ProcessGuard(const ProcessGuard&) = delete;
    ProcessGuard& operator=(const ProcessGuard&) = delete;

private:
    pid_t pid_;
};

// Every host process whose program lives under a folder (a test's sandbox root). Programs the sandbox's
// shell starts are detached: they run in a session of their own, reparented away from the test, so
// their ids are never known to it; their command line still names the program's file, even for a script.
class FolderProcessGuard {
public:
    explicit FolderProcessGuard(std::filesystem::path folder) : folder_(std::move(folder)) {}
    ~FolderProcessGuard() { EndAll(); }
    FolderProcessGuard(const FolderProcessGuard&) = delete;
    FolderProcessGuard& operator=(const FolderProcessGuard&) = delete;

    // Kills every such process now; returns how many there were.
    int EndAll() const;

private:
    std::filesystem::path folder_;
};

} // namespace qb::test
