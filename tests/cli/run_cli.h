#pragma once

#include "cli/cli_app.h"
#include "support/sandbox_root.h"

#include <gtest/gtest.h>
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

// A command the tool refuses: its exit status, the first line of what it says on stderr.
struct Refusal {
    std::vector<std::string> args;
    int status;
    std::string firstLine;
};

// Runs each refused command on a machine of its own and checks that it is refused as said and that every
// entry is as it was.
template <typename Machine> void ExpectRefusedChangingNothing(const std::vector<Refusal>& refusals) {
    for (const auto& c : refusals) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        Machine m;
        const auto before = m.Listed();
        const auto result = m.Run(c.args);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.err.substr(0, result.err.find('\n')), c.firstLine);
        EXPECT_EQ(m.Listed(), before);
    }
}

} // namespace qb::cli
