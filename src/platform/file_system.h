#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

struct FileEntry {
    std::string name; // the name as the directory holds it, without folder
    bool isDirectory = false;
};

// Enough to tell that a file changed since it was last read.
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t modifiedNanoseconds = 0;
    std::uint64_t identity = 0; // changes when the file is replaced by another one
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// Files and directories addressed by Windows paths ("C:\Program Files\..."). Names match without regard
// to letter case, as on Windows.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // The directory of the running executable, without a trailing backslash.
    virtual std::string ExecutableDirectory() = 0;
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
};

// The Windows wildcard match of FindFirstFile, without regard to case. "*.*" matches every name,
// with or without a dot.
bool MatchesWildcard(std::string_view name, std::string_view pattern);

// Joins a folder and a name with one backslash.
std::string JoinPath(std::string_view folder, std::string_view name);

} // namespace qb
