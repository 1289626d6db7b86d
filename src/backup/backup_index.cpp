#include "backup/backup_index.h"

#include "backup/backup_file.h"
#include "backup/tool_settings.h"
#include "platform/platform_error.h"
#include "platform/text.h"

namespace qb {

namespace {
std::string EntryPath(std::string_view time) {
    return std::string(kBackupIndexKey) + "\\" + std::string(time);
}
} // namespace

std::vector<BackupIndexRow> ReadBackupIndex(Registry& registry) {
    std::vector<BackupIndexRow> rows;
    const auto index = registry.OpenForReading(RegistryRoot::CurrentUser, kBackupIndexKey);
    if (!index) {
        return rows;
    }
    for (const std::string& name : index->SubkeyNames()) {
        BackupIndexRow row{name, {}, std::nullopt};
        if (const auto key = registry.OpenForReading(RegistryRoot::CurrentUser, EntryPath(name))) {
            if (const auto path = key->ReadValue("FilePath"); path && path->IsText()) {
                row.filePath = path->data;
            }
            if (const auto count = key->ReadValue("Count")) {
                row.count = count->AsDword(); // a count that is no integer is shown empty
            }
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

void DeleteBackup(const BackupIndexRow& row, PlatformServices services) {
    const auto index = services.registry.OpenForWriting(RegistryRoot::CurrentUser, kBackupIndexKey, true);
    services.files.DeleteFile(row.filePath);
    if (index) {
        index->DeleteSubkey(row.time);
    }
}

std::string DeleteBackupQuestion(std::string_view filePath) {
    return "Delete the backup file " + std::string(filePath) + "?";
}

void DeleteAllBackups(PlatformServices services) {
    if (services.registry.OpenForWriting(RegistryRoot::CurrentUser, kBackupIndexKey, true) == nullptr) {
        return;
    }
    for (const BackupIndexRow& row : ReadBackupIndex(services.registry)) {
        if (!row.filePath.empty()) {
            services.files.DeleteFile(row.filePath);
        }
    }
    services.registry.DeleteKey(RegistryRoot::CurrentUser, kBackupIndexKey);
}

std::string WriteAutoBackup(const Inventory& inventory, PlatformServices services) {
    const auto key = services.registry.OpenForWriting(RegistryRoot::CurrentUser, kToolKey, true);
    if (!key) {
        throw PlatformError::SetDataFailed("Idx");
    }
    if (!key->ValueExists("Idx")) {
        key->WriteInteger("Idx", 1);
    }
    // A file of that number may be there already (a counter that was reset, or an apply killed before its
    // count was stored): the next free number is taken, and no backup is ever written over.
    std::uint32_t n = key->ReadInteger("Idx");
    std::string path;
    for (;; ++n) {
        path = JoinPath(services.files.ExecutableDirectory(), "backup\\Auto-" + std::to_string(n) + ".qbk");
        if (!services.files.FileExists(path)) {
            break;
        }
    }
    key->WriteInteger("Idx", n + 1);
    WriteBackup(path, inventory, services, BackupContent::AsLoaded);
    return path;
}

std::string BackupFileName(std::string chosen) {
    if (UpperCase(chosen).find(".QBK") == std::string::npos) {
        chosen += ".qbk";
    }
    return chosen;
}

void ViewBackupFile(std::string_view path, PlatformServices services) {
    services.shell.RunCommand("notepad.exe " + std::string(path), kShowNormal);
}

} // namespace qb
