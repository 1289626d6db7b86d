#pragma once

#include "backup/backup_file.h"
#include "baseline/change_watch.h"
#include "changes/apply_engine.h"
#include "inventory/icon_sink.h"
#include "inventory/startup_item.h"
#include "inventory/startup_scan.h"
#include "knowledge/program_database.h"
#include "platform/dialogs.h"
#include "platform/platform_services.h"
#include "session/watched_apply.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qb {

// What the user is told about an apply that an earlier run left cut off.
struct RecoveryNotice {
    std::string message;
    MessageKind kind = MessageKind::Information; // a warning when it could not all be put right
};

// The startup setting as one front end works on it: the system's entries with their pending changes, the
// program database that rates them, the program icons, and the change watch that marks what changed
// behind the user's back. Every step that reads or writes the system goes through here, so that the
// window and the command line load, apply, restore and accept the same way and the watch learns every
// change the tool makes, also those of an apply that stopped part-way.
class StartupSession {
public:
    // The session keeps its own icon sink (one that only counts), or fills the one given, which must
    // outlive it.
    explicit StartupSession(PlatformServices services);
    StartupSession(PlatformServices services, IconSink& icons);
    ~StartupSession();
    StartupSession(const StartupSession&) = delete;
    StartupSession& operator=(const StartupSession&) = delete;

    // What each program does first: makes the "backup" folder beside the tool (a failure is not reported),
    // then finishes or rolls back an apply cut off by a kill or a crash, before anything is read. nullopt
    // when there was none.
    std::optional<RecoveryNotice> Recover();
    // A load of the system: the entries get their marks of what changed since the setting was last accepted.
    // A read-only load removes nothing, not even a leftover twin copy.
    void Load(LoadAccess access = LoadAccess::MayTidy);
    // The Apply command with the watch around it (ApplyWatched): the confirmation, the engine, the reload.
    WatchedApplyResult Apply(ApplyConfirmation& confirmation, bool rememberChoice);
    // Loads a backup file as pending changes (LoadBackup) over a fresh load, which the watch marks.
    LoadBackupResult Restore(std::string_view path);
    // Writes the entries of the last load to a backup file (WriteBackup); returns its create time.
    std::string Backup(std::string_view path, BackupContent content = BackupContent::HeldNow);
    // The user has seen the marks: the system as loaded becomes the accepted setting. Returns how many
    // marks cleared.
    int Accept();

    Inventory& Items() { return inventory_; }
    const Inventory& Items() const { return inventory_; }
    ProgramDatabase& Database() { return database_; }
    IconSink& Icons() { return icons_; }
    ChangeWatch& Watch() { return watch_; }
    PlatformServices Services() const { return services_; }

private:
    PlatformServices services_;
    std::unique_ptr<CountingIconSink> ownIcons_;
    IconSink& icons_;
    ProgramDatabase database_;
    Inventory inventory_;
    ChangeWatch watch_;
};

} // namespace qb
