#pragma once

#include "cli/cli_app.h"
#include "support/sandbox_root.h"

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace qb::cli {

// What one run of the command line gave.
struct Result {
    int status;
    std::string out;
    std::string err;
};

// Runs quillbrook-cli in this process with the arguments, as a shell would start it.
inline Result RunCli(std::vector<std::string> args) {
    args.insert(args.begin(), "quillbrook-cli");
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    std::ostringstream out, err;
    const int status = Run(static_cast<int>(argv.size()), argv.data(), out, err);
    return {status, out.str(), err.str()};
}

// A sandbox machine with the current user's startup folder registered and the tool's backup folder, driven
// through the command line.
struct CliMachine {
    static constexpr const char* kStartup =
        "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
    explicit CliMachine(const std::string& settings = "") {
        if (!settings.empty()) {
            root.Settings(settings);
        }
        root.Folder("C:\\Program Files\\Quillbrook\\backup")
            .Folder(kStartup)
            .Value(RegistryRoot::CurrentUser,
                   "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Startup",
                   kStartup);
    }
    Result Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--system-root", root.Path().string()});
        return RunCli(args);
    }
    // Every entry list --json gives with the extra arguments: "name @ location state : command".
    std::vector<std::string> Listed(std::vector<std::string> filter = {"--all"}) {
        std::vector<std::string> args{"list", "--json"};
        args.insert(args.end(), filter.begin(), filter.end());
        const auto listed = nlohmann::json::parse(Run(args).out);
        std::vector<std::string> out;
        for (const auto& entry : listed) {
            out.push_back(entry["name"].get<std::string>() + " @ " + entry["location"].get<std::string>() +
                          " " + entry["state"].get<std::string>() + " : " +
                          entry["command"].get<std::string>());
        }
        return out;
    }
    test::SandboxRoot root;
};

} // namespace qb::cli
