#pragma once

#include "inventory/startup_item.h"
#include "platform/file_system.h"
#include "platform/processes.h"
#include "platform/system_info.h"

#include <memory>
#include <vector>

namespace qb {

// The Windows 95 family: process entries carry full paths and there are no memory counters.
bool IsWin9xFamily(SystemInfo& system);
// NT 4 and older: no process list at all.
bool IsLegacyNT(SystemInfo& system);

// Matches the running processes to the records and fills MemoryKB, PeakMemoryKB and ProcessHandle.
// A process belongs to the first record in list order (whatever its state) whose command starts it: on
// the Windows 95 family when its target path or file name equals the process's upper-cased name,
// elsewhere when its file name does. Several processes of one program all land on that record and the
// last one walked stays. Every record's figures are cleared first, so a program that ended since the
// last scan stops showing memory. Costs one command analysis per record, not one per record and process.
void ScanProcesses(std::vector<std::unique_ptr<StartupItem>>& items, Processes& processes, SystemInfo& system,
                   FileSystem& files);

} // namespace qb
