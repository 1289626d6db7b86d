#pragma once

#include "platform/file_system.h"
#include "platform/sandbox/path_map.h"

namespace qb::sandbox {

// Files and directories of the sandbox's drives.
class SandboxFiles : public FileSystem {
public:
    // currentFolder: the folder relative names are taken from ("C:\\Users\\User").
    SandboxFiles(const PathMap& paths, std::string toolDirectory, std::string currentFolder);

    std::string ExecutableDirectory() override;
    std::string FullPath(std::string_view path) override;
    bool FileExists(std::string_view path) override;
    bool DirectoryExists(std::string_view path) override;
    bool CreateDirectory(std::string_view path) override;
    bool CopyFile(std::string_view source, std::string_view destination, bool failIfExists) override;
    bool DeleteFile(std::string_view path) override;
    // Sorted without regard to case, the order NTFS returns a directory in.
    std::vector<FileEntry> FindFiles(std::string_view directory, std::string_view pattern) override;
    bool WriteFile(std::string_view path, std::string_view bytes) override;
    std::optional<std::string> ReadFile(std::string_view path) override;
    std::optional<FileStamp> Stamp(std::string_view path) override;
    bool MoveFile(std::string_view source, std::string_view destination) override;
    bool IsReadOnly(std::string_view path) override;
    bool SetHidden(std::string_view path) override { return FileExists(path); }
    bool AppendFile(std::string_view path, std::string_view bytes) override;
    std::unique_ptr<FileLock> LockFile(std::string_view path) override;

private:
    // The host path of a file about to be written; nullopt, with the cause, when the path is a folder, a
    // read-only file or no place this user may write.
    std::optional<std::filesystem::path> FileToWrite(std::string_view path);

    const PathMap& paths_;
    std::string toolDirectory_;
    std::string currentFolder_;
};

} // namespace qb::sandbox
