#include "platform/win32/win32_files.h"

#include "platform/win32/win32_failure.h"
#include "platform/win32/win32_handles.h"

#include <algorithm>
#include <atomic>

namespace qb::win32 {

namespace {

DWORD AttributesOf(std::string_view path) {
    return ::GetFileAttributesA(std::string(path).c_str());
}

// 100-nanosecond ticks since 1601 to nanoseconds since 1970.
std::int64_t UnixNanoseconds(const FILETIME& time) {
    constexpr std::int64_t kTicksFrom1601To1970 = 116444736000000000;
    const std::int64_t ticks =
        static_cast<std::int64_t>((std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime);
    return (ticks - kTicksFrom1601To1970) * 100;
}

// A name beside the target that no other writer picks: this process, and a counter within it.
std::string TemporaryNameFor(std::string_view path) {
    static std::atomic<unsigned> counter{0};
    return std::string(path) + ".~qb" + std::to_string(::GetCurrentProcessId()) + "-" +
           std::to_string(counter.fetch_add(1));
}

// Windows answers "access denied" when the file a move replaces is open in another program. The file
// itself tells which: opening it to delete, sharing everything, fails with a sharing violation while it is
// held.
DWORD ReplaceError(const std::string& target, DWORD error) {
    if (error != ERROR_ACCESS_DENIED) {
        return error;
    }
    const FileHandle probe(::CreateFileA(target.c_str(), DELETE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return !probe && ::GetLastError() == ERROR_SHARING_VIOLATION ? ERROR_SHARING_VIOLATION : error;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

} // namespace

std::string Win32Files::ExecutableDirectory() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2); // cut short: the name filled the whole buffer
    }
    const auto cut = path.find_last_of('\\');
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string Win32Files::FullPath(std::string_view path) {
    const std::string name(path);
    std::string full(MAX_PATH, '\0');
    for (;;) {
        const DWORD length =
            ::GetFullPathNameA(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0) {
            return name; // nothing Windows can resolve: whatever uses it fails with its own reason
        }
        if (length < full.size()) {
            full.resize(length);
            return full;
        }
        full.resize(length); // the buffer's size the full path needs, its NUL included
    }
}

bool Win32Files::SetHidden(std::string_view path) {
    const DWORD attributes = AttributesOf(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return FailedWithLastError();
    }
    return (attributes & FILE_ATTRIBUTE_HIDDEN) != 0 ||
           ::SetFileAttributesA(std::string(path).c_str(), attributes | FILE_ATTRIBUTE_HIDDEN) ||
           FailedWithLastError();
}

bool Win32Files::FileExists(std::string_view path) {
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32Files::DirectoryExists(std::string_view path) {
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32Files::CreateDirectory(std::string_view path) {
    if (::CreateDirectoryA(std::string(path).c_str(), nullptr)) {
        return true;
    }
    const DWORD error = ::GetLastError();
    return DirectoryExists(path) || Failed(error);
}

bool Win32Files::CopyFile(std::string_view source, std::string_view destination, bool failIfExists) {
    return ::CopyFileA(std::string(source).c_str(), std::string(destination).c_str(),
                       failIfExists ? TRUE : FALSE) ||
           FailedWithLastError();
}

bool Win32Files::DeleteFile(std::string_view path) {
    return ::DeleteFileA(std::string(path).c_str()) || FailedWithLastError();
}

std::vector<FileEntry> Win32Files::FindFiles(std::string_view directory, std::string_view pattern) {
    std::vector<FileEntry> entries;
    WIN32_FIND_DATAA data{};
    FindHandle find(::FindFirstFileA(JoinPath(directory, pattern).c_str(), &data));
    if (!find) {
        return entries;
    }
    do {
        const std::string name = data.cFileName;
        if (name != "." && name != ".." && MatchesWildcard(name, pattern)) {
            constexpr DWORD kProtected = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
            entries.push_back({name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                               (data.dwFileAttributes & kProtected) == kProtected});
        }
    } while (::FindNextFileA(find.Get(), &data));
    return entries;
}

bool Win32Files::WriteFile(std::string_view path, std::string_view bytes) {
    if (DirectoryExists(path)) {
        return Failed(ERROR_ALREADY_EXISTS);
    }
    const std::string target(path);
    const std::string temporary = TemporaryNameFor(path);
    {
        FileHandle file(::CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            return FailedWithLastError();
        }
        if (!WriteAll(file.Get(), bytes) || !::FlushFileBuffers(file.Get())) {
            const DWORD error = ::GetLastError(); // ERROR_DISK_FULL, most often
            file.Reset();
            ::DeleteFileA(temporary.c_str());
            return Failed(error);
        }
    }
    if (!::MoveFileExA(temporary.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ReplaceError(target, ::GetLastError());
        ::DeleteFileA(temporary.c_str());
        return Failed(error);
    }
    return true;
}

std::optional<std::string> Win32Files::ReadFile(std::string_view path) {
    FileHandle file(::CreateFileA(std::string(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return std::nullopt;
    }
    LARGE_INTEGER size{};
    std::string content;
    if (::GetFileSizeEx(file.Get(), &size) && size.QuadPart > 0) {
        content.reserve(static_cast<std::size_t>(size.QuadPart));
    }
    // Read to the end rather than to the size seen first: the file may grow meanwhile.
    char buffer[64 * 1024];
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr)) {
            return std::nullopt;
        }
        if (read == 0) {
            return content;
        }
        content.append(buffer, read);
    }
}

std::optional<FileStamp> Win32Files::Stamp(std::string_view path) {
    if (!FileExists(path)) {
        return std::nullopt;
    }
    // No access rights are asked for: reading the attributes needs none, and any sharing is allowed.
    FileHandle file(::CreateFileA(std::string(path).c_str(), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !::GetFileInformationByHandle(file.Get(), &info)) {
        return std::nullopt;
    }
    FileStamp stamp;
    stamp.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    stamp.modifiedNanoseconds = UnixNanoseconds(info.ftLastWriteTime);
    stamp.identity = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    return stamp;
}

} // namespace qb::win32

namespace qb::win32 {

bool Win32Files::MoveFile(std::string_view source, std::string_view destination) {
    return ::MoveFileExA(std::string(source).c_str(), std::string(destination).c_str(),
                         MOVEFILE_WRITE_THROUGH) ||
           FailedWithLastError();
}

bool Win32Files::IsReadOnly(std::string_view path) {
    const DWORD attributes = AttributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
           (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool Win32Files::AppendFile(std::string_view path, std::string_view bytes) {
    FileHandle file(::CreateFileA(std::string(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.Get(), &size) ||
        !::SetFilePointerEx(file.Get(), size, nullptr, FILE_BEGIN)) {
        return FailedWithLastError();
    }
    if (!WriteAll(file.Get(), bytes) || !::FlushFileBuffers(file.Get())) {
        const DWORD error = ::GetLastError();
        // Cut back to what it held (which needs no room): a later append must not complete a torn record.
        if (::SetFilePointerEx(file.Get(), size, nullptr, FILE_BEGIN)) {
            ::SetEndOfFile(file.Get());
        }
        return Failed(error);
    }
    return true;
}

namespace {
class Win32FileLock : public FileLock {
public:
    explicit Win32FileLock(FileHandle file) : file_(std::move(file)) {}

private:
    FileHandle file_; // closing the handle releases the lock
};
} // namespace

std::unique_ptr<FileLock> Win32Files::LockFile(std::string_view path) {
    FileHandle file(::CreateFileA(std::string(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        FailedWithLastError();
        return nullptr;
    }
    OVERLAPPED at{};
    if (!::LockFileEx(file.Get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) {
        FailedWithLastError();
        return nullptr;
    }
    return std::make_unique<Win32FileLock>(std::move(file));
}

} // namespace qb::win32
