#include "changes/backup_choice.h"

#include "backup/tool_settings.h"
#include "platform/platform_error.h"

namespace qb {

namespace {
constexpr std::string_view kAutoBackup = "AutoBackup";
} // namespace

bool StoredAutoBackupChoice(Registry& registry) {
    const auto key = registry.OpenForWriting(RegistryRoot::CurrentUser, kToolKey, true);
    if (!key) {
        throw PlatformError::SetDataFailed(kAutoBackup);
    }
    if (!key->ValueExists(kAutoBackup)) {
        key->WriteInteger(kAutoBackup, 1);
    }
    return key->ReadInteger(kAutoBackup) != 0;
}

bool PeekAutoBackupChoice(Registry& registry) {
    const auto key = registry.OpenForReading(RegistryRoot::CurrentUser, kToolKey);
    if (!key || !key->ValueExists(kAutoBackup)) {
        return true;
    }
    return key->ReadInteger(kAutoBackup) != 0;
}

void RememberAutoBackupChoice(Registry& registry, bool backupFirst) {
    const auto key = registry.OpenForWriting(RegistryRoot::CurrentUser, kToolKey, true);
    if (!key) {
        throw PlatformError::SetDataFailed(kAutoBackup);
    }
    key->WriteInteger(kAutoBackup, backupFirst ? 1 : 0);
}

} // namespace qb
