#pragma once

#include "changes/place_store.h"
#include "inventory/icon_sink.h"
#include "inventory/rating_source.h"
#include "inventory/startup_item.h"
#include "inventory/startup_location.h"
#include "platform/platform_services.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace qb {

// An entry an apply could not change, and why: it is still where it was.
struct NotChangedEntry {
    std::string name;
    std::string location;
    std::string reason;  // "access denied", "not found where it was loaded from", ...
    int record = -1;     // the position in Items (before the reload) of the record whose change this was
    bool partly = false; // the entry was changed, but not all of it: Windows' own switch of it stays
    friend bool operator==(const NotChangedEntry&, const NotChangedEntry&) = default;
};

// "Name (Location): reason", the unnamed default value as "(Default)".
std::string DescribeNotChanged(const NotChangedEntry& entry);

// The warning after an apply: the entries left as they were, then those changed only in part.
std::string NotChangedMessage(const std::vector<NotChangedEntry>& entries);

// What an apply did beyond its marks.
struct ApplyReport {
    std::vector<NotChangedEntry> notChanged;
    std::string autoBackupPath; // "" when no automatic backup was made
};

// The only code that changes the system's startup setting. It writes every pending change of the inventory
// to the run keys and the startup folders, from the marks of the records and the originals of edited ones.
//
// It never loses an entry and what it reports is true:
// - every removal (the old versions of edited entries, the deleted entries) comes before any write, so a
//   name freed in an apply can be taken in the same apply;
// - a move between two places writes the new place before it removes the old one, and takes the copy back
//   when the old one cannot be removed; it moves the stored value itself, never the record's text, which
//   may have been cut to fit;
// - an edited entry whose old version cannot be removed is not written anew, and one whose new version
//   cannot be written gets its old version back;
// - nothing is written over a value or shortcut of the same name (names compare without regard to case,
//   as Windows compares them), and nothing is made or removed outside its folder.
// Loaded entries are found on the system under their own names (StartupItem::SystemName).
class ApplyEngine {
public:
    ApplyEngine(Inventory& inventory, PlatformServices services);

    // The disabled-shortcut folders, the stored backup choice (when asked to remember it) and the automatic
    // backup (written and indexed first), then the removals and the writes as one transaction
    // (ApplyTransaction): a platform error (a value that cannot be written, a registry that cannot be stored)
    // rolls every change back and propagates, the marks stay, and a second apply does the work; an apply cut
    // off by a kill is finished or rolled back by the next start. Each change acts only on an entry still
    // as it was loaded, and only where its new name is free; otherwise that entry is not changed, is
    // reported, and the rest goes on.
    ApplyReport Apply(bool backupFirst, bool rememberChoice);
    // What the last Apply said so far: also after it ended with the platform's error.
    const ApplyReport& Report() const { return report_; }

private:
    // The removals and the writes, through the transaction's services.
    void ApplySteps();

    // What a removal took away, so that it can be put back.
    struct Removed : TakenCopy {
        const StartupItem* original = nullptr;    // what was removed: an edited entry's original, or a
                                                  // deleted entry
        const StartupItem* replacement = nullptr; // the record whose write takes its place, if any
        bool done = false;                        // removed from the system
        bool failed = false;                      // could not be removed: it stays, and so does its record
        bool putBack = false;                     // its replacement was not written, so it is back
    };

    // Takes away what the system holds of an entry in that state, under its name there. On failure the
    // reason is in *why.
    Removal RemoveEntry(const StartupItem& item, ItemState state, std::string_view systemName, Removed* saved,
                        std::string* why);
    // Puts an entry on the system in that state under the name given; realValue, when given, is the stored
    // value itself, its whole text and its type (the record's text may be cut). False, with the reason,
    // when nothing was written. A folder row's entry written in place of a removed shortcut (an edit's, a
    // restore's) is that file: copied whole when its program and arguments stay, else with only those
    // changed.
    bool WriteEntry(const StartupItem& item, ItemState state, std::string_view systemName,
                    const std::optional<RegistryValue>& realValue, std::string* why,
                    const Removed* replaced = nullptr);
    bool Move(const StartupItem& item, ItemState to, std::string* why);
    // Windows' own switch of a loaded entry: turned on where the entry is (false, with the reason, when it
    // could not be), or taken away with a deleted, renamed or moved entry (a switch that stays is told as a
    // change made in part: what was done, for the record given). Both do nothing where the system has no
    // switches.
    bool SwitchOn(const StartupItem& item, std::string* why);
    void RemoveSwitch(const StartupItem& item, std::string_view done = "deleted",
                      const StartupItem* record = nullptr);
    void PutBack(const Removed& removed);
    // The entry added at the same place under the same name as a deleted one (a restore holds an entry of
    // the system so: deleted as it is, added as it was saved); nullptr when there is none. Looked up in
    // addedByName_, made at the start of the apply: a restore of thousands of entries asks it thousands of
    // times.
    const StartupItem* AddedInPlaceOf(const StartupItem& deleted) const;
    void IndexAddedEntries();

    // Reports the entry as shown (an edited entry's original, say) for the change of record.
    void NotChanged(const StartupItem& shown, std::string reason, const StartupItem* record = nullptr);
    void ChangedInPart(const StartupItem& item, std::string reason);

    Inventory& inventory_;
    PlatformServices services_;
    ApplyReport report_;
    // Place and upper-cased name of each added entry -> the first such entry in list order.
    std::unordered_map<std::string, const StartupItem*> addedByName_;
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
// leaves the marks and propagates, after the report (when asked for) takes what the engine said until then.
ApplyOutcome ApplyChanges(Inventory& inventory, PlatformServices services, ApplyConfirmation& confirmation,
                          RatingSource& ratings, IconSink& icons, bool rememberChoice = true,
                          ApplyReport* report = nullptr);

inline constexpr std::string_view kNothingPendingMessage = "There is no changes in the startup list.";

} // namespace qb
