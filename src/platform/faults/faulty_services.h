#pragma once

#include "platform/faults/fault_plan.h"
#include "platform/file_system.h"
#include "platform/profile_files.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace qb {

// Wrappers that pass every operation to the real service unless the plan says it fails; a failing
// operation fails the way the real one reports failure (nullptr, false, nullopt, or the platform error).

class FaultyRegistry : public Registry {
public:
    FaultyRegistry(Registry& inner, FaultPlan& plan) : inner_(inner), plan_(plan) {}
    using Registry::DeleteKey;
    using Registry::OpenForReading;
    using Registry::OpenForWriting;
    std::unique_ptr<RegistryKey> OpenForReading(RegistryRoot root, std::string_view path,
                                                RegistryView view) override;
    std::unique_ptr<RegistryKey> OpenForWriting(RegistryRoot root, std::string_view path, bool createIfMissing,
                                                RegistryView view) override;
    bool DeleteKey(RegistryRoot root, std::string_view path, RegistryView view) override;
    std::unique_ptr<RegistryHold> HoldChanges() override { return inner_.HoldChanges(); }

private:
    Registry& inner_;
    FaultPlan& plan_;
};

class FaultyProfileFiles : public ProfileFiles {
public:
    FaultyProfileFiles(ProfileFiles& inner, FaultPlan& plan) : inner_(inner), plan_(plan) {}
    std::optional<std::string> ReadValue(std::string_view file, std::string_view section,
                                         std::string_view key) override;
    void WriteString(std::string_view file, std::string_view section, std::string_view key,
                     std::string_view value) override;
    std::vector<std::string> SectionNames(std::string_view file) override;

private:
    ProfileFiles& inner_;
    FaultPlan& plan_;
};

class FaultyFileSystem : public FileSystem {
public:
    FaultyFileSystem(FileSystem& inner, FaultPlan& plan) : inner_(inner), plan_(plan) {}
    std::string ExecutableDirectory() override { return inner_.ExecutableDirectory(); }
    std::string FullPath(std::string_view path) override { return inner_.FullPath(path); }
    bool SetHidden(std::string_view path) override { return inner_.SetHidden(path); }
    bool FileExists(std::string_view path) override;
    bool DirectoryExists(std::string_view path) override;
    bool CreateDirectory(std::string_view path) override;
    bool CopyFile(std::string_view source, std::string_view destination, bool failIfExists) override;
    bool DeleteFile(std::string_view path) override;
    std::vector<FileEntry> FindFiles(std::string_view directory, std::string_view pattern) override;
    bool WriteFile(std::string_view path, std::string_view bytes) override;
    std::optional<std::string> ReadFile(std::string_view path) override;
    std::optional<FileStamp> Stamp(std::string_view path) override;
    bool MoveFile(std::string_view source, std::string_view destination) override;
    bool IsReadOnly(std::string_view path) override { return inner_.IsReadOnly(path); }
    bool AppendFile(std::string_view path, std::string_view bytes) override;
    std::unique_ptr<FileLock> LockFile(std::string_view path) override;

private:
    FileSystem& inner_;
    FaultPlan& plan_;
};

class FaultyShell : public Shell {
public:
    FaultyShell(Shell& inner, FaultPlan& plan) : inner_(inner), plan_(plan) {}
    std::string StartupFolderPath(bool allUsers) override;
    ShortcutLoad LoadShortcut(std::string_view path) override;
    bool SaveShortcut(std::string_view path, const ShortcutInfo& link) override;
    std::optional<ProgramIcon> ExtractIcon(std::string_view path) override;
    ProgramIcon StandardApplicationIcon() override { return inner_.StandardApplicationIcon(); }
    int RunCommand(std::string_view commandLine, int showCommand) override;
    int OpenWithVerb(std::string_view verb, std::string_view target) override;
    bool ShowProperties(std::string_view path) override;

private:
    Shell& inner_;
    FaultPlan& plan_;
};

} // namespace qb
