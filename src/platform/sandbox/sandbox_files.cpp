#include "platform/sandbox/sandbox_files.h"

#include "platform/failure_cause.h"
#include "platform/sandbox/host_files.h"
#include "platform/text.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qb::sandbox {

namespace fs = std::filesystem;

namespace {
std::optional<struct stat> StatOf(const std::optional<fs::path>& host) {
    struct stat info {};
    if (!host || ::stat(host->c_str(), &info) != 0) {
        return std::nullopt;
    }
    return info;
}
} // namespace

SandboxFiles::SandboxFiles(const PathMap& paths, std::string toolDirectory, std::string currentFolder)
    : paths_(paths), toolDirectory_(std::move(toolDirectory)), currentFolder_(std::move(currentFolder)) {}

std::string SandboxFiles::ExecutableDirectory() {
    return toolDirectory_;
}

std::string SandboxFiles::FullPath(std::string_view path) {
    const auto isSeparator = [](char c) { return c == '\\' || c == '/'; };
    std::string joined;
    if (path.size() >= 2 && path[1] == ':') {
        const bool rooted = path.size() > 2 && isSeparator(path[2]);
        if (rooted) {
            joined = path;
        } else if (EqualsIgnoreCase(path.substr(0, 1), std::string_view(currentFolder_).substr(0, 1))) {
            joined = currentFolder_ + "\\" + std::string(path.substr(2)); // "C:b.qbk": that drive's folder
        } else {
            joined = std::string(path.substr(0, 2)) + "\\" + std::string(path.substr(2));
        }
    } else if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        return std::string(path); // a network name: no drive of the sandbox
    } else if (!path.empty() && isSeparator(path[0])) {
        joined = currentFolder_.substr(0, 2) + std::string(path); // the current drive's root
    } else if (!path.empty()) {
        joined = currentFolder_ + "\\" + std::string(path);
    }
    const auto parsed = ParseWindowsPath(joined);
    if (!parsed) {
        return std::string(path);
    }
    std::string full{parsed->drive, ':', '\\'};
    for (std::size_t i = 0; i < parsed->components.size(); ++i) {
        full += (i == 0 ? "" : "\\") + parsed->components[i];
    }
    return full;
}

bool SandboxFiles::FileExists(std::string_view path) {
    // A load asks for every entry's target: its folders' listings answer.
    if (const auto kind = paths_.KindInLoad(path)) {
        return *kind == PathMap::Kind::File;
    }
    const auto info = StatOf(paths_.ToHost(path));
    return info && S_ISREG(info->st_mode);
}

bool SandboxFiles::DirectoryExists(std::string_view path) {
    if (const auto kind = paths_.KindInLoad(path)) {
        return *kind == PathMap::Kind::Directory;
    }
    const auto info = StatOf(paths_.ToHost(path));
    return info && S_ISDIR(info->st_mode);
}

namespace {
// Records why a host call failed, from its errno.
bool FailedWithErrno() {
    SetLastFailure(CauseOfErrno(errno));
    return false;
}

bool Fail(FailureCause cause) {
    SetLastFailure(cause);
    return false;
}
} // namespace

bool SandboxFiles::CreateDirectory(std::string_view path) {
    if (DirectoryExists(path)) {
        return true;
    }
    const auto host = paths_.ToHostForWriting(path);
    if (!host) {
        return false;
    }
    return ::mkdir(host->c_str(), 0755) == 0 || DirectoryExists(path) || FailedWithErrno();
}

bool SandboxFiles::CopyFile(std::string_view source, std::string_view destination, bool failIfExists) {
    const auto from = paths_.ToHost(source);
    if (!from || !FileExists(source)) {
        return Fail(FailureCause::NotFound);
    }
    const auto to = paths_.ToHostForWriting(destination);
    if (!to) {
        return false;
    }
    if (DirectoryExists(destination)) {
        return Fail(FailureCause::AlreadyThere);
    }
    const auto bytes = ReadHostFile(*from);
    if (!bytes) {
        return FailedWithErrno();
    }
    if (!failIfExists) {
        if (IsReadOnlyHostFile(*to)) {
            return Fail(FailureCause::AccessDenied);
        }
        return WriteHostFileAtomically(*to, *bytes) || FailedWithErrno();
    }
    // Create the destination exclusively so that a file appearing meanwhile is never overwritten.
    const int fd = ::open(to->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return FailedWithErrno();
    }
    ::close(fd);
    if (!WriteHostFileAtomically(*to, *bytes)) {
        const bool failed = FailedWithErrno();
        ::unlink(to->c_str());
        return failed;
    }
    return true;
}

