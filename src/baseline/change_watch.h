#pragma once

#include "backup/saved_entry.h"
#include "changes/apply_engine.h"
#include "inventory/startup_item.h"
#include "platform/platform_services.h"

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

// The file, in the backup folder, that keeps the startup setting as the user last accepted it.
inline constexpr std::string_view kAcceptedSettingFile = "Accepted Setting.qbk";

// Tells the user what changed behind their back. It keeps the startup setting as the user last accepted it,
// in a file of the backup format of its own (not in the backup index), and after every load marks each
// loaded entry that differs from it: new, returned or changed. The file is made at the first run, takes
// the entries the user changes through the tool, and takes the whole system when the user accepts the
// marks; so a mark stays until the user has seen and accepted it. It is written whole or not at all; one
// that is missing, damaged or cannot be written means no earlier setting, never an error.
class ChangeWatch {
public:
    // The file in the tool's backup folder.
    explicit ChangeWatch(PlatformServices services);
    ChangeWatch(PlatformServices services, std::string path);

    // After every load: marks the loaded entries. A twin copy this load removed (the program put its value
    // back after the user disabled it) is written down at once, since no later load can see it. At the
    // first run the system as loaded is kept and nothing is marked.
    void Loaded(Inventory& inventory);
    // Before an apply: which entries its pending changes touch.
    void Applying(const Inventory& inventory);
    // After an apply and its reload: the touched entries are kept as they now are, except those the apply
    // could not change; then the marks as after any load.
    void Applied(Inventory& inventory, const std::vector<NotChangedEntry>& notChanged);
    // After the tool changed entries outside an apply (a start that finished or rolled back an apply cut off
    // earlier): the entries that differ between the load before and the load after are kept as they now
    // are, so that the tool's own doing is not marked as done behind the user's back. Marks nothing.
    void Recovered(const Inventory& before, const Inventory& after);
    // The user has seen the marks: the system as loaded is kept, and the marks clear.
    void Accept(Inventory& inventory);

    const std::string& Path() const { return path_; }
    // The entries of the kept setting that the last load found no more (gone with their name and place),
    // in the setting's order: nothing marks them in the list, since no row holds them.
    const std::vector<SavedEntry>& Removed() const { return removed_; }

private:
    struct Kept {
        SavedEntry entry;
        bool returned = false; // a load found the program's value back in the run key and removed the twin
    };

    // Keeps the touched entries as the inventory now holds them; false when there is no setting to update.
    bool Keep(const Inventory& inventory, const std::set<std::string>& touched, std::vector<Kept>& updated);
    // The kept setting; false when there is none (missing or damaged).
    bool Read(std::vector<Kept>& kept);
    void Write(const std::vector<Kept>& kept);
    // Marks the loaded entries against the kept setting and finds those it holds that are gone.
    void Compare(Inventory& inventory, const std::vector<Kept>& kept);
    // Writes down, in the kept setting, the twin copies the last load removed of entries the user had
    // disabled; true when it changed.
    static bool RecordReturns(const Inventory& inventory, std::vector<Kept>& kept);

    PlatformServices services_;
    std::string path_;
    std::set<std::string> touched_; // keys of the entries the coming apply changes
    std::vector<SavedEntry> removed_;
};

// How many loaded entries carry each mark, and how many entries of the kept setting are gone.
struct ChangeCounts {
    int newEntries = 0;
    int returned = 0;
    int changed = 0;
    int removed = 0;

    // The entries the list marks.
    int marked() const { return newEntries + returned + changed; }
    int total() const { return marked() + removed; }
};

ChangeCounts CountChangeMarks(const Inventory& inventory);
ChangeCounts CountChanges(const Inventory& inventory, const ChangeWatch& watch);

} // namespace qb
