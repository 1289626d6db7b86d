#include "platform/win32/win32_processes.h"

#include <algorithm>

namespace qb::win32 {

namespace {

constexpr DWORD kWaitAndTerminate = SYNCHRONIZE | PROCESS_TERMINATE;         // 0x100001
constexpr DWORD kQueryAndRead = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ; // 0x410

class Win32RunningProcess : public RunningProcess {
public:
    Win32RunningProcess(ProcessHandle process, std::uint32_t pid) : process_(std::move(process)), pid_(pid) {}

    std::uint32_t Pid() const override { return pid_; }

    void RequestClose() override { PostCloseToWindowsOf(pid_); }

    WaitResult WaitForExit(std::chrono::milliseconds timeout) override {
        // INFINITE is a DWORD value too; a longer wait is cut just below it.
        const auto milliseconds = static_cast<DWORD>(
            std::clamp<long long>(timeout.count(), 0, static_cast<long long>(INFINITE) - 1));
        switch (::WaitForSingleObject(process_.Get(), milliseconds)) {
        case WAIT_OBJECT_0:
            return WaitResult::Ended;
        case WAIT_TIMEOUT:
            return WaitResult::TimedOut;
        default:
            return WaitResult::Failed;
        }
    }

    bool Terminate(std::uint32_t exitCode) override { return ::TerminateProcess(process_.Get(), exitCode); }

private:
    ProcessHandle process_;
    std::uint32_t pid_;
};

struct CloseRequest {
    DWORD pid;
    int asked;
};

BOOL CALLBACK PostCloseIfOwned(HWND window, LPARAM context) {
    auto& request = *reinterpret_cast<CloseRequest*>(context);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == request.pid && ::PostMessageA(window, WM_CLOSE, 0, 0)) {
        ++request.asked;
    }
    return TRUE;
}

} // namespace

int PostCloseToWindowsOf(std::uint32_t pid) {
    CloseRequest request{pid, 0};
    ::EnumWindows(PostCloseIfOwned, reinterpret_cast<LPARAM>(&request));
    return request.asked;
}

Win32Processes::Win32Processes()
    : kernel32_(::LoadLibraryA("Kernel32.DLL")), psapi_(::LoadLibraryA("PSAPI.DLL")) {
    createSnapshot_ = LookUp<CreateSnapshotFunction>(kernel32_, "CreateToolhelp32Snapshot");
    first_ = LookUp<WalkFunction>(kernel32_, "Process32First");
    next_ = LookUp<WalkFunction>(kernel32_, "Process32Next");
    getMemoryInfo_ = LookUp<MemoryInfoFunction>(psapi_, "GetProcessMemoryInfo");
}

std::optional<std::vector<ProcessEntry>> Win32Processes::List() {
    if (createSnapshot_ == nullptr || first_ == nullptr || next_ == nullptr) {
        return std::nullopt;
    }
    const FileHandle snapshot(createSnapshot_(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return std::nullopt;
    }
    std::vector<ProcessEntry> processes;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = first_(snapshot.Get(), &entry); more; more = next_(snapshot.Get(), &entry)) {
        processes.push_back({entry.th32ProcessID, entry.szExeFile});
    }
    return processes;
}

std::optional<MemoryCounters> Win32Processes::ReadMemory(std::uint32_t pid) {
    if (getMemoryInfo_ == nullptr) {
        return std::nullopt;
    }
    const ProcessHandle process(::OpenProcess(kQueryAndRead, FALSE, pid));
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!process || !getMemoryInfo_(process.Get(), &counters, sizeof counters)) {
        return std::nullopt;
    }
    return MemoryCounters{counters.WorkingSetSize, counters.PeakWorkingSetSize};
}

std::unique_ptr<RunningProcess> Win32Processes::Open(std::uint32_t pid) {
    ProcessHandle process(::OpenProcess(kWaitAndTerminate, FALSE, pid));
    if (!process) {
        return nullptr;
    }
    return std::make_unique<Win32RunningProcess>(std::move(process), pid);
}

} // namespace qb::win32
