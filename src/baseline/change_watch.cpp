#include "baseline/change_watch.h"

#include "backup/backup_file.h"
#include "baseline/entry_differences.h"
#include "changes/pending_changes.h"
#include "inventory/row_texts.h"
#include "platform/file_system.h"
#include "platform/profile_text.h"

#include <algorithm>
#include <unordered_map>

namespace qb {

namespace {

constexpr std::string_view kReturned = "Returned";

SavedEntry AsSaved(const StartupItem& item) {
    return {WholeNameOf(item),
            WholeCommandOf(item),
            item.Location,
            item.Arguments,
            item.LoadedState == ItemState::Enabled ? ItemState::Enabled : ItemState::Disabled,
            item.Rating};
}

std::string KeyOf(const SavedEntry& entry) {
    return EntryKey(entry.name, entry.location);
}

// The loaded records side by side with the kept setting. Those that agree in everything with a kept entry
// pair up first, so a second copy of a name is not taken for a change of the first.
template <typename Kept> void MarkChanges(const Inventory& inventory, const std::vector<Kept>& kept) {
    std::unordered_multimap<std::string, std::size_t> byKey;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        byKey.emplace(KeyOf(kept[i].entry), i);
    }
    std::vector<bool> paired(kept.size(), false);
    std::vector<StartupItem*> unpaired;
    for (StartupItem* item : inventory.LoadedItems) {
        item->Change = ChangeMark::None;
        item->AcceptedCommand.clear();
        const SavedEntry now = AsSaved(*item);
        const auto [first, last] = byKey.equal_range(KeyOf(now));
        bool same = false;
        for (auto it = first; it != last && !same; ++it) {
            if (!paired[it->second] && SameSetting(kept[it->second].entry, now)) {
                paired[it->second] = true;
                same = true;
            }
        }
        if (!same) {
            unpaired.push_back(item);
        }
    }
    for (StartupItem* item : unpaired) {
        const SavedEntry now = AsSaved(*item);
        const auto [first, last] = byKey.equal_range(KeyOf(now));
        if (first == last) {
            item->Change = ChangeMark::New;
            continue;
        }
        bool wasDisabled = false;
        const SavedEntry* otherCommand = nullptr; // the first kept entry of the name with another command
        for (auto it = first; it != last; ++it) {
            const SavedEntry& before = kept[it->second].entry;
            wasDisabled = wasDisabled || before.state == ItemState::Disabled;
            if (otherCommand == nullptr &&
                (!SameCommand(before.command, now.command) || before.arguments != now.arguments)) {
                otherCommand = &before;
            }
        }
        // Back with another command than the user disabled is no return: the user's copy is kept aside and
        // something else runs under its name.
        if (wasDisabled && now.state == ItemState::Enabled && otherCommand == nullptr) {
            item->Change = ChangeMark::Returned;
        } else if (otherCommand != nullptr) {
            item->Change = ChangeMark::Changed;
            // Shown as the list shows a command: a shortcut's target with its arguments.
            item->AcceptedCommand = ShownCommand(RecordOf(*otherCommand));
        }
        // Only switched off since: the user's own doing, in Windows' settings or here. No mark.
    }
}

} // namespace

ChangeWatch::ChangeWatch(PlatformServices services)
    : ChangeWatch(services,
                  JoinPath(JoinPath(services.files.ExecutableDirectory(), "backup"), kAcceptedSettingFile)) {}

ChangeWatch::ChangeWatch(PlatformServices services, std::string path)
    : services_(services), path_(std::move(path)) {}

