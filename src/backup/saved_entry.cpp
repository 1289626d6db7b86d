#include "backup/saved_entry.h"

#include "inventory/startup_location.h"
#include "inventory/startup_scan.h"
#include "knowledge/ratings.h"
#include "platform/profile_text.h"
#include "platform/text.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <utility>

namespace qb {

namespace {

constexpr std::string_view kStatus = "Status";
constexpr std::string_view kName = "Program Name";
constexpr std::string_view kCommand = "Command Path";
constexpr std::string_view kLocation = "Location";
constexpr std::string_view kRating = "Rating";
constexpr std::string_view kArguments = "Arguments";
// The whole name and command, where "Program Name" and "Command Path" cannot hold them: over 259 bytes, or
// with line breaks. Readers that do not know these keys pass over them and read the keys they know. Such
// texts are kept rather than the entries refused: a backup that left an entry out would have its restore
// delete it, and the accepted setting would mark it new at every load.
constexpr std::string_view kWholeName = "Whole Program Name";
constexpr std::string_view kWholeCommand = "Whole Command Path";
// A startup folder's file that is no shortcut (or one Windows cannot read): its file name, so that a restore
// knows it cannot make it again. Shortcuts, which a restore can make, have none.
constexpr std::string_view kFileName = "File Name";

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

// What "Program Name" and "Command Path" keep of a text, as older versions read it: 259 bytes on one line.
std::string ShortText(std::string_view text) {
    return OneLine(CutAtCharBoundary(text, FieldText::kLimit));
}

// The whole text on one line: '%', CR and LF as %25, %0D and %0A, after the text's length in bytes. The
// profile reader cuts long values (2047 characters); a text it cut no longer has its length, and is not
// taken for whole.
std::string WholeText(std::string_view text) {
    std::string out = std::to_string(text.size()) + ":";
    for (const char c : text) {
        switch (c) {
        case '%':
            out += "%25";
            break;
        case '\r':
            out += "%0D";
            break;
        case '\n':
            out += "%0A";
            break;
        default:
            out += c;
        }
    }
    return ProfileQuoted(out);
}

std::optional<std::string> FromWholeText(std::string_view stored) {
    std::size_t length = 0;
    const auto [end, error] = std::from_chars(stored.data(), stored.data() + stored.size(), length);
    if (error != std::errc() || end == stored.data() + stored.size() || *end != ':') {
        return std::nullopt;
    }
    stored.remove_prefix(static_cast<std::size_t>(end - stored.data()) + 1);
    std::string text;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const std::string_view code = stored.substr(i, 3);
        if (EqualsIgnoreCase(code, "%25") || EqualsIgnoreCase(code, "%0D") || EqualsIgnoreCase(code, "%0A")) {
            text += code[2] == '5' ? '%' : (code[2] == 'D' || code[2] == 'd') ? '\r' : '\n';
            i += 2;
        } else {
            text += stored[i];
        }
    }
    if (text.size() != length) {
        return std::nullopt;
    }
    return text;
}

// The whole text of a key pair: the whole key's, when it is there whole and agrees with the short key
// (a file written over keeps the keys not written now, so an older section's whole text may be left
// behind); else the short key's, cut where a record's field cuts it, as it always was.
std::string WholeOrShort(const std::string& shortText, const std::optional<std::string>& whole) {
    if (whole) {
        if (auto text = FromWholeText(*whole); text && ShortText(*text) == shortText) {
            return std::move(*text);
        }
    }
    return CutAtCharBoundary(shortText, FieldText::kLimit);
}

// Whether `copy` is what a field or a file of an older version kept of the longer `whole`.
bool CutCopyOf(std::string_view copy, std::string_view whole, bool ignoreCase) {
    if (whole.size() <= FieldText::kLimit || copy.size() > FieldText::kLimit) {
        return false;
    }
    const std::string cut = CutAtCharBoundary(whole, FieldText::kLimit);
    return ignoreCase ? EqualsIgnoreCase(cut, copy) : cut == copy;
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

Rating RatingFromText(std::string_view text) {
    for (const Rating rating : {Rating::Required, Rating::UserChoice, Rating::NotRequired, Rating::Harmful}) {
        if (text == RatingText(rating)) {
            return rating;
        }
    }
    return Rating::Unknown;
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

bool SameCommand(std::string_view a, std::string_view b) {
    return a == b || (IsBlankOnly(a) && IsBlankOnly(b)) || CutCopyOf(a, b, false) || CutCopyOf(b, a, false);
}

bool SameName(std::string_view a, std::string_view b) {
    return EqualsIgnoreCase(a, b) || CutCopyOf(a, b, true) || CutCopyOf(b, a, true);
}

std::string ItemSection(int position) {
    return "Item " + std::to_string(position);
}

StartupItem RecordOf(const SavedEntry& entry) {
    StartupItem record;
    SetWholeName(record, entry.name);
    SetWholeCommand(record, entry.command);
    record.Arguments = entry.arguments;
    record.Location = entry.location;
    record.State = entry.state;
    record.Rating = entry.rating;
    return record;
}

std::vector<SavedEntry> SavedEntries(const Inventory& inventory, BackupContent content) {
    std::vector<SavedEntry> entries;
    entries.reserve(inventory.LoadedItems.size());
    for (const StartupItem* held : inventory.LoadedItems) {
        const bool asLoaded = content == BackupContent::AsLoaded;
        const StartupItem& item = asLoaded ? AsLoaded(*held, inventory) : *held;
        const ItemState state = asLoaded ? held->LoadedState : held->State;
        entries.push_back({WholeNameOf(item), WholeCommandOf(item), item.Location, item.Arguments,
                           state == ItemState::Enabled ? ItemState::Enabled : ItemState::Disabled,
                           item.Rating});
        if (item.File != FolderFile::Shortcut) {
            entries.back().fileName = item.SystemName;
        }
    }
    return entries;
}

std::vector<ProfileEntry> BackupKeys(const std::vector<SavedEntry>& entries, std::string_view createTime) {
    std::vector<ProfileEntry> keys;
    keys.reserve(3 + 6 * entries.size());
    keys.push_back(
        {std::string(kGeneralSection), "Description", "Backup of Startup Setting Created by Quillbrook"});
    keys.push_back({std::string(kGeneralSection), "Create Time", std::string(createTime)});
    keys.push_back(
        {std::string(kGeneralSection), std::string(kEntryCountKey), std::to_string(entries.size())});
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const SavedEntry& entry = entries[i];
        const std::string section = ItemSection(static_cast<int>(i));
        keys.push_back({section, std::string(kName), StoredText(ShortText(entry.name))});
        keys.push_back({section, std::string(kCommand), StoredCommand(ShortText(entry.command))});
        keys.push_back({section, std::string(kLocation), StoredText(entry.location)});
        keys.push_back({section, std::string(kRating), std::string(RatingText(entry.rating))});
        keys.push_back(
            {section, std::string(kStatus), entry.state == ItemState::Enabled ? "Enabled" : "Disabled"});
        if (HoldsFiles(entry.location)) {
            // Written for every shortcut, empty too: a file written over keeps the keys not written now,
            // and an older section's arguments must not come back with another shortcut.
            keys.push_back({section, std::string(kArguments), StoredText(entry.arguments)});
        }
        if (!entry.fileName.empty()) {
            keys.push_back({section, std::string(kFileName), StoredText(entry.fileName)});
        }
        if (ShortText(entry.name) != entry.name) {
            keys.push_back({section, std::string(kWholeName), WholeText(entry.name)});
        }
        if (ShortText(entry.command) != entry.command) {
            keys.push_back({section, std::string(kWholeCommand), WholeText(entry.command)});
        }
    }
    return keys;
}

std::vector<ProfileEntry> VoidedWholeTexts(std::string_view path, ProfileFiles& profiles,
                                           const std::vector<ProfileEntry>& keys) {
    std::vector<ProfileKey> asked;
    for (const ProfileEntry& key : keys) {
        if (key.key == kName) {
            asked.push_back({key.section, std::string(kWholeName)});
            asked.push_back({key.section, std::string(kWholeCommand)});
            asked.push_back({key.section, std::string(kFileName)});
        }
    }
    std::set<std::pair<std::string, std::string>> written;
    for (const ProfileEntry& key : keys) {
        if (key.key == kWholeName || key.key == kWholeCommand || key.key == kFileName) {
            written.emplace(key.section, key.key);
        }
    }
    std::vector<ProfileEntry> voided;
    const auto found = profiles.ReadValues(path, asked);
    for (std::size_t i = 0; i < asked.size(); ++i) {
        if (found[i] && !found[i]->empty() && !written.contains({asked[i].section, asked[i].key})) {
            voided.push_back({asked[i].section, asked[i].key, ""}); // empty: no whole text
        }
    }
    return voided;
}

std::optional<std::vector<SavedEntry>> ReadBackupEntries(std::string_view path, ProfileFiles& profiles) {
    const int count = profiles.ReadInteger(path, kGeneralSection, kEntryCountKey, -1);
    if (count == -1) {
        return std::nullopt;
    }
    // Read in this order; older files have no arguments, which then read as none.
    constexpr std::string_view kItemKeys[] = {kStatus, kName,      kCommand,      kLocation, kArguments,
                                              kRating, kWholeName, kWholeCommand, kFileName};
    constexpr std::size_t kKeys = std::size(kItemKeys);
    const std::vector<int> numbers = ItemNumbers(profiles.SectionNames(path), count);
    std::vector<ProfileKey> keys;
    keys.reserve(kKeys * numbers.size());
    for (const int number : numbers) {
        const std::string section = ItemSection(number);
        for (const std::string_view key : kItemKeys) {
            keys.push_back({section, std::string(key)});
        }
    }
    const auto values = profiles.ReadValues(path, keys);
    std::vector<SavedEntry> entries;
    entries.reserve(numbers.size());
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const auto value = [&](std::size_t k) -> const std::optional<std::string>& {
            return values[kKeys * i + k];
        };
        SavedEntry entry;
        entry.section = numbers[i];
        entry.state = value(0).value_or(std::string()) == "Enabled" ? ItemState::Enabled : ItemState::Disabled;
        entry.name = WholeOrShort(value(1).value_or(std::string()), value(6));
        entry.command = WholeOrShort(value(2).value_or(std::string()), value(7));
        entry.location = value(3).value_or(std::string());
        // A label as a user may have written it, in other letters, names its place; one that names no place
        // stays as it is, for the restore to refuse.
        const StartupLocation* row = FindLocationAsWritten(entry.location);
        if (row != nullptr) {
            entry.location = row->label;
        }
        // Only a shortcut keeps arguments apart; for a run key's value they are part of the command.
        if (row != nullptr && row->kind == LocationKind::Folder) {
            entry.arguments = value(4).value_or(std::string());
            entry.fileName = value(8).value_or(std::string());
            if (entry.fileName.empty()) {
                entry.name = StoredShortcutName(entry.name);
            }
        }
        entry.rating = RatingFromText(value(5).value_or(std::string()));
        // A run key's unnamed default value is written with an empty name; any other entry needs one.
        const bool defaultValue =
            entry.name.empty() && value(1).has_value() && row != nullptr && row->kind == LocationKind::Registry;
        if (entry.name.empty() && !defaultValue) {
            continue;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace qb
