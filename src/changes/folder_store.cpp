#include "changes/folder_store.h"

#include "changes/apply_reasons.h"
#include "inventory/shell_folders.h"
#include "inventory/shortcut_names.h"
#include "platform/text.h"

namespace qb {

namespace {

std::string_view WithoutLinkEnding(std::string_view fileName) {
    if (fileName.size() >= 4 && EqualsIgnoreCase(fileName.substr(fileName.size() - 4), ".lnk")) {
        fileName.remove_suffix(4);
    }
    return fileName;
}

} // namespace

void FolderStore::Prepare() {
    services_.files.CreateDirectory(JoinPath(services_.files.ExecutableDirectory(), row_.disabledFolder));
}

std::optional<std::string> FolderStore::FilePath(ItemState state, std::string_view fileName,
                                                 std::string* why) {
    // The file's own name or one the editor took: only what would leave the folder is refused here.
    if (auto problem = ShortcutFileNameProblem(WithoutLinkEnding(fileName))) {
        *why = kNameCannotBeAFile;
        return std::nullopt;
    }
    if (state != ItemState::Enabled) {
        return JoinPath(JoinPath(services_.files.ExecutableDirectory(), row_.disabledFolder), fileName);
    }
    const std::string folder = StartupFolderPath(services_.shell, row_.hive == RegistryRoot::LocalMachine);
    if (folder.empty()) {
        *why = kNoStartupFolder; // nothing is made or removed in place of a folder the shell cannot give
        return std::nullopt;
    }
    return JoinPath(folder, fileName);
}

bool FolderStore::StillAsLoaded(const StartupItem& item, const std::string& path, std::string* why) {
    // An entry not loaded has nothing to compare with.
    const bool same = item.LoadedState == ItemState::Deleted || !item.LoadedStamp ||
                      services_.files.Stamp(path) == item.LoadedStamp;
    if (!same) {
        *why = kChangedSince;
    }
    return same;
}

bool FolderStore::Occupied(std::string_view systemName) {
    for (const ItemState state : {ItemState::Enabled, ItemState::Disabled}) {
        std::string why;
        const auto path = FilePath(state, systemName, &why);
        if (path && services_.files.FileExists(*path)) {
            return true;
        }
    }
    return false;
}

Removal FolderStore::Remove(const StartupItem& item, ItemState state, std::string_view systemName,
                            TakenCopy* taken, std::string* why) {
    const auto path = FilePath(state, systemName, why);
    if (!path) {
        return Removal::Failed;
    }
    if (!services_.files.FileExists(*path)) {
        return Removal::Absent;
    }
    if (!StillAsLoaded(item, *path, why)) {
        return Removal::Failed;
    }
    const auto bytes = services_.files.ReadFile(*path);
    auto link = services_.shell.LoadShortcut(*path).link;
    if (!services_.files.DeleteFile(*path)) {
        *why = FailureText();
        return Removal::Failed;
    }
    if (taken != nullptr) {
        taken->shortcut = bytes;
        taken->link = std::move(link);
        taken->path = *path;
    }
    return Removal::Done;
}

bool FolderStore::Write(const StartupItem& item, ItemState state, std::string_view systemName,
                        const std::optional<RegistryValue>& /*realValue*/, const StartupItem* before,
                        const TakenCopy* replaced, std::string* why) {
    if (item.File != FolderFile::Shortcut) {
        // Only a shortcut can be made from a record; a file taken away for it is put back.
        *why = kNotMadeAgain;
        return false;
    }
    // A disabled shortcut is made where disabled shortcuts are kept, never in the startup folder first.
    const auto path = FilePath(state, systemName, why);
    if (!path) {
        return false;
    }
    if (Occupied(systemName)) {
        *why = kNameTaken;
        return false;
    }
    bool saved = false;
    if (before != nullptr && replaced != nullptr && replaced->shortcut && replaced->link) {
        // The file moves as a file: its description, working folder, icon, hot key and show state stay.
        if (before->Command == item.Command && before->Arguments == item.Arguments) {
            saved = services_.files.WriteFile(*path, *replaced->shortcut);
        } else {
            ShortcutInfo link = *replaced->link;
            const ShortcutInfo fresh = ShortcutForRecord(item);
            link.target = fresh.target;
            link.arguments = fresh.arguments;
            saved = services_.shell.SaveShortcut(*path, link);
        }
    } else {
        saved = services_.shell.SaveShortcut(*path, ShortcutForRecord(item));
    }
    if (!saved) {
        *why = FailureText();
        return false;
    }
    return true;
}

bool FolderStore::Move(const StartupItem& item, ItemState to, std::string* why) {
    const ItemState from = to == ItemState::Enabled ? ItemState::Disabled : ItemState::Enabled;
    const std::string name = SystemNameOf(item);
    const auto source = FilePath(from, name, why);
    const auto target = source ? FilePath(to, name, why) : std::nullopt;
    if (!source || !target) {
        return false;
    }
    if (services_.files.FileExists(*target)) {
        *why = kNameTaken;
        return false;
    }
    if (!services_.files.FileExists(*source)) {
        if (to == ItemState::Enabled && item.File != FolderFile::Shortcut) {
            *why = kNotMadeAgain;
            return false;
        }
        if (to == ItemState::Enabled) {
            // The kept file is gone: the entry comes back as a new shortcut made from what it was.
            if (!services_.shell.SaveShortcut(*target, ShortcutForRecord(item))) {
                *why = FailureText();
                return false;
            }
            return true;
        }
        *why = kNotFound;
        return false;
    }
    if (!StillAsLoaded(item, *source, why)) {
        return false;
    }
    // The user's own file moves, with its arguments, working folder and icon; it leaves its place only once
    // its copy is safe in the other.
    if (!CopyFileNoOverwrite(services_.files, *source, *target)) {
        *why = FailureText();
        return false;
    }
    if (!services_.files.DeleteFile(*source)) {
        *why = FailureText();
        services_.files.DeleteFile(*target); // not moved: one place only
        return false;
    }
    return true;
}

void FolderStore::PutBack(const StartupItem& /*original*/, ItemState /*state*/, const TakenCopy& taken) {
    if (taken.shortcut && !services_.files.FileExists(taken.path)) {
        services_.files.WriteFile(taken.path, *taken.shortcut);
    }
}

} // namespace qb
