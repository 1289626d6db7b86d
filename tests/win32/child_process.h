#pragma once

#include "platform/win32/win32_handles.h"

#include <cstdint>
#include <optional>
#include <string>

namespace qb::test {

// A program started by a test, ended (if it still runs) when the test is done with it.
class ChildProcess {
public:
    // Starts the command line; Pid() is 0 when it could not be started.
    explicit ChildProcess(const std::string& commandLine);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    std::uint32_t Pid() const { return pid_; }
    // Waits until the program has a top-level window; false after the time-out.
    bool WaitForWindow(DWORD timeoutMs) const;
    // Waits for the end; the exit code, or nullopt when it still runs after the time-out.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs) const;

private:
    win32::ProcessHandle process_;
    std::uint32_t pid_ = 0;
};

struct ProgramOutput {
    DWORD exitCode = 0;
    std::string output; // standard output and standard error
};

// Runs a command line to its end with its output caught; nullopt when it could not be started or did
// not end within a minute.
std::optional<ProgramOutput> RunProgram(const std::string& commandLine);

// The Windows path of a program built beside the test program.
std::string BesideTestProgram(const std::string& fileName);

} // namespace qb::test
