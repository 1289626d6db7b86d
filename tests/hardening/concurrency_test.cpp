#include "hardening/hardening_support.h"
#include "support/process_guard.h"
#include "support/sandbox_root.h"

#include <gtest/gtest.h>
#include <latch>
#include <nlohmann/json.hpp>

namespace qb {

namespace {

using namespace std::chrono_literals;

const std::string kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kUserRun = "Current User\\Registry\\Run";
constexpr int kChangesEach = 100;

std::string EntryName(char process, int i) {
    return std::string("Entry ") + process + std::to_string(i);
}

// One CLI process's command for its i-th change in a phase.
using PhaseCommand = std::vector<std::string> (*)(const std::string& root, char process, int i);

struct Phase {
    const char* what;
    PhaseCommand command;
    const char* stateAfter; // of every entry of both processes
};

const Phase kPhases[] = {
    {"each adds its own entries",
     [](const std::string& root, char process, int i) {
         return std::vector<std::string>{"--system-root",
                                         root,
                                         "add",
                                         "--name",
                                         EntryName(process, i),
                                         "--command",
                                         "C:\\Apps\\" + EntryName(process, i) + ".exe /run",
                                         "--location",
                                         kUserRun,
                                         "--no-backup"};
     },
     "Enabled"},
    {"each disables its own entries",
     [](const std::string& root, char process, int i) {
         return std::vector<std::string>{"--system-root",       root,         "disable", "--name",
                                         EntryName(process, i), "--location", kUserRun,  "--no-backup"};
     },
     "Disabled"},
    {"each enables its own entries again",
     [](const std::string& root, char process, int i) {
         return std::vector<std::string>{"--system-root",       root,         "enable", "--name",
                                         EntryName(process, i), "--location", kUserRun, "--no-backup"};
     },
     "Enabled"},
};

// Runs one phase: two driver threads start their CLI processes at the same moment, one after another
// each, and return what failed.
std::vector<std::string> RunPhase(const Phase& phase, const std::filesystem::path& root) {
    std::latch start(2);
    std::mutex mutex;
    std::vector<std::string> failures;
    const auto drive = [&](char process) {
        const auto log = root.parent_path() / (root.filename().string() + "-" + process + ".log");
        start.arrive_and_wait();
        for (int i = 0; i < kChangesEach; ++i) {
            const pid_t pid = test::StartCli(phase.command(root.string(), process, i), log);
            const test::ProcessGuard guard(pid);
            const auto status = pid > 0 ? test::WaitForChild(pid, 30s) : std::nullopt;
            if (status != 0) {
                std::lock_guard lock(mutex);
                failures.push_back(EntryName(process, i) + ": status " +
                                   (status ? std::to_string(*status) : std::string("none")) + ": " +
                                   test::ReadText(log));
            }
        }
        std::filesystem::remove(log);
    };
    std::thread a(drive, 'A');
    std::thread b(drive, 'B');
    a.join();
    b.join();
    return failures;
}

} // namespace

// Every CLI command is a load, a change and an apply of its own; two of them working on one sandbox root at
// once must see each other's writes: the registry file is changed under its lock, and an entry that moves
// between a run key and its twin is never seen in both by the other's load, which would take the twin's
// copy away.
TEST(Concurrency, TwoCliProcessesApplyingAHundredChangesEachLoseNone) {
    test::Watchdog watchdog(240s, "the concurrency phases");
    test::SandboxRoot root;
    root.Folder("C:\\Program Files\\Quillbrook\\backup")
        .Value(RegistryRoot::CurrentUser, kRun, "Bystander", "C:\\Apps\\bystander.exe");

    for (const Phase& phase : kPhases) {
        SCOPED_TRACE(phase.what);
        watchdog.Doing(phase.what);
        const auto failures = RunPhase(phase, root.Path());
        EXPECT_TRUE(failures.empty())
            << failures.size() << " commands failed; the first: " << failures.front();

        const auto listed =
            test::RunCliHere({"--system-root", root.Path().string(), "list", "--all", "--json"});
        ASSERT_EQ(listed.status, 0) << listed.err;
        std::map<std::string, std::string> states; // name -> state, a name listed twice counted below
        int rows = 0;
        for (const auto& row : nlohmann::json::parse(listed.out)) {
            ++rows;
            states[row["name"].get<std::string>()] = row["state"].get<std::string>();
        }
        std::vector<std::string> lost, wrong;
        for (const char process : {'A', 'B'}) {
            for (int i = 0; i < kChangesEach; ++i) {
                const auto it = states.find(EntryName(process, i));
                if (it == states.end()) {
                    lost.push_back(EntryName(process, i));
                } else if (it->second != phase.stateAfter) {
                    wrong.push_back(EntryName(process, i));
                }
            }
        }
        EXPECT_TRUE(lost.empty()) << lost.size() << " entries lost, e.g. " << lost.front();
        EXPECT_TRUE(wrong.empty()) << wrong.size() << " entries not " << phase.stateAfter << ", e.g. "
                                   << wrong.front();
        EXPECT_EQ(states["Bystander"], "Enabled");
        EXPECT_EQ(rows, 2 * kChangesEach + 1) << "an entry is listed twice";
        if (HasFailure()) {
            break;
        }
    }
}

} // namespace qb
