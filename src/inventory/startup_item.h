#pragma once

#include "inventory/field_text.h"
#include "platform/file_system.h"
#include "platform/processes.h"
#include "platform/registry.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace qb {

// The state an entry should have (State) or had on the system when loaded (LoadedState).
// In LoadedState, Deleted means "not on the system": added in the editor or taken from a backup.
enum class ItemState : std::int32_t { Deleted = 0, Enabled = 1, Disabled = 2 };

enum class Rating : std::int32_t { Required = 1, UserChoice = 2, NotRequired = 3, Harmful = 4, Unknown = 5 };

// What a startup-folder entry's file is. Windows opens every file of a startup folder at logon: a shortcut
// starts its target, any other file (a script, a program, an Internet shortcut, a document) is opened as it
// is. A shortcut Windows cannot load is listed all the same, so that nothing in the folder is hidden.
enum class FolderFile : std::int32_t { Shortcut = 0, UnreadableShortcut, Other };

// How a loaded entry differs from the startup setting the user last saw and accepted.
enum class ChangeMark : std::int32_t {
    None = 0,
    New,      // not there last time
    Returned, // disabled last time, enabled now
    Changed,  // same name and place, another command
    Removed,  // there last time, gone now: only on a row the command line makes of the accepted setting
};

// One startup entry. A record has no identity of its own: rows find their record by Name, Location and
// Command.
struct StartupItem {
    qb::Rating Rating = qb::Rating::Unknown;
    ItemState State = ItemState::Enabled;
    ItemState LoadedState = ItemState::Deleted;
    // The state it had when it was marked Deleted, which an undo of the delete gives back.
    ItemState StateBeforeDelete = ItemState::Enabled;
    std::int32_t IconIndex = 0;
    // 0: no running program matched; -1: matched, size not measurable (Windows 95 family); else KB.
    std::int32_t MemoryKB = 0;
    std::int32_t PeakMemoryKB = 0;
    // The matched running process, opened to wait for and end it. Shared, so that copies of a record
    // never close it twice; released with the last record that holds it.
    std::shared_ptr<RunningProcess> ProcessHandle;
    bool Edited = false;
    bool PathValid = false;
    FieldText Name;
    FieldText Command;  // a registry value with empty data is held as " "
    FieldText Location; // a label of the StartupLocation table
    // A shortcut's arguments, kept apart from its target: Command holds the bare target, as listed. Empty for
    // registry entries, whose arguments are part of Command.
    FieldText Arguments;
    // Where a loaded entry is on the system: the registry value's whole name, or the shortcut's file name
    // as found ("Tool.LNK", or one without the ending). Name may be cut to fit or lack the ending; changes
    // to a loaded entry act on this name. Empty for an entry that is not on the system.
    std::string SystemName;
    // Startup-folder entries: what the file is, and why a shortcut cannot be read. An entry that is not a
    // shortcut holds its file's own path (an Internet shortcut, the address it opens) as its command, and
    // cannot be made again from a record once its file is gone.
    FolderFile File = FolderFile::Shortcut;
    std::string FileProblem;
    // What the system held of a loaded entry when it was loaded: its value, or its file's stamp. An apply
    // changes the entry only while it is still so, and leaves alone what another program changed since.
    std::optional<RegistryValue> LoadedValue;
    std::optional<FileStamp> LoadedStamp;
    // The name and the command as the system or a backup holds them, when they are longer than a field
    // holds; empty otherwise. They belong to Name and Command only while those are their cut copies: an
    // edit that replaces a text leaves its whole one behind, unused (see WholeNameOf).
    std::string WholeName;
    std::string WholeCommand;
    // Switched off by Windows' own startup settings (Windows 8 and later) while it stays in its place: loaded
    // Disabled, and enabled by switching it on where it is. SwitchedOffAt is when, as a FILETIME (0: not
    // recorded).
    bool SwitchedOff = false;
    std::uint64_t SwitchedOffAt = 0;
    // The load found the value in its run key and in the twin, and removed the twin's copy: the program put
    // its value back after the entry was disabled. No later load can see this, so it is kept from here.
    bool TwinCopyRemoved = false;
    ChangeMark Change = ChangeMark::None;
    // With the Changed mark: the command (a shortcut's with its arguments) the entry had when the user last
    // accepted the startup setting. Empty otherwise.
    std::string AcceptedCommand;
};

// The entry's name and command whole: the longer text while the record holds its cut copy, else the
// record's own.
std::string WholeNameOf(const StartupItem& item);
std::string WholeCommandOf(const StartupItem& item);
// Sets a record's name or command from a whole text: the field takes what it holds, the rest is kept.
void SetWholeName(StartupItem& item, std::string_view name);
void SetWholeCommand(StartupItem& item, std::string_view command);

// Marks the entry Deleted and remembers the state it had, unless it is Deleted already.
inline void MarkDeleted(StartupItem& item) {
    if (item.State != ItemState::Deleted) {
        item.StateBeforeDelete = item.State;
        item.State = ItemState::Deleted;
    }
}

using StartupItemPtr = std::unique_ptr<StartupItem>;

// The three lists of the inventory. Items owns every record of the last load plus those added since;
// LoadedItems refers to the records of the last load (the same objects, so changes show through);
// EditedOriginals owns copies of entries taken just before their first edit.
struct Inventory {
    std::vector<StartupItemPtr> Items;
    std::vector<StartupItem*> LoadedItems;
    std::vector<StartupItemPtr> EditedOriginals;
    // The record each original was taken from, position for position: the apply engine puts an original
    // back when its record's new version could not be written.
    std::vector<const StartupItem*> EditedRecords;

    // Empties all three lists, discarding their records.
    void Clear();
    // Appends a record to Items and returns it.
    StartupItem& Append(StartupItem item);
    // Records LoadedItems as the references of Items as they now stand.
    void MarkLoaded();
    // Keeps a copy of the entry as it is now in EditedOriginals, unless it was edited already; the copy
    // carries no process data and no edit mark.
    void RememberOriginal(const StartupItem& item);
};

} // namespace qb
