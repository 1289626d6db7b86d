#pragma once

#include "platform/failure_cause.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qb::sandbox {

// The cause a host error stands for, as the user should read it (ENOSPC: "the disk is full").
FailureCause CauseOfErrno(int error);

// Reads a whole file; nullopt when it cannot be opened or read.
std::optional<std::string> ReadHostFile(const std::filesystem::path& path);

// Writes a file so that readers see either the old or the new content, never a torn one: a temporary file
// beside the target is written, flushed to disk and renamed over it. The old file stays untouched when
// anything fails. Permission bits of an existing file are kept, and a file that is read-only or that the
// user may not write is not replaced (false, errno EACCES). A symbolic link stays one: the file it points
// to gets the content. A successful write also removes the temporary files that writers killed in the
// middle of a write left beside the target.
bool WriteHostFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// Renames a file unless the destination exists (renameat2 with RENAME_NOREPLACE, or link and unlink where
// the file system lacks it); errno tells why it failed.
bool RenameWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

// Appends to a file (made when missing) and flushes it to the disk; errno tells why it failed.
bool AppendToHostFile(const std::filesystem::path& path, std::string_view bytes);

// Flushes a directory's entries (a rename, a new name) to the disk.
void SyncDirectory(const std::filesystem::path& dir);

// Whether the file carries no owner write permission: the sandbox's read-only attribute. Checked on the
// mode bits rather than with access(), which answers yes to root for every file.
bool IsReadOnlyHostFile(const std::filesystem::path& path);

// An exclusive lock on a lock file, held until destruction. The kernel drops the lock when its holder
// dies, so a killed process can never leave the next one waiting forever; the lock file itself may stay.
class HostFileLock {
public:
    // Blocks until the lock is held; nullopt when the lock file cannot be created.
    static std::optional<HostFileLock> Acquire(const std::filesystem::path& lockFile);

    HostFileLock(HostFileLock&& other) noexcept;
    HostFileLock& operator=(HostFileLock&& other) noexcept;
    HostFileLock(const HostFileLock&) = delete;
    HostFileLock& operator=(const HostFileLock&) = delete;
    ~HostFileLock();

private:
    explicit HostFileLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

} // namespace qb::sandbox
