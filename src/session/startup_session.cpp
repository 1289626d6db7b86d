#include "session/startup_session.h"

#include "changes/apply_journal.h"
#include "inventory/startup_scan.h"

namespace qb {

namespace {

// An entry whose command changed since the user accepted it runs another program under the old name: the
// name would rate it as the program that was there, so it is rated by what its command runs now.
void RateChangedByCommand(Inventory& inventory, ProgramDatabase& database) {
    for (StartupItem* item : inventory.LoadedItems) {
        if (item->Change == ChangeMark::Changed) {
            const std::string command = WholeCommandOf(*item);
            item->Rating = database.LookupCommandRating(item->Name, AnalysedCommand(item->Location, command));
        }
    }
}

} // namespace

StartupSession::StartupSession(PlatformServices services)
    : services_(services), ownIcons_(std::make_unique<CountingIconSink>()), icons_(*ownIcons_),
      database_(services.files), watch_(services) {}

StartupSession::StartupSession(PlatformServices services, IconSink& icons)
    : services_(services), icons_(icons), database_(services.files), watch_(services) {}

StartupSession::~StartupSession() = default;

std::optional<RecoveryNotice> StartupSession::Recover() {
    // The folder that receives automatic backups and keeps the accepted setting.
    services_.files.CreateDirectory(JoinPath(services_.files.ExecutableDirectory(), "backup"));
    if (!ApplyWasCutOff(services_)) {
        return std::nullopt;
    }
    // What the recovery changes is the tool's own doing, not a change behind the user's back: the watch
    // learns it from a look before and after. An apply that stopped part-way may have told the watch of
    // changes that its journal now takes back.
    Inventory before;
    Inventory after;
    CountingIconSink noIcons;
    LoadInventory(before, services_, database_, noIcons, LoadAccess::ReadOnly);
    const Recovery recovered = RecoverInterruptedApply(services_);
    if (recovered == Recovery::None) {
        return std::nullopt; // another instance put it right meanwhile
    }
    LoadInventory(after, services_, database_, noIcons, LoadAccess::ReadOnly);
    watch_.Recovered(before, after);
    return RecoveryNotice{RecoveryMessage(recovered),
                          recovered == Recovery::Failed ? MessageKind::Warning : MessageKind::Information};
}

void StartupSession::Load(LoadAccess access) {
    LoadInventory(inventory_, services_, database_, icons_, access);
    watch_.Loaded(inventory_);
    RateChangedByCommand(inventory_, database_);
}

WatchedApplyResult StartupSession::Apply(ApplyConfirmation& confirmation, bool rememberChoice) {
    WatchedApplyResult result =
        ApplyWatched(inventory_, services_, confirmation, database_, icons_, watch_, rememberChoice);
    RateChangedByCommand(inventory_, database_); // the reload was rated by name
    return result;
}

LoadBackupResult StartupSession::Restore(std::string_view path) {
    const LoadBackupResult result = LoadBackup(path, inventory_, services_, database_, icons_);
    if (result.loaded) {
        watch_.Loaded(inventory_); // the restore loaded the system again
        RateChangedByCommand(inventory_, database_);
    }
    return result;
}

std::string StartupSession::Backup(std::string_view path, BackupContent content) {
    return WriteBackup(path, inventory_, services_, content);
}

int StartupSession::Accept() {
    const int marks = CountChangeMarks(inventory_).marked();
    watch_.Accept(inventory_);
    return marks;
}

} // namespace qb
