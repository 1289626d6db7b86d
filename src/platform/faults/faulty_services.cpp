#include "platform/faults/faulty_services.h"

#include "platform/platform_error.h"

namespace qb {

namespace {

class FaultyKey : public RegistryKey {
public:
    FaultyKey(std::unique_ptr<RegistryKey> inner, std::string path, FaultPlan& plan)
        : inner_(std::move(inner)), path_(std::move(path)), plan_(plan) {}

    std::vector<std::string> ValueNames() override {
        if (plan_.ShouldFail("registry.list-values", path_, false)) {
            return {};
        }
        return inner_->ValueNames();
    }
    std::vector<std::string> SubkeyNames() override {
        if (plan_.ShouldFail("registry.list-subkeys", path_, false)) {
            return {};
        }
        return inner_->SubkeyNames();
    }
    std::optional<RegistryValue> ReadValue(std::string_view name) override {
        if (plan_.ShouldFail("registry.read-value", Subject(name), false)) {
            return std::nullopt;
        }
        return inner_->ReadValue(name);
    }
    void WriteValue(std::string_view name, const RegistryValue& value) override {
        if (plan_.ShouldFail("registry.write-value", Subject(name), true)) {
            throw PlatformError::SetDataFailed(name);
        }
        inner_->WriteValue(name, value);
    }
    bool DeleteValue(std::string_view name) override {
        if (plan_.ShouldFail("registry.delete-value", Subject(name), true)) {
            return false;
        }
        return inner_->DeleteValue(name);
    }
    bool DeleteSubkey(std::string_view relativePath) override {
        if (plan_.ShouldFail("registry.delete-key", Subject(relativePath), true)) {
            return false;
        }
        return inner_->DeleteSubkey(relativePath);
    }

private:
    std::string Subject(std::string_view name) const { return path_ + "\\" + std::string(name); }

