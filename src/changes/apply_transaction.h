#pragma once

#include "changes/apply_journal.h"
#include "platform/platform_services.h"

#include <functional>
#include <memory>
#include <string>

namespace qb {

// The registry as an apply changes it: every value's first change is journaled, with the value as it was,
// before it is made.
class JournaledRegistry : public Registry {
public:
    JournaledRegistry(Registry& inner, ApplyJournal& journal) : inner_(inner), journal_(journal) {}
    using Registry::DeleteKey;
    using Registry::OpenForReading;
    using Registry::OpenForWriting;
    std::unique_ptr<RegistryKey> OpenForReading(RegistryRoot root, std::string_view path,
                                                RegistryView view) override {
        return inner_.OpenForReading(root, path, view);
    }
    std::unique_ptr<RegistryKey> OpenForWriting(RegistryRoot root, std::string_view path,
                                                bool createIfMissing, RegistryView view) override;
    bool DeleteKey(RegistryRoot root, std::string_view path, RegistryView view) override {
        return inner_.DeleteKey(root, path, view);
    }
    std::unique_ptr<RegistryHold> HoldChanges() override { return inner_.HoldChanges(); }

private:
    Registry& inner_;
    ApplyJournal& journal_;
};

// Files as an apply changes them: a file is made under a staged name and renamed into place, never over
// another; a file taken away is renamed aside and deleted only once the apply commits. Each step is
// journaled before it is taken.
class JournaledFiles : public FileSystem {
public:
    JournaledFiles(FileSystem& inner, ApplyJournal& journal) : inner_(inner), journal_(journal) {}
    std::string ExecutableDirectory() override { return inner_.ExecutableDirectory(); }
    std::string FullPath(std::string_view path) override { return inner_.FullPath(path); }
    bool SetHidden(std::string_view path) override { return inner_.SetHidden(path); }
    bool FileExists(std::string_view path) override { return inner_.FileExists(path); }
    bool DirectoryExists(std::string_view path) override { return inner_.DirectoryExists(path); }
    bool CreateDirectory(std::string_view path) override { return inner_.CreateDirectory(path); }
    bool CopyFile(std::string_view source, std::string_view destination, bool failIfExists) override;
    // Sets the file aside (Windows' refusals kept: a read-only file is not deleted).
    bool DeleteFile(std::string_view path) override;
    std::vector<FileEntry> FindFiles(std::string_view directory, std::string_view pattern) override {
        return inner_.FindFiles(directory, pattern);
    }
    // Makes a new file, never over another (an apply writes only where nothing is); a file set aside in this
    // apply whose bytes these are comes back itself.
    bool WriteFile(std::string_view path, std::string_view bytes) override;
    std::optional<std::string> ReadFile(std::string_view path) override { return inner_.ReadFile(path); }
    std::optional<FileStamp> Stamp(std::string_view path) override { return inner_.Stamp(path); }
    bool MoveFile(std::string_view source, std::string_view destination) override;
    bool IsReadOnly(std::string_view path) override { return inner_.IsReadOnly(path); }
    bool AppendFile(std::string_view path, std::string_view bytes) override {
        return inner_.AppendFile(path, bytes);
    }
    std::unique_ptr<FileLock> LockFile(std::string_view path) override { return inner_.LockFile(path); }

    // Makes a new file at path through make, which writes the staged file it is given; false (with the
    // cause) when path is taken or any step fails, and then nothing is left behind.
    bool CreateStaged(std::string_view path, const std::function<bool(const std::string& stage)>& make);

private:
    FileSystem& inner_;
    ApplyJournal& journal_;
};

// The shell as an apply uses it: a shortcut is saved like any new file, staged, never over another.
class JournaledShell : public Shell {
public:
    JournaledShell(Shell& inner, JournaledFiles& files) : inner_(inner), files_(files) {}
    std::string StartupFolderPath(bool allUsers) override { return inner_.StartupFolderPath(allUsers); }
    ShortcutLoad LoadShortcut(std::string_view path) override {
        return inner_.LoadShortcut(path);
    }
    bool SaveShortcut(std::string_view path, const ShortcutInfo& link) override;
    std::optional<ProgramIcon> ExtractIcon(std::string_view path) override {
        return inner_.ExtractIcon(path);
    }
    ProgramIcon StandardApplicationIcon() override { return inner_.StandardApplicationIcon(); }
    int RunCommand(std::string_view commandLine, int showCommand) override {
        return inner_.RunCommand(commandLine, showCommand);
    }
    int OpenWithVerb(std::string_view verb, std::string_view target) override {
        return inner_.OpenWithVerb(verb, target);
    }
    bool ShowProperties(std::string_view path) override { return inner_.ShowProperties(path); }

private:
    Shell& inner_;
    JournaledFiles& files_;
};

// One apply as a transaction: while it lives, other applies of the same user wait, and every change made
// through Services() can be undone; Commit makes them final, anything else rolls them back, and a process
// killed in between leaves a journal that the next start (or apply) finishes or rolls back.
class ApplyTransaction {
public:
    // Takes the apply lock and puts right what an apply cut off earlier left. Throws PlatformError ("Unable
    // to write to ...") when the lock cannot be taken or that cannot be done.
    explicit ApplyTransaction(PlatformServices services);
    ~ApplyTransaction();
    ApplyTransaction(const ApplyTransaction&) = delete;
    ApplyTransaction& operator=(const ApplyTransaction&) = delete;

    // Begins the journal. Throws PlatformError ("Unable to write to ...") when it cannot be written: nothing
    // changed then.
    void Begin();
    // The services the apply's changes go through, once begun.
    PlatformServices Services();
    // What the start of this apply found of an earlier one.
    Recovery Recovered() const { return recovered_; }

    // Stores the registry's held changes and makes every change final. When they cannot be stored, every
    // change is rolled back and the error is thrown.
    void Commit();
    // Undoes every change made through Services().
    void RollBack();

private:
    [[noreturn]] void FailJournal();

    PlatformServices inner_;
    std::string folder_;
    std::unique_ptr<FileLock> lock_;
    Recovery recovered_ = Recovery::None;
    ApplyJournal journal_;
    std::unique_ptr<RegistryHold> hold_;
    JournaledRegistry registry_;
    JournaledFiles files_;
    JournaledShell shell_;
    bool begun_ = false;
    bool ended_ = false;
};

} // namespace qb