bool ChangeWatch::Read(std::vector<Kept>& kept) {
    kept.clear();
    // Anything the file does not hold whole is no setting: a count that does not match its entries (a
    // file cut short, or edited by hand) would otherwise mark every missing entry new.
    const int count = services_.profiles.ReadInteger(path_, kGeneralSection, kEntryCountKey, -1);
    const auto entries = count < 0 ? std::nullopt : ReadBackupEntries(path_, services_.profiles);
    if (!entries || entries->size() != static_cast<std::size_t>(count)) {
        return false;
    }
    std::vector<ProfileKey> keys;
    keys.reserve(entries->size());
    for (const SavedEntry& entry : *entries) {
        keys.push_back({ItemSection(entry.section), std::string(kReturned)});
    }
    const auto returned = services_.profiles.ReadValues(path_, keys);
    kept.reserve(entries->size());
    for (std::size_t i = 0; i < entries->size(); ++i) {
        kept.push_back({(*entries)[i], returned[i].value_or(std::string()) == "Yes"});
    }
    return true;
}

void ChangeWatch::Write(const std::vector<Kept>& kept) {
    std::vector<SavedEntry> entries;
    entries.reserve(kept.size());
    for (const Kept& k : kept) {
        entries.push_back(k.entry);
    }
    std::vector<ProfileEntry> keys = BackupKeys(entries, FormatCreateTime(services_.clock.Now()));
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (kept[i].returned) {
            keys.push_back({ItemSection(static_cast<int>(i)), std::string(kReturned), "Yes"});
        }
    }
    // One whole file, replaced at once: a crash leaves the old setting or the new one, never half of it.
    // When it cannot be written (a standard user, a tool folder that cannot be written to) the marks
    // still show for this run.
    services_.files.CreateDirectory(JoinPath(services_.files.ExecutableDirectory(), "backup"));
    // Hidden, so that the file dialogs of the backup folder list the user's backups only.
    if (services_.files.WriteFile(path_, ProfileBuild(keys))) {
        services_.files.SetHidden(path_);
    }
}

void ChangeWatch::Loaded(Inventory& inventory) {
    std::vector<Kept> kept;
    if (!Read(kept)) {
        for (StartupItem* item : inventory.LoadedItems) {
            item->Change = ChangeMark::None;
            kept.push_back({AsSaved(*item), false});
        }
        removed_.clear();
        Write(kept);
        return;
    }
    if (RecordReturns(inventory, kept)) {
        Write(kept);
    }
    Compare(inventory, kept);
}

void ChangeWatch::Compare(Inventory& inventory, const std::vector<Kept>& kept) {
    MarkChanges(inventory, kept);
    // Gone means gone by name and place, as compare tells a removed entry from a changed one.
    std::vector<SavedEntry> before;
    before.reserve(kept.size());
    for (const Kept& k : kept) {
        before.push_back(k.entry);
    }
    std::vector<SavedEntry> now;
    now.reserve(inventory.LoadedItems.size());
    for (const StartupItem* item : inventory.LoadedItems) {
        now.push_back(AsSaved(*item));
    }
    removed_ = CompareEntries(before, now).removed;
}

bool ChangeWatch::RecordReturns(const Inventory& inventory, std::vector<Kept>& kept) {
    bool recorded = false;
    for (const StartupItem* item : inventory.LoadedItems) {
        if (!item->TwinCopyRemoved) {
            continue;
        }
        const std::string key = EntryKey(item->Name, item->Location);
        for (Kept& k : kept) {
            if (!k.returned && k.entry.state == ItemState::Disabled && KeyOf(k.entry) == key) {
                k.returned = true;
                recorded = true;
            }
        }
    }
    return recorded;
}

void ChangeWatch::Applying(const Inventory& inventory) {
    touched_.clear();
    for (const auto& item : inventory.Items) {
        if (IsPending(*item)) {
            touched_.insert(EntryKey(item->Name, item->Location));
        }
    }
    for (const auto& original : inventory.EditedOriginals) {
        touched_.insert(EntryKey(original->Name, original->Location));
    }
}

