#include "changes/apply_dialog_rows.h"

#include "backup/backup_index.h"
#include "changes/pending_changes.h"
#include "platform/platform_error.h"

namespace qb {

std::vector<ApplyDialogRow> ApplyDialogRows(const Inventory& inventory) {
    std::vector<ApplyDialogRow> rows;
    for (const auto& item : inventory.Items) {
        std::string changes;
        for (const ChangeKind kind : ChangeKinds(*item)) {
            if (!changes.empty()) {
                changes += ",";
            }
            changes += ChangeKindName(kind);
        }
        if (changes.empty()) {
            continue;
        }
        const char* status = item->State == ItemState::Enabled    ? "Enabled"
                             : item->State == ItemState::Disabled ? "Disabled"
                                                                  : "";
        rows.push_back({changes, item->Name, item->Command, item->Location, status});
    }
    return rows;
}

bool StoredAutoBackupChoice(Registry& registry) {
    const auto key = registry.OpenForWriting(RegistryRoot::CurrentUser, kToolKey, true);
    if (!key) {
        throw PlatformError::SetDataFailed("AutoBackup");
    }
    if (!key->ValueExists("AutoBackup")) {
        key->WriteInteger("AutoBackup", 1);
    }
    return key->ReadInteger("AutoBackup") != 0;
}

bool PeekAutoBackupChoice(Registry& registry) {
    const auto key = registry.OpenForReading(RegistryRoot::CurrentUser, kToolKey);
    if (!key || !key->ValueExists("AutoBackup")) {
        return true;
    }
    return key->ReadInteger("AutoBackup") != 0;
}

} // namespace qb
