#pragma once

#include "platform/file_system.h"

namespace qb::win32 {

// Files and directories through the ANSI file functions.
class Win32Files : public FileSystem {
public:
    // GetModuleFileName of the running program.
    std::string ExecutableDirectory() override;
    std::string FullPath(std::string_view path) override;
    bool FileExists(std::string_view path) override;
    bool DirectoryExists(std::string_view path) override;
    bool CreateDirectory(std::string_view path) override;
    bool CopyFile(std::string_view source, std::string_view destination, bool failIfExists) override;
    bool DeleteFile(std::string_view path) override;
    // FindFirstFile/FindNextFile, in the file system's order (NTFS: sorted without regard to case).
    // FindFirstFile also matches a pattern against 8.3 aliases, so "*.lnk" finds "notes.lnkx" through
    // NOTES~1.LNK; the names are checked again so that only long names match, as everywhere else.
    std::vector<FileEntry> FindFiles(std::string_view directory, std::string_view pattern) override;
    // A temporary file beside the target, flushed, then moved over it (MoveFileEx with
    // MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH). A read-only target is not replaced.
    bool WriteFile(std::string_view path, std::string_view bytes) override;
    std::optional<std::string> ReadFile(std::string_view path) override;
    // Size and last write time, and the file index as identity: replacing a file gives a new index.
    std::optional<FileStamp> Stamp(std::string_view path) override;
    // MoveFileEx without MOVEFILE_REPLACE_EXISTING, written through.
    bool MoveFile(std::string_view source, std::string_view destination) override;
    bool IsReadOnly(std::string_view path) override;
    bool SetHidden(std::string_view path) override;
    bool AppendFile(std::string_view path, std::string_view bytes) override;
    // LockFileEx on the first byte of a file opened for sharing: dropped when the handle closes, also when
    // the process dies.
    std::unique_ptr<FileLock> LockFile(std::string_view path) override;
};

} // namespace qb::win32
