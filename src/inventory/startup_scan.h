#pragma once

#include "inventory/icon_sink.h"
#include "inventory/rating_source.h"
#include "inventory/startup_item.h"
#include "inventory/startup_location.h"
#include "platform/platform_services.h"

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

// Whether a load may tidy what it finds. A value back in its run key with the very command the user's
// disabled copy in the twin holds (the program put it back) makes that copy a leftover: a load that may
// tidy removes it, a read-only one (list, compare, backup) leaves the system untouched and lists the entry
// once all the same, as the next tidying load will leave it.
enum class LoadAccess { MayTidy, ReadOnly };

// Builds the inventory from the system: every run key with its disabled twin, both startup folders with
// their disabled folders beside the tool, in one fixed order, then the running processes. A load only
// reads, with one exception (see LoadAccess). A twin copy that holds another command than the run key's
// value is never removed: both are listed, the user's kept copy and what is there now.
class StartupScanner {
public:
    StartupScanner(Inventory& inventory, PlatformServices services, RatingSource& ratings, IconSink& icons,
                   LoadAccess access = LoadAccess::MayTidy);

    // Empties the three lists and the icons and reads every place the table reads, in its load order.
    void LoadInventory();
    // One run key and its twin: enabled entries first, then the disabled ones, each in enumeration order.
    // Values that are not strings are passed over (their twin's copy untouched), so one odd value cannot
    // hide the entries after it. At a place that keeps sections (RunOnceEx), each side's values directly in
    // the key (less its settings) come first, then its sections' commands in the order Windows runs them.
    void ScanRegistryLocation(const StartupLocation& row);
    // Every file of one folder that Windows would open at logon, all in the given state: shortcuts by their
    // target, other files (and shortcuts that cannot be read, which are invalid) by their path in the
    // startup folder, where Windows opens them.
    void ScanStartupFolder(std::string_view folder, std::string_view label, bool enabled,
                           std::string_view startupFolder);
    // One record as loaded; a shortcut's arguments go in a field of their own, so the command stays the
    // bare target.
    StartupItem& AddLoadedItem(std::string_view name, std::string_view command, std::string_view label,
                               bool enabled, std::string_view arguments = {});
    std::int32_t LoadItemIcon(std::string_view targetPath);

private:
    // The names of a key's values that are entries: a section's (given its name) without its title, sorted
    // as Windows runs them; at a place that keeps sections, the key's own without its settings.
    std::vector<std::string> ValuesListed(const StartupLocation& row, RegistryKey& key,
                                          const std::optional<std::string>& section);
    // The enabled entries of a run key (or of one of its sections), with the twin's matching key to tidy; a
    // read-only load notes in standIns the twin copies it leaves.
    void ScanEnabledValues(const StartupLocation& row, RegistryKey* run, RegistryKey* twin,
                           const std::optional<std::string>& section, std::set<std::string>& standIns);
    void ScanDisabledValues(const StartupLocation& row, RegistryKey* twin,
                            const std::optional<std::string>& section, const std::set<std::string>& standIns);
    StartupItem& AddFolderItem(const std::string& path, const std::string& opened, std::string_view fileName,
                               std::string_view label, bool enabled);
    // An entry found in its place is Disabled when Windows' own switch for it is off.
    void ReadSwitch(StartupItem& item, const StartupLocation& row);

    Inventory& inventory_;
    PlatformServices services_;
    RatingSource& ratings_;
    IconSink& icons_;
    std::optional<ProgramIcon> standardIcon_;
    bool switches_ = false; // the system keeps switches of its own (Windows 8 and later)
    LoadAccess access_;
};

// A load with a fresh scanner.
void LoadInventory(Inventory& inventory, PlatformServices services, RatingSource& ratings, IconSink& icons,
                   LoadAccess access = LoadAccess::MayTidy);

// The name a shortcut file gives its entry: the file name without its ".lnk" ending, in any letters, as
// Explorer shows it ("Tool.LNK" is "Tool").
std::string ShortcutEntryName(std::string_view fileName);
// The name a load gives the shortcut that a backup or the accepted setting of an older version recorded:
// those kept an ending in capitals ("Tool.LNK"), so that the entry is still the same entry.
std::string StoredShortcutName(std::string_view name);

// Whether Windows takes a file of a startup folder for a shortcut: its name ends in ".lnk", in any case.
bool IsShortcutFileName(std::string_view fileName);

// The name a file of a startup folder gives its entry, as Explorer shows it: a shortcut's as above; an
// Internet shortcut or program-information file without its ending, which Explorer never shows; any other
// file whole, ending and all, since the ending says how Windows opens it.
std::string StartupFileEntryName(std::string_view fileName);

} // namespace qb
