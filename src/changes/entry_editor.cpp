#include "changes/entry_editor.h"

#include "inventory/command_line.h"
#include "inventory/row_texts.h"
#include "inventory/shortcut_names.h"
#include "inventory/startup_location.h"
#include "platform/text.h"

namespace qb {

namespace {

bool IsBlankOrControl(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= 0x20 || u == 0x7F;
}

std::int32_t IconFor(std::string_view target, PlatformServices& services, IconSink& icons) {
    if (auto icon = services.shell.ExtractIcon(target)) {
        return icons.Add(*icon);
    }
    return icons.Add(services.shell.StandardApplicationIcon());
}

} // namespace

std::string TrimEditorText(std::string_view text) {
    while (!text.empty() && IsBlankOrControl(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlankOrControl(text.back())) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

std::string FoundCommand(std::string_view path) {
    return path.find(' ') == std::string_view::npos ? std::string(path) : "\"" + std::string(path) + "\"";
}

std::string FoundName(std::string_view path) {
    std::string_view name = path.substr(path.find_last_of("\\/") + 1);
    // A name that is all extension (".profile") keeps it: it has nothing else to be called by.
    if (const auto dot = name.rfind('.'); dot != std::string_view::npos && dot > 0) {
        name = name.substr(0, dot);
    }
    return std::string(name);
}

std::string EditorText(std::string_view shown, std::string_view typed) {
    return typed == shown ? std::string(shown) : TrimEditorText(typed);
}

std::string NameOfText(const Inventory& inventory, std::string_view text, std::string_view location) {
    const StartupLocation* place = FindLocation(location);
    if (text != kUnnamedValueCaption || place == nullptr || place->kind != LocationKind::Registry) {
        return std::string(text);
    }
    for (const auto& item : inventory.Items) {
        if (item->State != ItemState::Deleted && item->Name == text && item->Location == location) {
            return std::string(text);
        }
    }
    return {};
}

std::optional<std::string> EditRefusal(const StartupItem& item) {
    if (item.File == FolderFile::Shortcut) {
        return std::nullopt;
    }
    return std::string(kOnlyShortcutsEditedMessage);
}

std::optional<std::string> EditorInputProblem(const Inventory& inventory, std::string_view nameText,
                                              std::string_view command, std::string_view location,
                                              int editIndex) {
    if (editIndex >= 0 && static_cast<std::size_t>(editIndex) < inventory.Items.size()) {
        if (auto refusal = EditRefusal(*inventory.Items[static_cast<std::size_t>(editIndex)])) {
            return refusal;
        }
    }
    if (nameText.empty() || command.empty()) {
        return std::string(kEnterNameMessage);
    }
    const std::string name = NameOfText(inventory, nameText, location);
    // Quotes and blanks alone: the first quote opens a path that never ends, so the entry would start
    // nothing and a shortcut made from it would point nowhere.
    if (command.find_first_not_of("\" ") == std::string_view::npos) {
        return std::string(kNoProgramMessage);
    }
    const auto at = static_cast<std::size_t>(editIndex);
    const StartupItem* edited =
        editIndex >= 0 && at < inventory.Items.size() ? inventory.Items[at].get() : nullptr;
    // A record holds 259 bytes of a command. A longer one the system holds stays as it is; a new one
    // would be cut, and the entry would start something else.
    if (command.size() > FieldText::kLimit && (edited == nullptr || command != ShownCommand(*edited))) {
        return std::string(kCommandTooLongMessage);
    }
    for (std::size_t i = 0; i < inventory.Items.size(); ++i) {
        const StartupItem& item = *inventory.Items[i];
        // Registry value names and file names are one name in any letter case: an entry "padnote" would
        // replace "Padnote".
        if (item.State != ItemState::Deleted && EqualsIgnoreCase(item.Name, name) &&
            item.Location == location && static_cast<int>(i) != editIndex) {
            return std::string(kDuplicateMessage);
        }
    }
    const StartupLocation* row = FindLocation(location);
    const bool ownName = edited != nullptr && edited->Name == name && edited->Location == location;
    if (row != nullptr && row->kind == LocationKind::Folder) {
        if (auto problem = ownName ? ShortcutFileNameProblem(name) : ShortcutNameProblem(name)) {
            return "The name cannot be used for a shortcut in a startup folder. " + *problem;
        }
    }
    // A RunOnceEx entry named "section\value" is that value of the section; the key's settings, a section's
    // title and the list of DLLs cannot be entries.
    if (auto problem = PlaceNameProblem(location, name); problem && !ownName) {
        return "The name cannot be used for a command in RunOnceEx. " + *problem;
    }
    return std::nullopt;
}

int FindRecordForEdit(const Inventory& inventory, std::string_view caption, std::string_view location) {
    for (std::size_t i = 0; i < inventory.Items.size(); ++i) {
        const StartupItem& item = *inventory.Items[i];
        if (item.State != ItemState::Deleted && item.Name == caption && item.Location == location) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

StartupItem& AddEntry(Inventory& inventory, std::string_view name, std::string_view command,
                      std::string_view location, PlatformServices services, RatingSource& ratings,
                      IconSink& icons) {
    const std::string_view analysed = AnalysedCommand(location, command);
    const std::string target = TargetPath(analysed, services.system, services.files);
    StartupItem item;
    item.IconIndex = IconFor(target, services, icons);
    item.Rating = ratings.LookupRating(name, analysed);
    item.State = ItemState::Enabled;
    item.LoadedState = ItemState::Deleted;
    item.PathValid =
        !target.empty() || TargetFound(analysed, services.system, services.files, services.registry);
    item.Name = name;
    item.Command = command;
    item.Location = location;
    return inventory.Append(std::move(item));
}

bool EditEntry(Inventory& inventory, int index, std::string_view nameText, std::string_view command,
               std::string_view location, PlatformServices services, RatingSource& ratings, IconSink& icons) {
    if (index < 0 || static_cast<std::size_t>(index) >= inventory.Items.size()) {
        return false;
    }
    const std::string name = NameOfText(inventory, nameText, location);
    StartupItem& item = *inventory.Items[static_cast<std::size_t>(index)];
    // The editor showed the command whole, with a shortcut's arguments: the same text is no change, and
    // leaves what the record holds (a longer command's rest, a shortcut's parts) as it was.
    const bool sameCommand = command == ShownCommand(item);
    if (item.Name == name && sameCommand && item.Location == location) {
        return false; // OK on unchanged texts: no change, nothing to apply
    }
    inventory.RememberOriginal(item); // only on the first edit since the load
    if (!sameCommand) {
        if (item.Arguments.empty()) {
            SetWholeCommand(item, command);
        } else {
            // A shortcut keeps its target and its arguments apart, as its file holds them.
            const auto [program, arguments] = SplitProgramAndArguments(command);
            SetWholeCommand(item, program);
            item.Arguments = arguments;
        }
    }
    const std::string whole = WholeCommandOf(item);
    const std::string_view analysed = AnalysedCommand(location, whole);
    const std::string target = TargetPath(analysed, services.system, services.files);
    const std::int32_t icon = IconFor(target, services, icons);
    item.Name = name;
    item.Location = location;
    item.Rating = ratings.LookupRating(name, analysed);
    item.IconIndex = icon;
    item.PathValid = !target.empty() || TargetFound(AnalysedCommand(location, command), services.system,
                                                    services.files, services.registry);
    item.Edited = true;
    return true;
}

} // namespace qb
