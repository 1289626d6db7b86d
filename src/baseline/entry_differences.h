#pragma once

#include "backup/saved_entry.h"

#include <string>
#include <string_view>
#include <vector>

namespace qb {

// Two lists of entries (a backup and the system, say) set side by side. An entry is the same entry in
// both when its place and name agree, the name without regard to case as Windows compares it (SameName);
// it has changed when its command, arguments or state differ. A restore keeps exactly the entries this
// finds the same, so what compare calls equal a restore leaves alone.
struct ChangedEntry {
    SavedEntry before;
    SavedEntry now;
};

struct EntryDifferences {
    std::vector<SavedEntry> added;   // in `now` only, in its order
    std::vector<SavedEntry> removed; // in `before` only, in its order
    std::vector<ChangedEntry> changed;

    bool empty() const { return added.empty() && removed.empty() && changed.empty(); }
};

EntryDifferences CompareEntries(const std::vector<SavedEntry>& before, const std::vector<SavedEntry>& now);

// What brings two entries together: the place and the name's first 259 bytes in Windows' upper case.
std::string EntryKey(std::string_view name, std::string_view location);

// Same command (an empty one and blanks are one), same arguments and same state.
bool SameSetting(const SavedEntry& a, const SavedEntry& b);

} // namespace qb
