#include "cli/cli_app.h"

#include "backup/backup_file.h"
#include "cli/change_commands.h"
#include "cli/list_output.h"
#include "cli/session.h"
#include "cli/watch_commands.h"
#include "inventory/process_scan.h"
#include "inventory/shortcut_names.h"
#include "inventory/startup_location.h"
#include "knowledge/ratings.h"
#include "platform/platform_error.h"
#include "platform/text.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <functional>
#include <optional>
#include <ostream>

namespace qb::cli {

namespace {

// The rating a --rating text names: the filter's item or the list's column text, in any letter case.
std::optional<Rating> RatingNamed(std::string_view text) {
    const auto items = RatingFilterItems();
    for (std::size_t i = 1; i < items.size(); ++i) {
        const auto rating = static_cast<Rating>(i);
        if (EqualsIgnoreCase(text, items[i]) || EqualsIgnoreCase(text, RatingText(rating))) {
            return rating;
        }
    }
    return std::nullopt;
}

int List(const Options& options, std::ostream& out, std::ostream& err) {
    if (options.locationFilter) {
        if (auto problem = CheckPlace(*options.locationFilter, false, "--location", err)) {
            return *problem;
        }
    }
    std::optional<Rating> rating;
    if (options.ratingFilter) {
        rating = RatingNamed(*options.ratingFilter);
        if (!rating) {
            err << "Unknown rating \"" << *options.ratingFilter << "\". The ratings:\n";
            const auto items = RatingFilterItems();
            for (std::size_t i = 1; i < items.size(); ++i) {
                err << "  " << items[i] << '\n';
            }
            return kExitUsage;
        }
    }
    auto session = Start(options, err, LoadAccess::ReadOnly); // a list changes nothing
    if (!session) {
        return kExitFailed;
    }
    const ListFormat format = options.json  ? ListFormat::Json
                              : options.csv ? ListFormat::Csv
                                            : ListFormat::Table;
    // A place asked for by name is listed even when no tree node shows it.
    auto items = ListedItems(session->Items(), options.all || options.locationFilter.has_value());
    // What changed includes what is gone: rows made of the accepted setting's entries, marked removed.
    std::vector<StartupItem> gone;
    if (options.changesOnly) {
        const auto& removed = session->startup->Watch().Removed();
        gone.reserve(removed.size());
        for (const SavedEntry& entry : removed) {
            gone.push_back(RecordOf(entry));
            gone.back().Change = ChangeMark::Removed;
        }
        for (const StartupItem& row : gone) {
            items.push_back(&row);
        }
    }
    std::erase_if(items, [&](const StartupItem* item) {
        return (options.locationFilter && item->Location != *options.locationFilter) ||
               (rating && item->Rating != *rating) || (options.changesOnly && item->Change == ChangeMark::None);
    });
    if (format == ListFormat::Csv) {
        KeepLineEnds(out);
    }
    PrintList(out, items, format, IsWin9xFamily(session->Services().system));
    return kExitOk;
}

// A backup of the current setting, recorded in the backup index as the dialog's New Backup records it.
int Backup(const Options& options, std::ostream& out, std::ostream& err) {
    if (NamesReservedDevice(options.backupFile)) {
        err << "\"" << options.backupFile << "\" names a device Windows reserves, not a file.\n";
        return kExitFailed;
    }
    auto session = Start(options, err, LoadAccess::ReadOnly);
    if (!session) {
        return kExitFailed;
    }
    const std::string file = session->BackupFile(options);
    const std::string time = session->startup->Backup(file);
    out << "Backed up " << session->Items().LoadedItems.size() << " entries to " << file << " (" << time
        << ").\n";
    return kExitOk;
}

} // namespace

int Run(int argc, char** argv, std::ostream& out, std::ostream& err) {
    CLI::App app{"Quillbrook: what Windows starts automatically, listed and changed.", "quillbrook-cli"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("quillbrook-cli ") + QB_VERSION);
    Options options;
    app.add_option("--system-root", options.systemRoot, SystemRootHelp());

    // Each command registers with its options what it runs.
    std::function<int()> action;
    const auto runs = [&](CLI::App* command, std::function<int()> f) {
        command->callback([&action, f = std::move(f)] { action = f; });
    };

    CLI::App* list =
        app.add_subcommand("list", "List the startup entries as the main window's All Programs shows them");
    list->add_flag("--all", options.all, "Kept for older scripts: every place is listed");
    auto* json = list->add_flag("--json", options.json, "Print a JSON array");
    auto* csv = list->add_flag("--csv", options.csv, "Print comma-separated values");
    json->excludes(csv);
    list->add_option("--location", options.locationFilter,
                     "Only the entries of this place, as a tree node lists it");
    list->add_option(
        "--rating", options.ratingFilter,
        "Only the entries of this rating (Required, User's Choice, Not required, Harmful, Unknown)");
    list->add_flag("--changes", options.changesOnly,
                   "Only the entries that are new, returned, changed or removed since the setting was last "
                   "accepted");
    runs(list, [&] { return List(options, out, err); });

    const auto entryOptions = [&](CLI::App* command) {
        command->add_option("--name", options.name, "The entry's name")->required();
        command
            ->add_option("--location", options.location,
                         "The entry's place, for example \"Current User\\Registry\\Run\"")
            ->required();
        command->add_flag("--no-backup", options.noBackup, "Make no automatic backup first");
        command->add_flag("--json", options.json, "Print the result as one JSON object");
    };
    CLI::App* enable = app.add_subcommand("enable", "Enable an entry and apply");
    entryOptions(enable);
    runs(enable, [&] { return ChangeState(options, ItemState::Enabled, out, err); });
    CLI::App* disable = app.add_subcommand("disable", "Disable an entry and apply");
    entryOptions(disable);
    runs(disable, [&] { return ChangeState(options, ItemState::Disabled, out, err); });
    CLI::App* remove = app.add_subcommand("delete", "Delete an entry and apply");
    entryOptions(remove);
    runs(remove, [&] { return ChangeState(options, ItemState::Deleted, out, err); });

    CLI::App* add = app.add_subcommand("add", "Add an entry and apply");
    entryOptions(add);
    add->add_option("--command", options.command, "The command line")->required();
    add->add_flag("--disabled", options.disabled, "Add it disabled");
    runs(add, [&] { return AddEntryCommand(options, out, err); });

    CLI::App* edit = app.add_subcommand("edit", "Rename an entry, change its command or move it, and apply");
    entryOptions(edit);
    edit->add_option("--new-name", options.newName, "The entry's new name");
    edit->add_option("--new-command", options.newCommand, "The entry's new command line");
    edit->add_option("--new-location", options.newLocation, "The place to move the entry to");
    runs(edit, [&] { return EditEntryCommand(options, out, err); });

    CLI::App* restore = app.add_subcommand("restore", "Load a backup file as the startup setting and apply");
    restore
        ->add_option("FILE", options.backupFile,
                     "The backup file: a full path (C:\\...), or a name in the current folder")
        ->required();
    restore->add_flag("--no-backup", options.noBackup, "Make no automatic backup first");
    restore->add_flag("--json", options.json, "Print the result as one JSON object");
    runs(restore, [&] { return RestoreCommand(options, out, err); });

    CLI::App* backup = app.add_subcommand("backup", "Write a backup of the current startup setting");
    backup
        ->add_option("FILE", options.backupFile,
                     "The backup file: a full path (C:\\...), or a name in the current folder")
        ->required();
    runs(backup, [&] { return Backup(options, out, err); });

    CLI::App* compare = app.add_subcommand(
        "compare", "Compare the startup setting with a backup file (exit 3 when they differ)");
    compare
        ->add_option("FILE", options.backupFile,
                     "The backup file: a full path (C:\\...), or a name in the current folder")
        ->required();
    compare->add_flag("--json", options.json, "Print the differences as one JSON object");
    runs(compare, [&] { return CompareCommand(options, out, err); });

    CLI::App* accept = app.add_subcommand(
        "accept", "Accept the startup setting as it is: the marks of new, returned and changed entries clear");
    runs(accept, [&] { return AcceptCommand(options, out, err); });

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
        if (action) {
            return action();
        }
    } catch (const PlatformError& e) {
        err << e.what() << '\n';
        return kExitFailed;
    }
    return kExitUsage;
}

} // namespace qb::cli
