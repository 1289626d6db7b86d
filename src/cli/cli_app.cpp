#include "cli/cli_app.h"

#include "cli/host_system.h"
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
    bool all = false;
    bool json = false;
    bool csv = false;
};

// Starts as the main window does: the program database, the "backup" folder, then a full load.
int List(const Options& options, std::ostream& out, std::ostream& err) {
    std::string error;
    auto host = OpenHostSystem(options.systemRoot, err, error);
    if (!host) {
        err << error << '\n';
        return kExitFailed;
    }
    PlatformServices services = host->Services();
    ProgramDatabase database(services.files);
    services.files.CreateDirectory(JoinPath(services.files.ExecutableDirectory(), "backup"));
    Inventory inventory;
    CountingIconSink icons;
    LoadInventory(inventory, services, database, icons);
    const ListFormat format = options.json ? ListFormat::Json : options.csv ? ListFormat::Csv : ListFormat::Table;
    PrintList(out, ListedItems(inventory, options.all), format, IsWin9xFamily(services.system));
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
    } catch (const PlatformError& e) {
        err << e.what() << '\n';
        return kExitFailed;
    }
    return kExitUsage;
}

} // namespace qb::cli
