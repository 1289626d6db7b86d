#pragma once

#include "platform/processes.h"

#include <filesystem>
#include <string>
#include <vector>

namespace qb::sandbox {

// The host's processes, read from /proc: the name is the kernel's command name (cut at 15 characters;
// a script keeps its own name as long as it does not exec another program).
std::optional<std::vector<ProcessEntry>> ListHostProcesses();
// Resident and peak resident size.
std::optional<MemoryCounters> ReadHostProcessMemory(std::uint32_t pid);
// A handle that can wait for the process and end it; nullptr when it is gone or cannot be signalled.
std::unique_ptr<RunningProcess> OpenHostProcess(std::uint32_t pid);

enum class SpawnResult { Started, NotFound, NotExecutable, Failed };
// Starts a host program detached from this process (it is never left as this process's zombie).
// The result tells whether exec succeeded.
SpawnResult SpawnHostProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments);

} // namespace qb::sandbox
