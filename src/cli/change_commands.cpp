#include "cli/change_commands.h"

#include "changes/apply_dialog_rows.h"
#include "changes/apply_engine.h"
#include "changes/backup_choice.h"
#include "changes/entry_editor.h"
#include "changes/pending_changes.h"
#include "cli/cli_app.h"
#include "cli/json_output.h"
#include "inventory/row_texts.h"
#include "inventory/startup_location.h"
#include "platform/platform_error.h"
#include "platform/text.h"
#include "session/watched_apply.h"

#include <algorithm>
#include <functional>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>

namespace qb::cli {

namespace {

// One pending change as the apply dialog lists it, with the record it belongs to.
struct PendingRow {
    int record;
    ApplyDialogRow row;
};

std::vector<PendingRow> PendingRows(const Inventory& inventory) {
    std::vector<PendingRow> out;
    const auto rows = ApplyDialogRows(inventory);
    std::size_t next = 0;
    for (std::size_t i = 0; i < inventory.Items.size() && next < rows.size(); ++i) {
        if (!ChangeKinds(*inventory.Items[i]).empty()) {
            out.push_back({static_cast<int>(i), rows[next++]});
        }
    }
    return out;
}

// The command line confirms for the user: the automatic backup is made as the stored choice says, without
// changing that choice. It keeps the apply dialog's rows, so that the result can say which were made.
class PrintedConfirmation : public ApplyConfirmation {
public:
    explicit PrintedConfirmation(bool backup) : backup_(backup) {}
    std::optional<bool> ConfirmWithBackupChoice(const Inventory& inventory) override {
        rows_ = PendingRows(inventory);
        return backup_;
    }
    const std::vector<PendingRow>& Rows() const { return rows_; }

private:
    bool backup_;
    std::vector<PendingRow> rows_;
};

// The report's word on the record of a row: nullptr when it was changed as marked.
const NotChangedEntry* ToldOf(const ApplyReport& report, int record) {
    const auto told = std::find_if(report.notChanged.begin(), report.notChanged.end(),
                                   [&](const NotChangedEntry& entry) { return entry.record == record; });
    return told == report.notChanged.end() ? nullptr : &*told;
}

// Each change made, as the apply dialog lists it; those the system refused are told on stderr instead.
void PrintChanges(std::ostream& out, const std::vector<PendingRow>& rows, const ApplyReport& report) {
    for (const auto& [record, row] : rows) {
        const NotChangedEntry* told = ToldOf(report, record);
        if (told == nullptr || told->partly) {
            out << row.changes << ": " << ShownName(row.name) << " (" << row.location << ")"
                << (row.status.empty() ? "" : " -> " + row.status) << '\n';
        }
    }
}

void PrintJson(std::ostream& out, const std::vector<PendingRow>& rows, const ApplyReport& report,
               const std::optional<std::string>& error = std::nullopt) {
    nlohmann::json changed = nlohmann::json::array();
    for (const auto& [record, row] : rows) {
        const NotChangedEntry* told = ToldOf(report, record);
        if (told != nullptr && !told->partly) {
            continue;
        }
        nlohmann::json entry = {{"name", row.name},
                                {"location", row.location},
                                {"kind", row.changes},
                                {"state", row.status.empty() ? "Deleted" : row.status}};
        if (told != nullptr) {
            entry["warning"] = told->reason; // changed, but Windows' own switch of it could not follow
        }
        changed.push_back(std::move(entry));
    }
    nlohmann::json notChanged = nlohmann::json::array();
    for (const auto& entry : report.notChanged) {
        if (!entry.partly) {
            notChanged.push_back(
                {{"name", entry.name}, {"location", entry.location}, {"reason", entry.reason}});
        }
    }
    nlohmann::json result = {
        {"changed", changed}, {"notChanged", notChanged}, {"backup", nullptr}, {"error", nullptr}};
    if (!report.autoBackupPath.empty()) {
        result["backup"] = report.autoBackupPath;
    }
    if (error) {
        result["error"] = *error; // the apply stopped part-way: "changed" holds what it made all the same
    }
    WriteJson(out, result);
}

int ApplyMarks(Session& session, const Options& options, std::ostream& out) {
    PlatformServices services = session.Services();
    if (!HasPendingChanges(session.Items())) {
        if (options.json) {
            PrintJson(out, {}, {});
        } else {
            out << "Nothing to change.\n";
        }
        return kExitOk;
    }
    PrintedConfirmation confirmation(!options.noBackup && PeekAutoBackupChoice(services.registry));
    const WatchedApplyResult applied = session.startup->Apply(confirmation, false);
    const ApplyReport& report = applied.report;
    if (options.json) {
        PrintJson(out, confirmation.Rows(), report, applied.error);
    } else {
        PrintChanges(out, confirmation.Rows(), report);
        if (!report.autoBackupPath.empty()) {
            out << "Backed up first to " << report.autoBackupPath << ".\n";
        }
    }
    // The entries not changed, and why, were told as the window tells them (on stderr here).
    return report.notChanged.empty() && !applied.error ? kExitOk : kExitFailed;
}

// Names and commands longer than a record holds would be cut, and a cut name would reach another entry or
// none: refused before anything is read.
std::optional<int> CheckLength(std::initializer_list<std::string_view> texts, std::ostream& err) {
    for (const auto text : texts) {
        if (text.size() > FieldText::kLimit) {
            err << "Names and commands hold at most " << FieldText::kLimit << " bytes.\n";
            return kExitUsage;
        }
    }
    return std::nullopt;
}

// The entry named at the location: its exact name first, else the name in other letters (Windows' names
// ignore case). The whole name counts, so that 259 bytes name the entry of exactly those bytes, never one
// whose longer name begins with them; such a longer name (which the command line cannot take whole) is
// found by its first 259 bytes only when no entry has them as its whole name. -1 when there is none.
int FindNamed(const Inventory& inventory, const std::string& name, const std::string& location) {
    enum class Match { Exactly, InOtherLetters, ByCutCopy };
    for (const Match match : {Match::Exactly, Match::InOtherLetters, Match::ByCutCopy}) {
        for (std::size_t i = 0; i < inventory.Items.size(); ++i) {
            const StartupItem& item = *inventory.Items[i];
            const std::string whole = WholeNameOf(item);
            const bool named = match == Match::Exactly          ? whole == name
                               : match == Match::InOtherLetters ? EqualsIgnoreCase(whole, name)
                                                                : item.Name == name;
            if (item.State != ItemState::Deleted && named && item.Location == location) {
                return static_cast<int>(i);
            }
        }
    }
    // The unnamed value as the list shows it, unless a value has that very name (the loops above found it).
    // A script may not be able to pass an empty argument (PowerShell 5 drops it).
    if (const std::string named = NameOfText(inventory, name, location); named != name) {
        return FindNamed(inventory, named, location);
    }
    return -1;
}

// A session on the system with the entry the options name found in it, or the exit status to end with.
struct NamedEntry {
    std::unique_ptr<Session> session;
    int index = -1;
    int exit = kExitOk;
};

NamedEntry StartWithNamedEntry(const Options& options, std::ostream& err) {
    NamedEntry found;
    found.session = Start(options, err);
    if (!found.session) {
        found.exit = kExitFailed;
        return found;
    }
    found.index = FindNamed(found.session->Items(), options.name, options.location);
    if (found.index < 0) {
        err << "No entry \"" << options.name << "\" at \"" << options.location << "\".\n";
        found.exit = kExitFailed;
    }
    return found;
}

// A label of the tool that names a place this system lacks (the 32-bit view on 32-bit Windows): the
// editor does not offer it there, so neither does the command line. Refused before anything is marked.
bool PlaceMissing(Session& session, std::string_view label, std::ostream& err) {
    const StartupLocation* row = FindLocation(label);
    if (row == nullptr || PlaceExists(*row, session.Services().system.Version())) {
        return false;
    }
    err << "This system has no place \"" << label << "\": the 32-bit view exists on 64-bit Windows only.\n";
    return true;
}

} // namespace

std::optional<int> CheckPlace(std::string_view label, bool editorPlacesOnly, std::string_view command,
                              std::ostream& err) {
    std::vector<std::string_view> places;
    if (editorPlacesOnly) {
        places.assign(kEditorLocations.begin(), kEditorLocations.end());
    } else {
        for (const StartupLocation& row : StartupLocations()) {
            places.push_back(row.label);
        }
    }
    if (std::find(places.begin(), places.end(), label) != places.end()) {
        return std::nullopt;
    }
    err << "Unknown location \"" << label << "\". The places " << command << " takes:\n";
    for (const auto place : places) {
        err << "  " << place << '\n';
    }
    return kExitUsage;
}

namespace {

int RunChangeState(const Options& options, ItemState wanted, std::ostream& out, std::ostream& err) {
    if (auto problem = CheckLength({options.name}, err)) {
        return *problem;
    }
    if (auto problem = CheckPlace(options.location, false, "it", err)) {
        return *problem;
    }
    auto [session, index, exit] = StartWithNamedEntry(options, err);
    if (exit != kExitOk) {
        return exit;
    }
    const StartupItem& named = *session->Items().Items[static_cast<std::size_t>(index)];
    if (wanted == ItemState::Deleted) {
        // As the window's Delete: every record of that name, place and command, the whole name and command
        // compared, so that an entry whose longer name begins with the same 259 bytes stays.
        const std::string name = WholeNameOf(named);
        const std::string command = WholeCommandOf(named);
        for (const auto& item : session->Items().Items) {
            if (item->State != ItemState::Deleted && item->Location == named.Location &&
                WholeNameOf(*item) == name && WholeCommandOf(*item) == command) {
                MarkDeleted(*item);
            }
        }
    } else {
        session->Items().Items[static_cast<std::size_t>(index)]->State = wanted;
    }
    return ApplyMarks(*session, options, out);
}

int RunAdd(const Options& options, std::ostream& out, std::ostream& err) {
    // The editor trims what it is given before it counts: blanks around a text take no room in a record.
    const std::string name = TrimEditorText(options.name);
    const std::string command = TrimEditorText(options.command);
    if (auto problem = CheckLength({name, command}, err)) {
        return *problem;
    }
    if (auto problem = CheckPlace(options.location, true, "add", err)) {
        return *problem;
    }
    auto session = Start(options, err);
    if (!session || PlaceMissing(*session, options.location, err)) {
        return kExitFailed;
    }
    // The window's editor says "Please enter a program name." for an empty command too, beside the box that
    // is empty; a command line has no box to point at.
    if (command.empty() && !name.empty()) {
        err << "The command is missing: --command names the program to start.\n";
        return kExitFailed;
    }
    if (const auto problem = EditorInputProblem(session->Items(), name, command, options.location, -1)) {
        err << *problem << '\n';
        return kExitFailed;
    }
    StartupItem& item = AddEntry(session->Items(), name, command, options.location, session->Services(),
                                 session->startup->Database(), session->startup->Icons());
    if (options.disabled) {
        item.State = ItemState::Disabled;
    }
    return ApplyMarks(*session, options, out);
}

int RunEdit(const Options& options, std::ostream& out, std::ostream& err) {
    if (!options.newName && !options.newCommand && !options.newLocation) {
        err << "Say what to change: --new-name, --new-command or --new-location.\n";
        return kExitUsage;
    }
    if (auto problem = CheckLength({options.name, TrimEditorText(options.newName.value_or("")),
                                    TrimEditorText(options.newCommand.value_or(""))},
                                   err)) {
        return *problem;
    }
    if (auto problem = CheckPlace(options.location, false, "--location", err)) {
        return *problem;
    }
    if (options.newLocation) {
        if (auto problem = CheckPlace(*options.newLocation, true, "--new-location", err)) {
            return *problem;
        }
    }
    auto [session, index, exit] = StartWithNamedEntry(options, err);
    if (exit != kExitOk) {
        return exit;
    }
    if (options.newLocation && PlaceMissing(*session, *options.newLocation, err)) {
        return kExitFailed;
    }
    const StartupItem& item = *session->Items().Items[static_cast<std::size_t>(index)];
    if (const auto refusal = EditRefusal(item)) {
        err << *refusal << '\n';
        return kExitFailed;
    }
    // The editor opens with the entry's texts; what is not given stays as it is, blanks and all.
    const std::string shownName = ShownName(item.Name.str());
    const std::string shownCommand = ShownCommand(item);
    const std::string name = EditorText(shownName, options.newName.value_or(shownName));
    const std::string command = EditorText(shownCommand, options.newCommand.value_or(shownCommand));
    const std::string location = options.newLocation.value_or(item.Location.str());
    if (const auto problem = EditorInputProblem(session->Items(), name, command, location, index)) {
        err << *problem << '\n';
        return kExitFailed;
    }
    EditEntry(session->Items(), index, name, command, location, session->Services(),
              session->startup->Database(), session->startup->Icons());
    return ApplyMarks(*session, options, out);
}

int RunRestore(const Options& options, std::ostream& out, std::ostream& err) {
    auto session = Start(options, err);
    if (!session) {
        return kExitFailed;
    }
    if (!session->startup->Restore(session->BackupFile(options)).loaded) {
        return kExitFailed;
    }
    return ApplyMarks(*session, options, out);
}

// With --json a script gets one object whatever happens, also when the command ends before or while
// applying (no such entry, the editor's refusal, a backup that cannot be read or written): then `error`
// holds what the command said, and an entry the command names is among those not changed. What the command
// says goes to stderr as always. Bad usage stays a usage message only.
int AnswerInJson(const Options& options, bool namesAnEntry, std::ostream& out, std::ostream& err,
                 const std::function<int(std::ostream&, std::ostream&)>& command) {
    if (!options.json) {
        return command(out, err);
    }
    std::ostringstream printed;
    std::ostringstream said;
    int status = kExitFailed;
    try {
        status = command(printed, said);
    } catch (const PlatformError& e) {
        said << e.what() << '\n';
    }
    err << said.str();
    if (!printed.str().empty() || status == kExitUsage) {
        out << printed.str();
        return status;
    }
    std::string error = said.str();
    while (!error.empty() && error.back() == '\n') {
        error.pop_back();
    }
    nlohmann::json notChanged = nlohmann::json::array();
    if (namesAnEntry) {
        notChanged.push_back({{"name", options.name},
                              {"location", options.location},
                              {"reason", error.substr(0, error.find('\n'))}});
    }
    const nlohmann::json result = {{"changed", nlohmann::json::array()},
                                   {"notChanged", notChanged},
                                   {"backup", nullptr},
                                   {"error", error}};
    WriteJson(out, result);
    return status;
}

} // namespace

int ChangeState(const Options& options, ItemState wanted, std::ostream& out, std::ostream& err) {
    return AnswerInJson(options, true, out, err, [&](std::ostream& o, std::ostream& e) {
        return RunChangeState(options, wanted, o, e);
    });
}

int AddEntryCommand(const Options& options, std::ostream& out, std::ostream& err) {
    return AnswerInJson(options, true, out, err,
                        [&](std::ostream& o, std::ostream& e) { return RunAdd(options, o, e); });
}

int EditEntryCommand(const Options& options, std::ostream& out, std::ostream& err) {
    return AnswerInJson(options, true, out, err,
                        [&](std::ostream& o, std::ostream& e) { return RunEdit(options, o, e); });
}

int RestoreCommand(const Options& options, std::ostream& out, std::ostream& err) {
    return AnswerInJson(options, false, out, err,
                        [&](std::ostream& o, std::ostream& e) { return RunRestore(options, o, e); });
}

} // namespace qb::cli
