#include "knowledge/info_page.h"

#include "inventory/command_line.h"
#include "inventory/process_scan.h"
#include "inventory/row_texts.h"
#include "inventory/startup_location.h"
#include "inventory/startup_switch.h"
#include "knowledge/html_text.h"
#include "platform/text.h"

#include <exception>

namespace qb {

namespace {

constexpr std::string_view kTemplateFile = "infotpl.dat";
constexpr std::string_view kPageFile = "info.htm";
constexpr std::string_view kPageEnd = "</html>";
constexpr std::string_view kFileErrorTitle = "File Error";
constexpr std::string_view kFileErrorText = "Can't open or write the information file.";

// A template without the marker still shows the value: at the very start, ahead of everything else.
void InsertBefore(std::string& page, std::string_view marker, std::string_view value) {
    const auto at = page.find(marker);
    page.insert(at == std::string::npos ? 0 : at, value);
}

void ReplaceFirst(std::string& page, std::string_view marker, std::string_view value) {
    const auto at = page.find(marker);
    if (at != std::string::npos) {
        page.replace(at, marker.size(), value);
    }
}

} // namespace

std::string SearchWords(std::string_view caption) {
    return EncodeSearchTerm(caption);
}

std::string InfoCommandText(std::string_view commandCell) {
    std::string text = UpperCase(commandCell);
    const auto first = text.find('"');
    if (first == std::string::npos) {
        return text;
    }
    const auto last = text.rfind('"');
    return last > first ? text.substr(first + 1, last - first - 1) : std::string();
}

std::string InfoCommandFile(std::string_view command, PlatformServices services) {
    std::string program = FindProgram(command, services.system, services.files, services.registry);
    if (program.empty()) {
        return SplitProgramAndArguments(command).program;
    }
    // The search matched the command's spelling without regard to case; the user reads the file's own.
    return StoredSpelling(program, services.files).value_or(program);
}

std::string SearchPhrase(std::string_view command) {
    return EncodeSearchTerm(TargetFileName(command));
}

std::string FillInfoTemplate(std::string_view templateText, const InfoRow& row, std::string_view description,
                             std::string_view memoryText, std::string_view commandFile) {
    std::string page(templateText.substr(0, templateText.find('\0')));
    const std::string command = InfoCommandText(row.commandCell);

    // Escaped values hold no "<", so none of them can carry a marker that a later step would find.
    InsertBefore(page, "<!--name-->", EscapeHtml(row.caption));
    InsertBefore(page, "<!--path-->", EscapeHtml(row.commandCell));
    InsertBefore(page, "<!--locate-->", EscapeHtml(row.location));
    InsertBefore(page, "<!--rate-->", EscapeHtml(row.rating));
    InsertBefore(page, "<!--comment-->", description);
    InsertBefore(page, "<!--Memory-->", memoryText);
    ReplaceFirst(page, "<!--title-->", SearchWords(row.caption));
    ReplaceFirst(page, "<!--sec-->", EscapeHtml(row.caption));
    ReplaceFirst(page, "<!--file-->", SearchPhrase(command));
    ReplaceFirst(page, "<!--exe-->", EscapeHtml(command));
    ReplaceFirst(page, "<!--cmdfile-->", EscapeHtml(commandFile));

    const auto end = page.find(kPageEnd);
    if (end != std::string::npos) {
        page.resize(end + kPageEnd.size());
    }
    return page;
}

std::string InfoMemoryText(const InfoRow& row, const Inventory& inventory, SystemInfo& system) {
    // Both N/A texts are the tool's established wording, misspellings included, and are kept byte for byte.
    if (IsWin9xFamily(system) || IsLegacyNT(system)) {
        return "N/A (Cannot get memery inforamtion in Windows 9X/ME/NT)";
    }
    for (const auto& item : inventory.Items) {
        if (item->Name == row.caption && item->Location == row.location) {
            if (item->MemoryKB == -1) {
                // Matched to a process whose counters this user may not read: it runs all the same.
                return "Running (its memory use cannot be read)";
            }
            if (item->MemoryKB < 1) {
                break;
            }
            return FormatMemory(item->MemoryKB) + " / " + FormatMemory(item->PeakMemoryKB) +
                   " (Current / Peak)";
        }
    }
    return "N/A (This program is not running)";
}

std::string SwitchNote(const InfoRow& row, const Inventory& inventory) {
    for (const auto& item : inventory.Items) {
        if (item->Name == row.caption && item->Location == row.location) {
            if (!item->SwitchedOff) {
                return {};
            }
            const std::string when = FileTimeText(item->SwitchedOffAt);
            return "<p>Switched off in Windows' startup settings" + (when.empty() ? "" : " on " + when) +
                   ". Ticking it switches it on again.</p>";
        }
    }
    return {};
}

namespace {

// The record a row's page speaks of: the first with the row's name and location.
const StartupItem* FirstRecordNamed(const InfoRow& row, const Inventory& inventory) {
    for (const auto& item : inventory.Items) {
        if (item->Name == row.caption && item->Location == row.location) {
            return item.get();
        }
    }
    return nullptr;
}

} // namespace

std::string ChangeNote(const InfoRow& row, const Inventory& inventory) {
    const StartupItem* item = FirstRecordNamed(row, inventory);
    if (item == nullptr || item->Change == ChangeMark::None) {
        return {};
    }
    std::string note = "<p><b>" + std::string(ChangeMarkReason(item->Change)) + "</b>";
    if (item->Change == ChangeMark::Changed) {
        note +=
            "<br>Was: " + EscapeHtml(item->AcceptedCommand) + "<br>Now: " + EscapeHtml(ShownCommand(*item));
    }
    return note + "</p>";
}

std::string RowDescription(const InfoRow& row, const Inventory& inventory, ProgramDatabase& database) {
    // What a RunOnceEx section's command runs is described, not the form the section keeps it in.
    const std::string_view shown = RowCommand(row.commandCell);
    const std::string_view analysed = AnalysedCommand(row.location, shown);
    const std::string cell = analysed == shown ? row.commandCell : std::string(analysed);
    const StartupItem* item = FirstRecordNamed(row, inventory);
    // The name of an entry whose command changed belongs to the program that was there before.
    return item != nullptr && item->Change == ChangeMark::Changed
               ? database.LookupCommandDescription(row.caption, cell)
               : database.LookupDescription(row.caption, cell);
}

std::string FileNote(const InfoRow& row, const Inventory& inventory) {
    for (const auto& item : inventory.Items) {
        if (item->Name == row.caption && item->Location == row.location) {
            switch (item->File) {
            case FolderFile::Shortcut:
                return {};
            case FolderFile::UnreadableShortcut:
                return "<p><b>This shortcut cannot be read: " + EscapeHtml(item->FileProblem) +
                       ".</b> Windows starts nothing from it. It can be disabled or deleted.</p>";
            case FolderFile::Other:
                return "<p>Not a shortcut: Windows opens this file as it is at logon.</p>";
            }
        }
    }
    return {};
}

std::string KeptCopyNote(const InfoRow& row, const Inventory& inventory) {
    const StartupLocation* place = FindLocation(row.location);
    if (place == nullptr || place->kind != LocationKind::Registry) {
        return {};
    }
    const StartupItem* running = nullptr;
    const StartupItem* kept = nullptr;
    for (const StartupItem* item : inventory.LoadedItems) {
        if (item->Name == row.caption && item->Location == row.location && !item->SwitchedOff) {
            (item->LoadedState == ItemState::Enabled ? running : kept) = item;
        }
    }
    if (running == nullptr || kept == nullptr || running->Command.str() == kept->Command.str()) {
        return {};
    }
    return "<p>Kept aside when you disabled it: " + EscapeHtml(kept->Command.str()) +
           "<br>In its place now: " + EscapeHtml(running->Command.str()) + "</p>";
}

bool BuildInfoPage(const InfoRow& row, const Inventory& inventory, ProgramDatabase& database,
                   PlatformServices services) {
    // Runs inside the list's selection handler: whatever goes wrong ends in the one message box, never in
    // an exception through the list, and the pane is only moved once the page is on disk.
    try {
        const std::string directory = services.files.ExecutableDirectory();
        const auto templateText = services.files.ReadFile(JoinPath(directory, kTemplateFile));
        if (templateText) {
            const std::string page = FillInfoTemplate(
                *templateText, row,
                ChangeNote(row, inventory) + FileNote(row, inventory) + KeptCopyNote(row, inventory) +
                    SwitchNote(row, inventory) + RowDescription(row, inventory, database),
                InfoMemoryText(row, inventory, services.system),
                InfoCommandFile(RowCommand(row.commandCell), services));
            const std::string pagePath = JoinPath(directory, kPageFile);
            if (services.files.WriteFile(pagePath, page)) {
                services.browser.Navigate("file:///" + pagePath);
                return true;
            }
        }
    } catch (const std::exception&) {
        // Reported below, like a file that cannot be read or written.
    }
    services.dialogs.ShowTitledMessage(kFileErrorTitle, kFileErrorText);
    return false;
}

} // namespace qb
