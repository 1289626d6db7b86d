#pragma once

#include "platform/processes.h"
#include "platform/win32/win32_handles.h"

namespace qb::win32 {

// The running processes through Tool Help and PSAPI, both looked up at run time with LoadLibraryA and
// GetProcAddress: a system without them reports the process list or the memory counters unavailable.
class Win32Processes : public Processes {
public:
    Win32Processes();

    // CreateToolhelp32Snapshot, Process32First/Process32Next; nullopt without Tool Help.
    std::optional<std::vector<ProcessEntry>> List() override;
    bool HasMemoryCounters() override { return getMemoryInfo_ != nullptr; }
    // GetProcessMemoryInfo on the process opened with PROCESS_QUERY_INFORMATION | PROCESS_VM_READ.
    std::optional<MemoryCounters> ReadMemory(std::uint32_t pid) override;
    // OpenProcess with SYNCHRONIZE | PROCESS_TERMINATE, the rights to wait for the process and end it.
    std::unique_ptr<RunningProcess> Open(std::uint32_t pid) override;

private:
    using CreateSnapshotFunction = HANDLE(WINAPI*)(DWORD, DWORD);
    using WalkFunction = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32*);
    using MemoryInfoFunction = BOOL(WINAPI*)(HANDLE, PROCESS_MEMORY_COUNTERS*, DWORD);

    ModuleHandle kernel32_;
    ModuleHandle psapi_;
    CreateSnapshotFunction createSnapshot_ = nullptr;
    WalkFunction first_ = nullptr;
    WalkFunction next_ = nullptr;
    MemoryInfoFunction getMemoryInfo_ = nullptr;
};

// Posts WM_CLOSE to every top-level window of the process (EnumWindows, GetWindowThreadProcessId), as
// Microsoft's own recipe for ending an application cleanly does; the number of windows asked. Hidden
// windows are asked too: a program that lives in the notification area has only those.
int PostCloseToWindowsOf(std::uint32_t pid);

} // namespace qb::win32
