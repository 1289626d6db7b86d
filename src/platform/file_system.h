#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

struct FileEntry {
    std::string name; // the name as the directory holds it, without folder
    bool isDirectory = false;
    // Hidden and system both: a protected file of the system, which the shell lists only to those who ask
    // for such files (a startup folder's desktop.ini). Windows has no other sort of it in the sandbox.
    bool protectedSystemFile = false;
};

// Enough to tell that a file changed since it was last read.
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t modifiedNanoseconds = 0;
    std::uint64_t identity = 0; // changes when the file is replaced by another one
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// An exclusive lock held while the object lives. The system drops it when its holder dies, so a killed
// process never keeps the next one waiting.
class FileLock {
public:
    virtual ~FileLock() = default;
};

// Files and directories addressed by Windows paths ("C:\Program Files\..."). Names match without regard
// to letter case, as on Windows.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // The directory of the running executable, without a trailing backslash.
    virtual std::string ExecutableDirectory() = 0;
    // The full path a name stands for, as GetFullPathName makes it: a relative name ("b.qbk", "..\\b.qbk",
    // "\\b.qbk") is taken from the current folder, and "." and ".." are resolved. A full path comes back as
    // it was given but for those.
    virtual std::string FullPath(std::string_view path) = 0;
    // A file, not a directory.
    virtual bool FileExists(std::string_view path) = 0;
    virtual bool DirectoryExists(std::string_view path) = 0;
    // One level; false when the parent is missing or the directory cannot be made. True when it exists.
    virtual bool CreateDirectory(std::string_view path) = 0;
    // With failIfExists, an existing destination makes the copy fail and stay untouched.
    virtual bool CopyFile(std::string_view source, std::string_view destination, bool failIfExists) = 0;
    virtual bool DeleteFile(std::string_view path) = 0;
    // Entries of a directory whose names match a wildcard pattern ("*.*", "*.lnk"; '*' and '?'), in the
    // order the file system returns them; "." and ".." are never listed.
    virtual std::vector<FileEntry> FindFiles(std::string_view directory, std::string_view pattern) = 0;
    // Creates or replaces the file with the bytes; never leaves a torn file behind.
    virtual bool WriteFile(std::string_view path, std::string_view bytes) = 0;
    virtual std::optional<std::string> ReadFile(std::string_view path) = 0;
    virtual std::optional<FileStamp> Stamp(std::string_view path) = 0;
    // Renames a file, never over another: false (AlreadyThere) when the destination exists in any letter
    // case. The file keeps its identity (FileStamp::identity), as a rename on one volume does.
    virtual bool MoveFile(std::string_view source, std::string_view destination) = 0;
    // Whether the file carries the read-only attribute, which makes Windows refuse to delete it.
    virtual bool IsReadOnly(std::string_view path) = 0;
    // Gives the file the hidden attribute, which keeps it out of Explorer's and the file dialogs' listings;
    // a write that replaces the file makes a new file without it. The sandbox keeps no attributes (its own
    // dialogs leave such files out by name) and only says whether the file is there.
    virtual bool SetHidden(std::string_view path) = 0;
    // Adds the bytes at the end of the file, creating it when missing, and flushes them to the disk
    // before it returns: what a journal needs. All or nothing: when it fails (a full disk), the file is cut
    // back to what it held, so that no torn record is left for a later append to complete.
    virtual bool AppendFile(std::string_view path, std::string_view bytes) = 0;
    // Takes the exclusive lock of a lock file (made when missing), waiting while another process holds it;
    // nullptr when the lock file cannot be made.
    virtual std::unique_ptr<FileLock> LockFile(std::string_view path) = 0;
};

// Whether the name is one of the temporary files that a write in progress (or a killed one) leaves beside
// its target: such a file is never an entry.
bool IsTemporaryFileName(std::string_view name);

// The Windows wildcard match of FindFirstFile, without regard to case. "*.*" matches every name,
// with or without a dot.
bool MatchesWildcard(std::string_view name, std::string_view pattern);

// A full path ("C:\\dir\\file") spelt as the file system stores its names: each folder and the file looked
// up in turn, without regard to case, as Windows matches them. The drive letter comes back upper-case;
// nullopt when a part is not there (or holds a wildcard), or the path is not a full one.
std::optional<std::string> StoredSpelling(std::string_view path, FileSystem& files);

// Joins a folder and a name with one backslash.
std::string JoinPath(std::string_view folder, std::string_view name);

} // namespace qb
