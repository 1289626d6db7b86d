#include "cli/cli_app.h"

#include "backup/backup_file.h"
#include "changes/apply_dialog_rows.h"
#include "changes/apply_engine.h"
#include "changes/entry_editor.h"
#include "changes/pending_changes.h"
#include "cli/host_system.h"
#include "cli/list_output.h"
#include "inventory/process_scan.h"
#include "inventory/startup_location.h"
#include "inventory/startup_scan.h"
#include "knowledge/program_database.h"
#include "platform/platform_error.h"
#include "platform/text.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <optional>
#include <ostream>

namespace qb::cli {

namespace {

struct Options {
    std::optional<std::string> systemRoot;
    std::string backupFile;
    std::string name;
    std::string command;
    std::string location;
    bool disabled = false;
    bool noBackup = false;
    bool all = false;
    bool json = false;
    bool csv = false;
};

// What every command starts from, as the main window starts: the system, the program database, the
// "backup" folder, and a full load.
struct Session {
    std::unique_ptr<HostSystem> host;
    std::unique_ptr<ProgramDatabase> database;
    Inventory inventory;
    CountingIconSink icons;

    PlatformServices Services() { return host->Services(); }
};

std::unique_ptr<Session> Start(const Options& options, std::ostream& err) {
    std::string error;
    auto session = std::make_unique<Session>();
    session->host = OpenHostSystem(options.systemRoot, err, error);
    if (!session->host) {
        err << error << '\n';
        return nullptr;
    }
    PlatformServices services = session->Services();
    session->database = std::make_unique<ProgramDatabase>(services.files);
    services.files.CreateDirectory(JoinPath(services.files.ExecutableDirectory(), "backup"));
    LoadInventory(session->inventory, services, *session->database, session->icons);
    return session;
}

int List(const Options& options, std::ostream& out, std::ostream& err) {
    auto session = Start(options, err);
    if (!session) {
        return kExitFailed;
    }
    const ListFormat format = options.json  ? ListFormat::Json
                              : options.csv ? ListFormat::Csv
                                            : ListFormat::Table;
    PrintList(out, ListedItems(session->inventory, options.all), format,
              IsWin9xFamily(session->Services().system));
    return kExitOk;
}

// A backup of the current setting, recorded in the backup index as the dialog's New Backup records it.
int Backup(const Options& options, std::ostream& out, std::ostream& err) {
    auto session = Start(options, err);
    if (!session) {
        return kExitFailed;
    }
    const std::string time = WriteBackup(options.backupFile, session->inventory, session->Services());
    out << "Backed up " << session->inventory.LoadedItems.size() << " entries to " << options.backupFile
        << " (" << time << ").\n";
    return kExitOk;
}

// The command line confirms for the user: the changes are printed, and the automatic backup is made as the
// stored choice says (unless --no-backup), without changing that choice.
class PrintedConfirmation : public ApplyConfirmation {
public:
    PrintedConfirmation(std::ostream& out, bool backup) : out_(out), backup_(backup) {}
    std::optional<bool> ConfirmWithBackupChoice(const Inventory& inventory) override {
        for (const auto& row : ApplyDialogRows(inventory)) {
            out_ << row.changes << ": " << (row.name.empty() ? "(Default)" : row.name) << " (" << row.location
                 << ")" << (row.status.empty() ? "" : " -> " + row.status) << '\n';
        }
        return backup_;
    }

private:
    std::ostream& out_;
    bool backup_;
};

int ApplyMarks(Session& session, const Options& options, std::ostream& out) {
    PlatformServices services = session.Services();
    if (!HasPendingChanges(session.inventory)) {
        out << "Nothing to change.\n";
        return kExitOk;
    }
    PrintedConfirmation confirmation(out, !options.noBackup && PeekAutoBackupChoice(services.registry));
    ApplyReport report;
    ApplyChanges(session.inventory, services, confirmation, *session.database, session.icons, false, &report);
    if (!report.autoBackupPath.empty()) {
        out << "Backed up first to " << report.autoBackupPath << ".\n";
    }
    // The entries not changed, and why, were told as the window tells them (on stderr here).
    return report.notChanged.empty() ? kExitOk : kExitFailed;
    return kExitOk;
}

// Names and commands longer than a record holds would be cut, and a cut name would reach another entry or
// none: refused before anything is read. A place must be one the command takes. nullopt when fine.
std::optional<int> UsageProblem(const Options& options, bool adding, std::ostream& err) {
    if (options.name.size() > FieldText::kLimit || options.command.size() > FieldText::kLimit) {
        err << "Names and commands hold at most " << FieldText::kLimit << " bytes.\n";
        return kExitUsage;
    }
    std::vector<std::string_view> places;
    if (adding) {
        places.assign(kEditorLocations.begin(), kEditorLocations.end());
    } else {
        for (const StartupLocation& row : StartupLocations()) {
            places.push_back(row.label);
        }
    }
    if (std::find(places.begin(), places.end(), options.location) == places.end()) {
        err << "Unknown location \"" << options.location << "\". The places " << (adding ? "add" : "it")
            << " takes:\n";
        for (const auto place : places) {
            err << "  " << place << '\n';
        }
        return kExitUsage;
    }
    return std::nullopt;
}

// Whether the record is the entry named: its exact name, or, when no entry has that, the name in other
// letters (Windows' names ignore case).
bool Named(const StartupItem& item, const std::string& name, bool exactly) {
    return exactly ? item.Name == name : EqualsIgnoreCase(item.Name, name);
}

// enable, disable, delete: the entry named at the location, as the list's check box or Delete would mark it.
int Change(const Options& options, ItemState wanted, std::ostream& out, std::ostream& err) {
    if (const auto problem = UsageProblem(options, false, err)) {
        return *problem;
    }
    auto session = Start(options, err);
    if (!session) {
        return kExitFailed;
    }
    bool found = false;
    for (const bool exactly : {true, false}) {
        for (auto& item : session->inventory.Items) {
            if (found && wanted != ItemState::Deleted) {
                break; // the check box changes the first matching entry only
            }
            if (item->State == ItemState::Deleted || !Named(*item, options.name, exactly) ||
                item->Location != options.location) {
                continue;
            }
            found = true;
            item->State = wanted;
        }
        if (found) {
            break;
        }
    }
    if (!found) {
        err << "No entry \"" << options.name << "\" at \"" << options.location << "\".\n";
        return kExitFailed;
    }
    return ApplyMarks(*session, options, out);
}

int Add(const Options& options, std::ostream& out, std::ostream& err) {
    if (const auto problem = UsageProblem(options, true, err)) {
        return *problem;
    }
    auto session = Start(options, err);
    if (!session) {
        return kExitFailed;
    }
    const std::string name = TrimEditorText(options.name);
    const std::string command = TrimEditorText(options.command);
    if (const auto problem = EditorInputProblem(session->inventory, name, command, options.location, -1)) {
        err << *problem << '\n';
        return kExitFailed;
    }
    StartupItem& item = AddEntry(session->inventory, name, command, options.location, session->Services(),
                                 *session->database, session->icons);
    if (options.disabled) {
        item.State = ItemState::Disabled;
    }
    return ApplyMarks(*session, options, out);
}

int Restore(const Options& options, std::ostream& out, std::ostream& err) {
    auto session = Start(options, err);
    if (!session) {
        return kExitFailed;
    }
    if (!LoadBackup(options.backupFile, session->inventory, session->Services(), *session->database,
                    session->icons)
             .loaded) {
        return kExitFailed;
    }
    return ApplyMarks(*session, options, out);
}

} // namespace

int Run(int argc, char** argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"Quillbrook: what Windows starts automatically, listed and changed.", "quillbrook-cli"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("quillbrook-cli ") + QB_VERSION);
    Options options;
    app.add_option("--system-root", options.systemRoot,
                   "The sandbox system to work on (default: $QUILLBROOK_SYSTEM_ROOT, else a per-user root "
                   "seeded with the demo system)");

