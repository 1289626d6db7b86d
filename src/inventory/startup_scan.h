#pragma once

#include "inventory/icon_sink.h"
#include "inventory/rating_source.h"
#include "inventory/startup_item.h"
#include "inventory/startup_location.h"
#include "platform/platform_services.h"

#include <optional>
#include <string_view>

namespace qb {

// Builds the inventory from the system: every run key with its disabled twin, both startup folders with
// their disabled folders beside the tool, in one fixed order, then the running processes. A load only
// reads, with one exception: a value found in a run key and, with data, in its twin loses the twin's copy.
class StartupScanner {
public:
    StartupScanner(Inventory& inventory, PlatformServices services, RatingSource& ratings, IconSink& icons);

    // Empties the three lists and the icons and reads every place the table reads, in its load order.
    void LoadInventory();
    // One run key and its twin: enabled entries first, then the disabled ones, each in enumeration order.
    // Values that are not strings are passed over (their twin's copy untouched), so one odd value cannot
    // hide the entries after it.
    void ScanRegistryLocation(const StartupLocation& row);
    // The shortcuts of one folder, all in the given state; files that are not links are passed over.
    void ScanShortcutFolder(std::string_view folder, std::string_view label, bool enabled);
    // One record as loaded; a shortcut's arguments go in a field of their own, so the command stays the
    // bare target.
    StartupItem& AddLoadedItem(std::string_view name, std::string_view command, std::string_view label,
                               bool enabled, std::string_view arguments = {});
    std::int32_t LoadItemIcon(std::string_view targetPath);

private:
    std::string ShellFolder(RegistryRoot hive, std::string_view valueName);
    // An entry found in its place is Disabled when Windows' own switch for it is off.
    void ReadSwitch(StartupItem& item, const StartupLocation& row);

    Inventory& inventory_;
    PlatformServices services_;
    RatingSource& ratings_;
    IconSink& icons_;
    std::optional<ProgramIcon> standardIcon_;
    bool switches_ = false; // the system keeps switches of its own (Windows 8 and later)
};

// A load with a fresh scanner.
void LoadInventory(Inventory& inventory, PlatformServices services, RatingSource& ratings, IconSink& icons);

// The name a shortcut file gives its entry: the file name with its first ".lnk" taken out. The match is
// case-sensitive, so "Tool.LNK" keeps its whole name.
std::string ShortcutEntryName(std::string_view fileName);

} // namespace qb
