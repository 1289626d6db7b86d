#include "platform/sandbox/host_files.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qb::sandbox {

namespace fs = std::filesystem;

namespace {

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string TemporaryName(const fs::path& target) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    return "." + target.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
           std::to_string(random() % 1000000000ULL);
}

// A writer killed between creating its temporary file and the rename leaves that file behind, and nobody
// will finish it: it names the writer's pid, and a pid that belongs to no process any more marks it as
// orphaned. A live pid (perhaps a reused one) keeps its file; this process's own writes are never touched.
void RemoveOrphanedTemporaries(const fs::path& dir, const fs::path& target) {
    const std::string prefix = "." + target.filename().string() + ".tmp-";
    std::error_code error;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!name.starts_with(prefix)) {
            continue;
        }
        const char* first = name.data() + prefix.size();
        const char* last = name.data() + name.size();
        pid_t pid = 0;
        const auto [next, parsed] = std::from_chars(first, last, pid);
        if (parsed != std::errc() || next == last || *next != '-' || pid <= 0 || pid == ::getpid()) {
            continue;
        }
        if (::kill(pid, 0) != 0 && errno == ESRCH) {
            ::unlink(it->path().c_str());
        }
    }
}

} // namespace

void SyncDirectory(const fs::path& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool RenameWithoutReplacing(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // A file system without the flag: a second name fails when the destination exists, then the first goes.
    if (::link(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    return ::unlink(from.c_str()) == 0;
}

bool AppendToHostFile(const fs::path& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    const bool sized = ::fstat(fd, &info) == 0;
    const bool ok = sized && WriteAll(fd, bytes) && ::fdatasync(fd) == 0;
    const int saved = errno;
    if (!ok && sized) {
        ::ftruncate(fd, info.st_size); // cutting back needs no room
    }
    ::close(fd);
    errno = saved;
    return ok;
}

FailureCause CauseOfErrno(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return FailureCause::AccessDenied;
    case ENOENT:
    case ENOTDIR:
        return FailureCause::NotFound;
    case EEXIST:
        return FailureCause::AlreadyThere;
    case EBUSY:
    case ETXTBSY:
        return FailureCause::InUse;
    case ENOSPC:
    case EDQUOT:
        return FailureCause::DiskFull;
    case ENAMETOOLONG:
        return FailureCause::BadName;
    default:
        return FailureCause::Unknown;
    }
}

std::optional<std::string> ReadHostFile(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string content;
    content.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            ::close(fd);
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        content.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return content;
}

namespace {

// The file a path names in the end: a symbolic link is followed (also when its file does not exist yet),
// so that the rename replaces the file it points to and the link itself stays.
fs::path FinalTarget(const fs::path& path) {
    fs::path target = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(target, error)) || error) {
            return target;
        }
        const fs::path next = fs::read_symlink(target, error);
        if (error) {
            return target;
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target; // a loop of links: the open below fails as it should
}

} // namespace

bool WriteHostFileAtomically(const fs::path& requested, std::string_view bytes) {
    const fs::path path = FinalTarget(requested);
    const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(".");
    const fs::path temporary = dir / TemporaryName(path);
    mode_t mode = 0644;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode)) {
            return false; // never replace a directory or a device by a file
        }
        // The rename needs only the folder's permission: without this a file the user may not write, or
        // one marked read-only, would be replaced all the same.
        if ((info.st_mode & S_IWUSR) == 0 || ::access(path.c_str(), W_OK) != 0) {
            errno = EACCES;
            return false;
        }
        mode = info.st_mode & 07777;
    }
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        return false;
    }
    const bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    int error = errno; // why the write failed (a full disk), for the caller to tell
    ::fchmod(fd, mode);
    const bool closed = ::close(fd) == 0;
    if (!closed || !ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = ok ? errno : error;
        ::unlink(temporary.c_str());
        errno = error;
        return false;
    }
    SyncDirectory(dir);
    RemoveOrphanedTemporaries(dir, path);
    return true;
}

bool IsReadOnlyHostFile(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0;
}

std::optional<HostFileLock> HostFileLock::Acquire(const fs::path& lockFile) {
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return std::nullopt;
    }
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(fd);
            return std::nullopt;
        }
    }
    return HostFileLock(fd);
}

HostFileLock::HostFileLock(HostFileLock&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

HostFileLock& HostFileLock::operator=(HostFileLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

HostFileLock::~HostFileLock() {
    if (fd_ >= 0) {
        ::close(fd_); // closing the descriptor releases the lock
    }
}

} // namespace qb::sandbox
