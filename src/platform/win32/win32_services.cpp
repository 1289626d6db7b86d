#include "platform/win32/win32_services.h"

#include "platform/win32/win32_api.h"

#include <ostream>

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
    return {info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? PlatformFamily::Windows9x : PlatformFamily::NT,
            static_cast<int>(info.dwMajorVersion)};
}

std::string Win32SystemInfo::SystemDirectory() {
    return DirectoryFrom([](char* buffer, UINT size) { return ::GetSystemDirectoryA(buffer, size); });
}

std::string Win32SystemInfo::WindowsDirectory() {
    return DirectoryFrom([](char* buffer, UINT size) { return ::GetWindowsDirectoryA(buffer, size); });
}

LocalTime Win32Clock::Now() {
    SYSTEMTIME time{};
    ::GetLocalTime(&time);
    return {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
}

} // namespace qb::win32