bool SandboxFiles::DeleteFile(std::string_view path) {
    if (!FileExists(path)) {
        return Fail(FailureCause::NotFound);
    }
    const auto host = paths_.ToHostForWriting(path);
    if (!host) {
        return false;
    }
    if (IsReadOnlyHostFile(*host)) {
        return Fail(FailureCause::AccessDenied); // Windows refuses to delete a read-only file
    }
    return ::unlink(host->c_str()) == 0 || FailedWithErrno();
}

std::vector<FileEntry> SandboxFiles::FindFiles(std::string_view directory, std::string_view pattern) {
    std::vector<FileEntry> entries;
    const auto host = paths_.ToHost(directory);
    std::error_code ec;
    if (!host || !fs::is_directory(*host, ec)) {
        return entries;
    }
    for (fs::directory_iterator it(*host, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (MatchesWildcard(name, pattern)) {
            entries.push_back({std::move(name), it->is_directory(ec)});
        }
    }
    std::sort(entries.begin(), entries.end(), [](const FileEntry& a, const FileEntry& b) {
        if (EqualsIgnoreCase(a.name, b.name)) {
            return a.name < b.name;
        }
        return LessIgnoreCase(a.name, b.name);
    });
    return entries;
}

std::optional<fs::path> SandboxFiles::FileToWrite(std::string_view path) {
    auto host = paths_.ToHostForWriting(path);
    if (!host) {
        return std::nullopt;
    }
    if (DirectoryExists(path)) {
        Fail(FailureCause::AlreadyThere);
        return std::nullopt;
    }
    if (IsReadOnlyHostFile(*host)) {
        Fail(FailureCause::AccessDenied);
        return std::nullopt;
    }
    return host;
}

bool SandboxFiles::WriteFile(std::string_view path, std::string_view bytes) {
    const auto host = FileToWrite(path);
    return host && (WriteHostFileAtomically(*host, bytes) || FailedWithErrno());
}

std::optional<std::string> SandboxFiles::ReadFile(std::string_view path) {
    const auto host = paths_.ToHost(path);
    return host ? ReadHostFile(*host) : std::nullopt;
}

std::optional<FileStamp> SandboxFiles::Stamp(std::string_view path) {
    const auto info = StatOf(paths_.ToHost(path));
    if (!info || !S_ISREG(info->st_mode)) {
        return std::nullopt;
    }
    FileStamp stamp;
    stamp.size = static_cast<std::uint64_t>(info->st_size);
    stamp.modifiedNanoseconds =
        static_cast<std::int64_t>(info->st_mtim.tv_sec) * 1000000000 + info->st_mtim.tv_nsec;
    stamp.identity = static_cast<std::uint64_t>(info->st_ino);
    return stamp;
}

} // namespace qb::sandbox

namespace qb::sandbox {

bool SandboxFiles::MoveFile(std::string_view source, std::string_view destination) {
    if (!FileExists(source)) {
        return Fail(FailureCause::NotFound);
    }
    const auto from = paths_.ToHostForWriting(source);
    const auto to = from ? paths_.ToHostForWriting(destination) : std::nullopt;
    if (!from || !to) {
        return false;
    }
    // Names match without regard to case: a destination in other letters is taken as well.
    if (FileExists(destination) || DirectoryExists(destination)) {
        return Fail(FailureCause::AlreadyThere);
    }
    if (RenameWithoutReplacing(*from, *to)) {
        SyncDirectory(to->parent_path());
        SyncDirectory(from->parent_path());
        return true;
    }
    return FailedWithErrno();
}

bool SandboxFiles::IsReadOnly(std::string_view path) {
    const auto host = paths_.ToHost(path);
    return host && FileExists(path) && IsReadOnlyHostFile(*host);
}

bool SandboxFiles::AppendFile(std::string_view path, std::string_view bytes) {
    const auto host = FileToWrite(path);
    return host && (AppendToHostFile(*host, bytes) || FailedWithErrno());
}

namespace {
class SandboxFileLock : public FileLock {
public:
    explicit SandboxFileLock(HostFileLock lock) : lock_(std::move(lock)) {}

private:
    HostFileLock lock_;
};
} // namespace

std::unique_ptr<FileLock> SandboxFiles::LockFile(std::string_view path) {
    const auto host = paths_.ToHostForWriting(path);
    if (!host) {
        return nullptr;
    }
    auto lock = HostFileLock::Acquire(*host);
    if (!lock) {
        FailedWithErrno();
        return nullptr;
    }
    return std::make_unique<SandboxFileLock>(std::move(*lock));
}

} // namespace qb::sandbox
