#pragma once

#include "inventory/icon_sink.h"
#include "inventory/rating_source.h"
#include "inventory/startup_item.h"
#include "inventory/startup_location.h"
#include "platform/platform_services.h"

#include <optional>
#include <string>
#include <vector>

namespace qb {

// What an apply did beyond its marks.
struct ApplyReport {
    // Entries whose change could not be made (a key or folder that cannot be written, a name that cannot
    // be a file name, a shortcut that could not be moved): each is still where it was.
    std::vector<std::string> notChanged;
    std::string autoBackupPath; // "" when no automatic backup was made
};

// The only code that changes the system's startup setting. It writes every pending change of the inventory
// to the run keys and the startup folders, from the marks of the records and the originals of edited ones.
//
// It never loses an entry: a move between two places writes the new place before it removes the old one,
// and an edited entry's old value or shortcut, removed before the new one is written, is put back when the
// new one could not be written. No file is made or removed outside its folder.
class ApplyEngine {
public:
    ApplyEngine(Inventory& inventory, PlatformServices services);

    // Steps 3 to 6 of an apply: the disabled-shortcut folders, the stored backup choice (when asked to
    // remember it) and the automatic backup, then the two phases of changes. A value that cannot be
    // written although its key opened ends the apply with the platform's error, after what was removed
    // of edited entries is put back; the marks stay, and a second apply finishes the work.
    ApplyReport Apply(bool backupFirst, bool rememberChoice);

    // A registry row's key for an entry in that state (the run key when Enabled, else its twin), opened for
    // writing and created when missing; nullptr for other rows or a key that cannot be opened.
    std::unique_ptr<RegistryKey> OpenLocationKey(std::string_view label, ItemState state);

private:
    // What a removal took away, so that it can be put back.
    struct Removed {
        const StartupItem* original = nullptr; // the copy in EditedOriginals
        ItemState state = ItemState::Deleted;
        std::optional<RegistryValue> value;  // a registry row's value
        std::optional<std::string> shortcut; // a folder row's file, as bytes
        std::string path;                    // where the file was
    };

    enum class Removal { Done, Absent, Failed };

    bool WriteEntry(const StartupItem& item, ItemState state);
    Removal RemoveEntry(const StartupItem& item, ItemState state, Removed* removed = nullptr);
    bool Enable(const StartupItem& item);
    bool Disable(const StartupItem& item);
    bool MoveToDisabledFolder(const StartupLocation& row, std::string_view name);
    // Whether a registry row's key for that state holds a value of the entry's name.
    bool HeldAt(const StartupLocation& row, ItemState state, const StartupItem& item);
    bool WriteValue(std::string_view label, ItemState state, const StartupItem& item);
    void PutBack(const Removed& removed);
    void PutBackUnwritten(const std::vector<Removed>& removed,
                          const std::vector<const StartupItem*>& written);

    // File paths of a folder row's entry; nullopt when the name cannot be a file name there, or the startup
    // folder is unknown.
    std::optional<std::string> StartupFile(const StartupLocation& row, std::string_view name);
    std::optional<std::string> DisabledFile(const StartupLocation& row, std::string_view name);

    void NotChanged(const StartupItem& item);

    Inventory& inventory_;
    PlatformServices services_;
    ApplyReport report_;
};

// Whether the command holds a %NAME% reference and must be stored as an expandable string to keep working.
bool HoldsEnvironmentReference(std::string_view command);

// How the user confirms an apply: the list of changes and the backup choice. nullopt: abandoned.
class ApplyConfirmation {
public:
    virtual ~ApplyConfirmation() = default;
    virtual std::optional<bool> ConfirmWithBackupChoice(const Inventory& inventory) = 0;
};

enum class ApplyOutcome { NothingPending, Cancelled, Applied };

// The whole Apply command: nothing pending is said so; otherwise the confirmation, the engine, and a
// reload of the inventory. Entries that could not be changed are reported to the user. A platform error
// leaves the marks and propagates.
ApplyOutcome ApplyChanges(Inventory& inventory, PlatformServices services, ApplyConfirmation& confirmation,
                          RatingSource& ratings, IconSink& icons, bool rememberChoice = true,
                          ApplyReport* report = nullptr);

inline constexpr std::string_view kNothingPendingMessage = "There is no changes in the startup list.";

} // namespace qb
