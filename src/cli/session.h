#pragma once

#include "cli/host_system.h"
#include "session/startup_session.h"

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

// What every command starts from, as the main window starts: the system and the startup session on it,
// recovered and loaded, its entries marked where they differ from the accepted setting.
struct Session {
    std::unique_ptr<HostSystem> host;
    std::unique_ptr<StartupSession> startup; // made after the host, and gone before it

    PlatformServices Services() { return host->Services(); }
    Inventory& Items() { return startup->Items(); }
    // The backup file the command names, as a full path: a relative name is taken from the current folder
    // (Windows' profile functions would take it from the Windows folder), and messages say where it is.
    std::string BackupFile(const Options& options) { return Services().files.FullPath(options.backupFile); }
};

// nullptr, with the reason on err, when the system cannot be opened. A command that only reads the system
// loads it read-only: it removes nothing, not even a leftover twin copy.
std::unique_ptr<Session> Start(const Options& options, std::ostream& err,
                               LoadAccess access = LoadAccess::MayTidy);

} // namespace qb::cli
