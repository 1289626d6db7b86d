#include "backup/backup_file.h"

#include "inventory/command_line.h"
#include "inventory/shortcut_names.h"
#include "inventory/startup_location.h"
#include "inventory/startup_scan.h"
#include "knowledge/ratings.h"
#include "platform/platform_error.h"
#include "platform/profile_text.h"
#include "platform/text.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace qb {

namespace {

constexpr std::string_view kGeneral = "General Info";
constexpr std::string_view kCount = "Number of Startup Items";

std::string ItemSection(int position) {
    return "Item " + std::to_string(position);
}

// A value line ends at its line break; a text holding one would start a line of its own in the file, so
// CR and LF are written as blanks.
std::string OneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return out;
}

// The numbers below `count` of the "Item <n>" sections the file holds, in ascending order. Only sections
// that exist are read, so a huge stored count, or one far-off section such as "Item 474836476", costs no
// more rounds than the file has sections.
std::vector<int> ItemNumbers(const std::vector<std::string>& sections, int count) {
    std::vector<int> numbers;
    for (const auto& name : sections) {
        // Read as the profile functions find "Item <n>": without regard to case, the number as written.
        if (name.size() <= 5 || !EqualsIgnoreCase(name.substr(0, 5), "Item ")) {
            continue;
        }
        int number = 0;
        const char* first = name.data() + 5;
        const char* last = name.data() + name.size();
        const auto result = std::from_chars(first, last, number);
        if (result.ec == std::errc() && result.ptr == last && number >= 0 && number < count &&
            std::to_string(number) == name.substr(5)) {
            numbers.push_back(number);
        }
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

constexpr std::string_view kArguments = "Arguments";

bool IsFolderRow(std::string_view label) {
    const StartupLocation* row = FindLocation(label);
    return row != nullptr && row->kind == LocationKind::Folder;
}

bool IsBlankOnly(std::string_view text) {
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

// A text as the file holds it: on one line, and quoted again where the profile reader would change it.
std::string StoredText(std::string_view text) {
    return ProfileQuoted(OneLine(text));
}

// A command of blanks only is how a record holds a value with empty data; written bare it reads back
// empty, which is what the value held, so a restore writes the value as it was.
std::string StoredCommand(std::string_view command) {
    return IsBlankOnly(command) ? std::string(command) : StoredText(command);
}

// Whether a command read from a backup is the one a loaded record holds. Empty data loads as " " and
// comes back from a file as "".
bool SameCommand(std::string_view loaded, std::string_view stored) {
    return loaded == stored || (IsBlankOnly(loaded) && IsBlankOnly(stored));
}

// The record as the system held it at the load: the original of an edited entry, the record itself
// otherwise. The state is the record's LoadedState, which an original shares.
const StartupItem& AsLoaded(const StartupItem& item, const Inventory& inventory) {
    const std::size_t kept = std::min(inventory.EditedRecords.size(), inventory.EditedOriginals.size());
    for (std::size_t i = 0; i < kept; ++i) {
        if (inventory.EditedRecords[i] == &item) {
            return *inventory.EditedOriginals[i];
        }
    }
    return item;
}

} // namespace

std::string FormatCreateTime(const LocalTime& time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", time.year, time.month, time.day,
                  time.hour, time.minute, time.second);
    return text;
}

std::string WriteBackup(std::string_view path, const Inventory& inventory, PlatformServices services,
                        BackupContent content) {
    const std::string createTime = FormatCreateTime(services.clock.Now());
    const int count = static_cast<int>(inventory.LoadedItems.size());
    std::vector<ProfileEntry> entries;
    entries.reserve(3 + 6 * inventory.LoadedItems.size());
    entries.push_back(
        {std::string(kGeneral), "Description", "Backup of Startup Setting Created by Quillbrook"});
    entries.push_back({std::string(kGeneral), "Create Time", createTime});
    entries.push_back({std::string(kGeneral), std::string(kCount), std::to_string(count)});
    for (int i = 0; i < count; ++i) {
        const StartupItem& held = *inventory.LoadedItems[static_cast<std::size_t>(i)];
        const bool asLoaded = content == BackupContent::AsLoaded;
        const StartupItem& item = asLoaded ? AsLoaded(held, inventory) : held;
        const ItemState state = asLoaded ? held.LoadedState : held.State;
        const std::string section = ItemSection(i);
        entries.push_back({section, "Program Name", StoredText(item.Name)});
        entries.push_back({section, "Command Path", StoredCommand(item.Command)});
        entries.push_back({section, "Location", StoredText(item.Location)});
        entries.push_back({section, "Rating", std::string(RatingText(item.Rating))});
        entries.push_back({section, "Status", state == ItemState::Enabled ? "Enabled" : "Disabled"});
        if (IsFolderRow(item.Location)) {
            // Written for every shortcut, empty too: a file written over keeps the keys not written now,
            // and an older section's arguments must not come back with another shortcut.
            entries.push_back({section, std::string(kArguments), StoredText(item.Arguments)});
        }
    }
    services.profiles.WriteValues(path, entries);

    const auto key = services.registry.OpenForWriting(RegistryRoot::CurrentUser,
                                                      std::string(kBackupIndexKey) + "\\" + createTime, true);
    if (!key) {
        throw PlatformError::SetDataFailed("FilePath");
    }
    key->WriteString("FilePath", path);
    key->WriteInteger("Count", static_cast<std::uint32_t>(count));
    return createTime;
}

LoadBackupResult LoadBackup(std::string_view path, Inventory& inventory, PlatformServices services,
                            RatingSource& ratings, IconSink& icons) {
    LoadBackupResult result;
    const int count = services.profiles.ReadInteger(path, kGeneral, kCount, -1);
    if (count == -1) {
        services.dialogs.ShowMessage(kBackupFormatError, MessageKind::Information, MessageButtons::Ok);
        return result;
    }
    StartupScanner scanner(inventory, services, ratings, icons);
    scanner.LoadInventory();

    // Read in this order; older files have no arguments, which then read as none.
    constexpr std::string_view kItemKeys[] = {"Status", "Program Name", "Command Path", "Location",
                                              kArguments};
    constexpr std::size_t kKeys = std::size(kItemKeys);
    const std::vector<int> numbers = ItemNumbers(services.profiles.SectionNames(path), count);
    std::vector<ProfileKey> keys;
    for (const int number : numbers) {
        const std::string section = ItemSection(number);
        for (const std::string_view key : kItemKeys) {
            keys.push_back({section, std::string(key)});
        }
    }
    const auto values = services.profiles.ReadValues(path, keys);
    // A loaded entry that the backup holds as it is stays untouched; each backup entry accounts for one.
    std::vector<bool> kept(inventory.Items.size(), false);
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const auto value = [&](std::size_t k) -> const std::optional<std::string>& {
            return values[kKeys * i + k];
        };
        const std::string status = value(0).value_or(std::string());
        const FieldText name = value(1).value_or(std::string());
        const FieldText command = value(2).value_or(std::string());
        const FieldText location = value(3).value_or(std::string());
        const StartupLocation* row = FindLocation(location);
        const bool folderRow = row != nullptr && row->kind == LocationKind::Folder;
        // Only a shortcut keeps arguments apart; for a run key's value they are part of the command.
        const FieldText arguments = folderRow ? value(4).value_or(std::string()) : std::string();
        const ItemState state = status == "Enabled" ? ItemState::Enabled : ItemState::Disabled;
        // A run key's unnamed default value is written with an empty name; any other entry needs one.
        const bool defaultValue =
            name.empty() && value(1).has_value() && row != nullptr && row->kind == LocationKind::Registry;
        if (name.empty() && !defaultValue) {
            continue;
        }
        if (folderRow && ShortcutNameProblem(name)) {
            ++result.skippedUnsafeNames;
            continue;
        }
        bool onSystem = false;
        for (std::size_t k = 0; k < kept.size() && !onSystem; ++k) {
            const StartupItem& loaded = *inventory.Items[k];
            if (!kept[k] && loaded.LoadedState == state && loaded.Name == name.str() &&
                loaded.Location == location.str() && SameCommand(loaded.Command, command) &&
                loaded.Arguments == arguments.str()) {
                kept[k] = true;
                onSystem = true;
            }
        }
        if (onSystem) {
            continue;
        }
        const std::string target = TargetPath(command, services.system, services.files);
        StartupItem item;
        item.Rating = ratings.LookupRating(name, command);
        item.State = state;
        item.LoadedState = ItemState::Deleted;
        item.IconIndex = scanner.LoadItemIcon(target);
        item.PathValid = !target.empty();
        item.Name = name;
        item.Command = command;
        item.Location = location;
        item.Arguments = arguments;
        inventory.Append(std::move(item));
    }
    for (std::size_t k = 0; k < kept.size(); ++k) {
        if (!kept[k]) {
            inventory.Items[k]->State = ItemState::Deleted;
        }
    }
    if (result.skippedUnsafeNames > 0) {
        services.dialogs.ShowMessage(std::to_string(result.skippedUnsafeNames) +
                                         (result.skippedUnsafeNames == 1 ? " entry of the backup was"
                                                                         : " entries of the backup were") +
                                         " not loaded: their names cannot be file names in a startup folder.",
                                     MessageKind::Information, MessageButtons::Ok);
    }
    result.loaded = true;
    return result;
}

} // namespace qb