void ChangeWatch::Applied(Inventory& inventory, const std::vector<NotChangedEntry>& notChanged) {
    std::set<std::string> touched = std::move(touched_);
    touched_.clear();
    for (const NotChangedEntry& entry : notChanged) {
        if (!entry.partly) { // an entry changed in part was changed all the same
            touched.erase(EntryKey(entry.name, entry.location));
        }
    }
    std::vector<Kept> updated;
    if (!Keep(inventory, touched, updated)) {
        Loaded(inventory); // no setting to bring up to date: the system as it is now becomes it
        return;
    }
    Compare(inventory, updated);
}

void ChangeWatch::Recovered(const Inventory& before, const Inventory& after) {
    // Entries of one name and place, as each load holds them.
    std::unordered_map<std::string, std::vector<SavedEntry>> was;
    std::unordered_map<std::string, std::vector<SavedEntry>> is;
    for (const StartupItem* item : before.LoadedItems) {
        was[EntryKey(item->Name, item->Location)].push_back(AsSaved(*item));
    }
    for (const StartupItem* item : after.LoadedItems) {
        is[EntryKey(item->Name, item->Location)].push_back(AsSaved(*item));
    }
    const auto same = [](const std::vector<SavedEntry>& a, const std::vector<SavedEntry>& b) {
        return a.size() == b.size() && std::all_of(a.begin(), a.end(), [&](const SavedEntry& entry) {
                   return std::any_of(b.begin(), b.end(),
                                      [&](const SavedEntry& other) { return SameSetting(entry, other); });
               });
    };
    std::set<std::string> touched;
    for (const auto& [key, entries] : was) {
        const auto now = is.find(key);
        if (now == is.end() || !same(entries, now->second)) {
            touched.insert(key);
        }
    }
    for (const auto& [key, entries] : is) {
        if (!was.contains(key)) {
            touched.insert(key);
        }
    }
    std::vector<Kept> updated;
    if (!touched.empty()) {
        Keep(after, touched, updated); // with no setting yet, the next load makes one
    }
}

bool ChangeWatch::Keep(const Inventory& inventory, const std::set<std::string>& touched,
                       std::vector<Kept>& updated) {
    std::vector<Kept> kept;
    if (!Read(kept)) {
        return false;
    }
    updated.clear();
    updated.reserve(kept.size());
    for (Kept& k : kept) {
        if (touched.count(KeyOf(k.entry)) == 0) {
            updated.push_back(std::move(k));
        }
    }
    for (const StartupItem* item : inventory.LoadedItems) {
        if (touched.count(EntryKey(item->Name, item->Location)) != 0) {
            updated.push_back({AsSaved(*item), false});
        }
    }
    RecordReturns(inventory, updated); // the reload may have found a value put back, too
    Write(updated);
    return true;
}

void ChangeWatch::Accept(Inventory& inventory) {
    // An edited entry is kept as the system holds it, not as the pending edit has it.
    std::vector<Kept> kept;
    for (SavedEntry& entry : SavedEntries(inventory, BackupContent::AsLoaded)) {
        kept.push_back({std::move(entry), false});
    }
    for (StartupItem* item : inventory.LoadedItems) {
        item->Change = ChangeMark::None;
        item->AcceptedCommand.clear();
    }
    removed_.clear();
    Write(kept);
}

ChangeCounts CountChangeMarks(const Inventory& inventory) {
    ChangeCounts counts;
    for (const StartupItem* item : inventory.LoadedItems) {
        switch (item->Change) {
        case ChangeMark::New: ++counts.newEntries; break;
        case ChangeMark::Returned: ++counts.returned; break;
        case ChangeMark::Changed: ++counts.changed; break;
        case ChangeMark::Removed: // gone entries are no loaded records; the watch counts them
        case ChangeMark::None: break;
        }
    }
    return counts;
}

ChangeCounts CountChanges(const Inventory& inventory, const ChangeWatch& watch) {
    ChangeCounts counts = CountChangeMarks(inventory);
    counts.removed = static_cast<int>(watch.Removed().size());
    return counts;
}

} // namespace qb
