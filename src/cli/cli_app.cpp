#include "cli/cli_app.h"

#include "cli/host_system.h"
#include "backup/backup_file.h"
#include "cli/list_output.h"
#include "inventory/process_scan.h"
#include "inventory/startup_scan.h"
#include "knowledge/program_database.h"
#include "platform/platform_error.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <ostream>

namespace qb::cli {

namespace {

struct Options {
    std::optional<std::string> systemRoot;
    std::string backupFile;
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
    const ListFormat format = options.json ? ListFormat::Json : options.csv ? ListFormat::Csv : ListFormat::Table;
    PrintList(out, ListedItems(session->inventory, options.all), format, IsWin9xFamily(session->Services().system));
    return kExitOk;
}

// A backup of the current setting, recorded in the backup index as the dialog's New Backup records it.
int Backup(const Options& options, std::ostream& out, std::ostream& err) {
    auto session = Start(options, err);
    if (!session) {
        return kExitFailed;
    }
    const std::string time = WriteBackup(options.backupFile, session->inventory, session->Services());
    out << "Backed up " << session->inventory.LoadedItems.size() << " entries to " << options.backupFile << " ("
        << time << ").\n";
    return kExitOk;
}

} // namespace

int Run(int argc, char** argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"Quillbrook: what Windows starts automatically, listed and changed.", "quillbrook-cli"};
    app.require_subcommand(1);
    Options options;
    app.add_option("--system-root", options.systemRoot,
                   "The sandbox system to work on (default: $QUILLBROOK_SYSTEM_ROOT, else a per-user root "
                   "seeded with the demo system)");

    CLI::App* list = app.add_subcommand("list", "List the startup entries as the main window's All Programs shows them");
    list->add_flag("--all", options.all, "Also list the places no tree node shows");
    auto* json = list->add_flag("--json", options.json, "Print a JSON array");
    auto* csv = list->add_flag("--csv", options.csv, "Print comma-separated values");
    json->excludes(csv);

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
    } catch (const PlatformError& e) {
        err << e.what() << '\n';
        return kExitFailed;
    }
    return kExitUsage;
}

} // namespace qb::cli