    std::unique_ptr<RegistryKey> inner_;
    std::string path_;
    FaultPlan& plan_;
};

std::string KeyPath(RegistryRoot root, std::string_view path) {
    return std::string(RootName(root)) + "\\" + std::string(path);
}

std::unique_ptr<RegistryKey> Wrap(std::unique_ptr<RegistryKey> key, std::string path, FaultPlan& plan) {
    if (!key) {
        return nullptr;
    }
    return std::make_unique<FaultyKey>(std::move(key), std::move(path), plan);
}

} // namespace

namespace {
// The subject of a registry operation: the key's path, marked when it is the 32-bit view's.
std::string ViewKeyPath(RegistryRoot root, std::string_view path, RegistryView view) {
    std::string subject = KeyPath(root, path);
    if (view == RegistryView::Wow32) {
        subject += " (32-bit view)";
    }
    return subject;
}
} // namespace

std::unique_ptr<RegistryKey> FaultyRegistry::OpenForReading(RegistryRoot root, std::string_view path,
                                                            RegistryView view) {
    const std::string subject = ViewKeyPath(root, path, view);
    if (plan_.ShouldFail("registry.open-read", subject, false)) {
        return nullptr;
    }
    return Wrap(inner_.OpenForReading(root, path, view), subject, plan_);
}

std::unique_ptr<RegistryKey> FaultyRegistry::OpenForWriting(RegistryRoot root, std::string_view path,
                                                            bool createIfMissing, RegistryView view) {
    const std::string subject = ViewKeyPath(root, path, view);
    // Opening may create keys, so it counts as a change only when it may create one.
    if (plan_.ShouldFail("registry.open-write", subject, createIfMissing)) {
        return nullptr;
    }
    return Wrap(inner_.OpenForWriting(root, path, createIfMissing, view), subject, plan_);
}

bool FaultyRegistry::DeleteKey(RegistryRoot root, std::string_view path, RegistryView view) {
    if (plan_.ShouldFail("registry.delete-key", ViewKeyPath(root, path, view), true)) {
        return false;
    }
    return inner_.DeleteKey(root, path, view);
}

std::optional<std::string> FaultyProfileFiles::ReadValue(std::string_view file, std::string_view section,
                                                         std::string_view key) {
    if (plan_.ShouldFail("profile.read", file, false)) {
        return std::nullopt;
    }
    return inner_.ReadValue(file, section, key);
}

void FaultyProfileFiles::WriteString(std::string_view file, std::string_view section, std::string_view key,
                                     std::string_view value) {
    if (plan_.ShouldFail("profile.write", file, true)) {
        throw PlatformError::ProfileWriteFailed(file);
    }
    inner_.WriteString(file, section, key, value);
}

std::vector<std::string> FaultyProfileFiles::SectionNames(std::string_view file) {
    if (plan_.ShouldFail("profile.read", file, false)) {
        return {};
    }
    return inner_.SectionNames(file);
}

bool FaultyFileSystem::FileExists(std::string_view path) {
    return !plan_.ShouldFail("files.file-exists", path, false) && inner_.FileExists(path);
}

bool FaultyFileSystem::DirectoryExists(std::string_view path) {
    return !plan_.ShouldFail("files.directory-exists", path, false) && inner_.DirectoryExists(path);
}

bool FaultyFileSystem::CreateDirectory(std::string_view path) {
    return !plan_.ShouldFail("files.create-directory", path, true) && inner_.CreateDirectory(path);
}

bool FaultyFileSystem::CopyFile(std::string_view source, std::string_view destination, bool failIfExists) {
    return !plan_.ShouldFail("files.copy", destination, true) &&
           inner_.CopyFile(source, destination, failIfExists);
}

bool FaultyFileSystem::DeleteFile(std::string_view path) {
    return !plan_.ShouldFail("files.delete", path, true) && inner_.DeleteFile(path);
}

std::vector<FileEntry> FaultyFileSystem::FindFiles(std::string_view directory, std::string_view pattern) {
    if (plan_.ShouldFail("files.find", directory, false)) {
        return {};
    }
    return inner_.FindFiles(directory, pattern);
}

bool FaultyFileSystem::WriteFile(std::string_view path, std::string_view bytes) {
    return !plan_.ShouldFail("files.write", path, true) && inner_.WriteFile(path, bytes);
}

std::optional<std::string> FaultyFileSystem::ReadFile(std::string_view path) {
    if (plan_.ShouldFail("files.read", path, false)) {
        return std::nullopt;
    }
    return inner_.ReadFile(path);
}

std::optional<FileStamp> FaultyFileSystem::Stamp(std::string_view path) {
    if (plan_.ShouldFail("files.stamp", path, false)) {
        return std::nullopt;
    }
    return inner_.Stamp(path);
}

bool FaultyFileSystem::MoveFile(std::string_view source, std::string_view destination) {
    return !plan_.ShouldFail("files.move", source, true) &&
           inner_.MoveFile(source, destination); // what moves
}

bool FaultyFileSystem::AppendFile(std::string_view path, std::string_view bytes) {
    return !plan_.ShouldFail("files.append", path, true) && inner_.AppendFile(path, bytes);
}

std::unique_ptr<FileLock> FaultyFileSystem::LockFile(std::string_view path) {
    if (plan_.ShouldFail("files.lock", path, false)) {
        return nullptr;
    }
    return inner_.LockFile(path);
}

std::string FaultyShell::StartupFolderPath(bool allUsers) {
    if (plan_.ShouldFail("shell.startup-folder", allUsers ? "all users" : "current user", false)) {
        return {};
    }
    return inner_.StartupFolderPath(allUsers);
}

ShortcutLoad FaultyShell::LoadShortcut(std::string_view path) {
    if (plan_.ShouldFail("shell.load-shortcut", path, false)) {
        return {std::nullopt, "the file could not be read"};
    }
    return inner_.LoadShortcut(path);
}

bool FaultyShell::SaveShortcut(std::string_view path, const ShortcutInfo& link) {
    return !plan_.ShouldFail("shell.save-shortcut", path, true) && inner_.SaveShortcut(path, link);
}

std::optional<ProgramIcon> FaultyShell::ExtractIcon(std::string_view path) {
    if (plan_.ShouldFail("shell.extract-icon", path, false)) {
        return std::nullopt;
    }
    return inner_.ExtractIcon(path);
}

int FaultyShell::RunCommand(std::string_view commandLine, int showCommand) {
    if (plan_.ShouldFail("shell.run", commandLine, false)) {
        return 0;
    }
    return inner_.RunCommand(commandLine, showCommand);
}

int FaultyShell::OpenWithVerb(std::string_view verb, std::string_view target) {
    if (plan_.ShouldFail("shell.open", target, false)) {
        return 31;
    }
    return inner_.OpenWithVerb(verb, target);
}

bool FaultyShell::ShowProperties(std::string_view path) {
    return !plan_.ShouldFail("shell.properties", path, false) && inner_.ShowProperties(path);
}

} // namespace qb
