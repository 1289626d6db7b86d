#pragma once

#include "baseline/change_watch.h"
#include "cli/host_system.h"
#include "inventory/icon_sink.h"
#include "inventory/startup_item.h"
#include "inventory/startup_scan.h"
#include "knowledge/program_database.h"

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

namespace qb::cli {

// Everything a command line may say, as parsed.
struct Options {
    std::optional<std::string> systemRoot;
    std::string backupFile;
    std::string name;
    std::string command;
    std::string location;
    std::optional<std::string> newName;
    std::optional<std::string> newCommand;
    std::optional<std::string> newLocation;
    std::optional<std::string> locationFilter;
    std::optional<std::string> ratingFilter;
    bool disabled = false;
    bool noBackup = false;
    bool all = false;
    bool json = false;
    bool csv = false;
    bool changesOnly = false;
};

// What every command starts from, as the main window starts: the system, the program database, the
// "backup" folder, and a full load with its entries marked where they differ from the accepted setting.
struct Session {
    std::unique_ptr<HostSystem> host;
    std::unique_ptr<ProgramDatabase> database;
    Inventory inventory;
    CountingIconSink icons;
    std::unique_ptr<ChangeWatch> watch;

    PlatformServices Services() { return host->Services(); }
};

// nullptr, with the reason on err, when the system cannot be opened. A command that only reads the system
// loads it read-only: it removes nothing, not even a leftover twin copy.
std::unique_ptr<Session> Start(const Options& options, std::ostream& err,
                               LoadAccess access = LoadAccess::MayTidy);

} // namespace qb::cli
