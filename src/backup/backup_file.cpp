#include "backup/backup_file.h"

#include "inventory/command_line.h"
#include "inventory/shortcut_names.h"
#include "inventory/startup_location.h"
#include "inventory/startup_scan.h"
#include "knowledge/ratings.h"
#include "platform/platform_error.h"
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

} // namespace

std::string FormatCreateTime(const LocalTime& time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", time.year, time.month, time.day,
                  time.hour, time.minute, time.second);
    return text;
}

std::string WriteBackup(std::string_view path, const Inventory& inventory, PlatformServices services) {
    const std::string createTime = FormatCreateTime(services.clock.Now());
    const int count = static_cast<int>(inventory.LoadedItems.size());
    std::vector<ProfileEntry> entries;
    entries.reserve(3 + 5 * inventory.LoadedItems.size());
    entries.push_back(
        {std::string(kGeneral), "Description", "Backup of Startup Setting Created by Quillbrook"});
    entries.push_back({std::string(kGeneral), "Create Time", createTime});
    entries.push_back({std::string(kGeneral), std::string(kCount), std::to_string(count)});
    for (int i = 0; i < count; ++i) {
        const StartupItem& item = *inventory.LoadedItems[static_cast<std::size_t>(i)];
        const std::string section = ItemSection(i);
        entries.push_back({section, "Program Name", OneLine(item.Name)});
        entries.push_back({section, "Command Path", OneLine(item.Command)});
        entries.push_back({section, "Location", OneLine(item.Location)});
        entries.push_back({section, "Rating", std::string(RatingText(item.Rating))});
        entries.push_back({section, "Status", item.State == ItemState::Enabled ? "Enabled" : "Disabled"});
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
    for (auto& item : inventory.Items) {
        item->State = ItemState::Deleted;
    }

    const std::vector<int> numbers = ItemNumbers(services.profiles.SectionNames(path), count);
    const int rounds = static_cast<int>(numbers.size());
    std::vector<ProfileKey> keys;
    for (const int number : numbers) {
        const std::string section = ItemSection(number);
        for (const char* key : {"Status", "Program Name", "Command Path", "Location"}) {
            keys.push_back({section, key});
        }
    }
    const auto values = services.profiles.ReadValues(path, keys);
    for (int i = 0; i < rounds; ++i) {
        const auto value = [&](int k) {
            return values[static_cast<std::size_t>(4 * i + k)].value_or(std::string());
        };
        const std::string status = value(0);
        const FieldText name = value(1);
        const FieldText command = value(2);
        const FieldText location = value(3);
        const std::string target = TargetPath(command, services.system, services.files);
        const std::int32_t icon = scanner.LoadItemIcon(target);
        if (name.empty()) {
            continue;
        }
        const StartupLocation* row = FindLocation(location);
        if (row != nullptr && row->kind == LocationKind::Folder && ShortcutNameProblem(name)) {
            ++result.skippedUnsafeNames;
            continue;
        }
        StartupItem item;
        item.Rating = ratings.LookupRating(name, command);
        item.State = status == "Enabled" ? ItemState::Enabled : ItemState::Disabled;
        item.LoadedState = ItemState::Deleted;
        item.IconIndex = icon;
        item.PathValid = !target.empty();
        item.Name = name;
        item.Command = command;
        item.Location = location;
        inventory.Append(std::move(item));
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