    CLI::App* list =
        app.add_subcommand("list", "List the startup entries as the main window's All Programs shows them");
    list->add_flag("--all", options.all, "Also list the places no tree node shows");
    auto* json = list->add_flag("--json", options.json, "Print a JSON array");
    auto* csv = list->add_flag("--csv", options.csv, "Print comma-separated values");
    json->excludes(csv);

    const auto entryOptions = [&](CLI::App* command) {
        command->add_option("--name", options.name, "The entry's name, exactly")->required();
        command
            ->add_option("--location", options.location,
                         "The entry's place, for example \"Current User\\Registry\\Run\"")
            ->required();
        command->add_flag("--no-backup", options.noBackup, "Make no automatic backup first");
    };
    CLI::App* enable = app.add_subcommand("enable", "Enable an entry and apply");
    entryOptions(enable);
    CLI::App* disable = app.add_subcommand("disable", "Disable an entry and apply");
    entryOptions(disable);
    CLI::App* remove = app.add_subcommand("delete", "Delete an entry and apply");
    entryOptions(remove);
    CLI::App* add = app.add_subcommand("add", "Add an entry and apply");
    entryOptions(add);
    add->add_option("--command", options.command, "The command line")->required();
    add->add_flag("--disabled", options.disabled, "Add it disabled");
    CLI::App* restore = app.add_subcommand("restore", "Load a backup file as the startup setting and apply");
    restore->add_option("FILE", options.backupFile, "The backup file, a full path of the system (C:\\...)")
        ->required();
    restore->add_flag("--no-backup", options.noBackup, "Make no automatic backup first");

    CLI::App* backup = app.add_subcommand("backup", "Write a backup of the current startup setting");
    backup->add_option("FILE", options.backupFile, "The backup file, a full path of the system (C:\\...)")
        ->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        out << app.help();
        return kExitOk;
    } catch (const CLI::CallForAllHelp& e) {
        out << app.help("", CLI::AppFormatMode::All);
        return kExitOk;
    } catch (const CLI::CallForVersion& e) {
        out << e.what() << '\n';
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        err << e.what() << '\n' << "Run with --help for the usage.\n";
        return kExitUsage;
    }

    try {
        if (list->parsed()) {
            return List(options, out, err);
        }
        if (backup->parsed()) {
            return Backup(options, out, err);
        }
        if (enable->parsed()) {
            return Change(options, ItemState::Enabled, out, err);
        }
        if (disable->parsed()) {
            return Change(options, ItemState::Disabled, out, err);
        }
        if (remove->parsed()) {
            return Change(options, ItemState::Deleted, out, err);
        }
        if (add->parsed()) {
            return Add(options, out, err);
        }
        if (restore->parsed()) {
            return Restore(options, out, err);
        }
    } catch (const PlatformError& e) {
        err << e.what() << '\n';
        return kExitFailed;
    }
    return kExitUsage;
}

} // namespace qb::cli
