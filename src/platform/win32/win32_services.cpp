#include "platform/win32/win32_services.h"

#include "platform/win32/win32_api.h"

#include <ostream>
#include <string>

namespace qb::win32 {

namespace {

// Both directory functions answer the length they need when the buffer is too small.
template <typename Getter> std::string DirectoryFrom(Getter get) {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const UINT length = get(path.data(), static_cast<UINT>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(length + 1);
    }
    while (path.size() > 3 && path.back() == '\\') {
        path.pop_back();
    }
    return path;
}

} // namespace

OsVersion Win32SystemInfo::Version() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!::GetVersionExA(&info)) {
        return {};
    }
    // A 64-bit program runs on 64-bit Windows only; a 32-bit one learns it from IsWow64Process.
    BOOL wow64 = FALSE;
    const bool x64 = sizeof(void*) == 8 || (::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64);
    return {info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? PlatformFamily::Windows9x : PlatformFamily::NT,
            static_cast<int>(info.dwMajorVersion), static_cast<int>(info.dwMinorVersion), x64};
}

std::string Win32SystemInfo::SystemDirectory() {
    return DirectoryFrom([](char* buffer, UINT size) { return ::GetSystemDirectoryA(buffer, size); });
}

std::string Win32SystemInfo::WindowsDirectory() {
    return DirectoryFrom([](char* buffer, UINT size) { return ::GetWindowsDirectoryA(buffer, size); });
}

std::string Win32SystemInfo::ExpandEnvironmentStrings(std::string_view text) {
    const std::string source(text);
    if (source.find('%') == std::string::npos) {
        return source;
    }
    // The answer is the size needed, terminating NUL included, when the buffer is too small. A variable
    // may grow between two calls, hence the loop; the ANSI form may ask for more than it then writes, so
    // the text ends at its NUL.
    std::string expanded(source.size() + MAX_PATH, '\0');
    for (int attempt = 0; attempt < 8; ++attempt) {
        const DWORD needed =
            ::ExpandEnvironmentStringsA(source.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
        if (needed == 0) {
            return source;
        }
        if (needed <= expanded.size()) {
            expanded.resize(std::char_traits<char>::length(expanded.c_str()));
            return expanded;
        }
        expanded.resize(needed);
    }
    return source;
}

LocalTime Win32Clock::Now() {
    SYSTEMTIME time{};
    ::GetLocalTime(&time);
    return {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
}

} // namespace qb::win32
