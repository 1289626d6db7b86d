#include "win32/child_process.h"

#include "platform/win32/win32_files.h"

#include <thread>

namespace qb::test {

namespace {

struct WindowSearch {
    DWORD pid;
    bool found;
};

BOOL CALLBACK FindWindowOf(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == search.pid) {
        search.found = true;
        return FALSE;
    }
    return TRUE;
}

} // namespace

ChildProcess::ChildProcess(const std::string& commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    std::string line = commandLine;
    if (::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                         &started)) {
        ::CloseHandle(started.hThread);
        process_.Reset(started.hProcess);
        pid_ = started.dwProcessId;
    }
}

ChildProcess::~ChildProcess() {
    if (process_ && ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(process_.Get(), 99);
        ::WaitForSingleObject(process_.Get(), 5000);
    }
}

bool ChildProcess::WaitForWindow(DWORD timeoutMs) const {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    do {
        WindowSearch search{pid_, false};
        ::EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (::GetTickCount64() < deadline);
    return false;
}

std::optional<DWORD> ChildProcess::WaitForExit(DWORD timeoutMs) const {
    DWORD code = 0;
    if (!process_ || ::WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(process_.Get(), &code)) {
        return std::nullopt;
    }
    return code;
}

std::optional<ProgramOutput> RunProgram(const std::string& commandLine) {
    SECURITY_ATTRIBUTES inheritable{};
    inheritable.nLength = sizeof inheritable;
    inheritable.bInheritHandle = TRUE;
    win32::KernelHandle readEnd, writeEnd;
    if (!::CreatePipe(readEnd.Receive(), writeEnd.Receive(), &inheritable, 0)) {
        return std::nullopt;
    }
    ::SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd.Get();
    startup.hStdError = writeEnd.Get();
    PROCESS_INFORMATION started{};
    std::string line = commandLine;
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &startup, &started)) {
        return std::nullopt;
    }
    ::CloseHandle(started.hThread);
    const win32::ProcessHandle process(started.hProcess);
    writeEnd.Reset(); // the child holds the only write end now: reading ends when it does
    ProgramOutput result;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(readEnd.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
        result.output.append(buffer, read);
    }
    if (::WaitForSingleObject(process.Get(), 60 * 1000) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(process.Get(), &result.exitCode)) {
        ::TerminateProcess(process.Get(), 99);
        return std::nullopt;
    }
    return result;
}

std::string BesideTestProgram(const std::string& fileName) {
    return JoinPath(win32::Win32Files().ExecutableDirectory(), fileName);
}

} // namespace qb::test
