// An apply killed at any point, by a fault plan that ends the process at its n-th change or by SIGKILL at a
// random moment, leaves a journal; the next start rolls it back or finishes it, and the system is then
// exactly as it was before the apply or exactly as the whole apply made it.

#include "backup/backup_file.h"
#include "changes/apply_journal.h"
#include "hardening/hardening_support.h"
#include "platform/sandbox/sandbox_system.h"
#include "support/startup_machine.h"

#include <csignal>
#include <gmock/gmock.h>
#include <functional>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace qb {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace qb::test;
using Machine = StartupMachine;

const std::string kKept = kTool + "\\ShortCutCurrUser";
const std::string kCuRunOnce = "Current User\\Registry\\RunOnce";

// Runs body in a child process and returns its exit status (128 + signal when killed).
int InChild(const std::function<void()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        try {
            body();
        } catch (...) {
            ::_exit(2);
        }
        ::_exit(0);
    }
    return WaitForChild(pid, 60s).value_or(-1);
}

// Everything the system holds, read afresh through a system opened anew: "name @ place +/- : command".
std::set<std::string> WholeSystemAt(const fs::path& root) {
    auto opened = sandbox::SandboxSystem::Open(root);
    auto& system = *std::get<std::unique_ptr<sandbox::SandboxSystem>>(opened);
    ProgramDatabase database(system.Files());
    CountingIconSink icons;
    Inventory inventory;
    LoadInventory(inventory, system.Services(), database, icons);
    std::set<std::string> out;
    for (const auto& item : inventory.Items) {
        out.insert(item->Name.str() + " @ " + item->Location.str() +
                   (item->State == ItemState::Enabled ? " + : " : " - : ") + item->Command.str() +
                   (item->Arguments.empty() ? "" : " " + item->Arguments.str()));
    }
    return out;
}

Recovery RecoverAt(const fs::path& root) {
    auto opened = sandbox::SandboxSystem::Open(root);
    auto& system = *std::get<std::unique_ptr<sandbox::SandboxSystem>>(opened);
    return RecoverInterruptedApply(system.Services());
}

// Files an apply leaves only while it runs: its journal, staged files, files set aside.
std::vector<std::string> Leftovers(const fs::path& root) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = entry.path().filename().string();
        if (name == "journal" || name.ends_with(".trash") || (name.starts_with("~qb") && name.ends_with(".tmp"))) {
            found.push_back(fs::relative(entry.path(), root).string());
        }
    }
    return found;
}

// Values and shortcuts moving every way at once: enabled, disabled, edited into the other kind of place,
// renamed, deleted, added, and a name freed and taken again.
void Seed(Machine& m) {
    m.root.Value(HKCU, CV + "RunDisabled", "Enable", "C:\\Apps\\app.exe /e")
        .Value(HKCU, CV + "Run", "Disable", "C:\\Apps\\app.exe /d")
        .Value(HKCU, CV + "Run", "ToShortcut", "C:\\Apps\\app.exe /s")
        .Value(HKCU, CV + "Run", "Delete", "C:\\Apps\\app.exe /x")
        .Value(HKCU, CV + "Run", "Freed", "C:\\Apps\\app.exe /f")
        .Value(HKCU, CV + "Run", "Taker", "C:\\Apps\\app.exe /t")
        .Shortcut(kUserStartup + "\\MenuOff.lnk", "C:\\Apps\\app.exe")
        .Shortcut(kUserStartup + "\\Renamed.lnk", "C:\\Apps\\app.exe")
        .Shortcut(kUserStartup + "\\ToValue.lnk", "C:\\Apps\\app.exe")
        .Shortcut(kUserStartup + "\\Gone.lnk", "C:\\Apps\\app.exe")
        .Shortcut(kCommonStartup + "\\Common.lnk", "C:\\Apps\\app.exe")
        .Shortcut(kKept + "\\MenuOn.lnk", "C:\\Apps\\app.exe");
}

void Mark(Machine& m) {
    m.Find("Enable", kCuRun).State = ItemState::Enabled;
    m.Find("Disable", kCuRun).State = ItemState::Disabled;
    m.Edit(m.Find("ToShortcut", kCuRun), "FromValue", "C:\\Apps\\app.exe /s", kCuMenu);
    m.Find("Delete", kCuRun).State = ItemState::Deleted;
    m.Find("Freed", kCuRun).State = ItemState::Deleted;
    m.Edit(m.Find("Taker", kCuRun), "Freed", "C:\\Apps\\app.exe /t", kCuRun);
    m.Find("MenuOff", kCuMenu).State = ItemState::Disabled;
    m.Edit(m.Find("Renamed", kCuMenu), "NewName", "C:\\Apps\\app.exe", kCuMenu);
    m.Edit(m.Find("ToValue", kCuMenu), "FromShortcut", "C:\\Apps\\app.exe", kCuRun);
    m.Find("Gone", kCuMenu).State = ItemState::Deleted;
    m.Edit(m.Find("Common", kLmMenu), "Common", "C:\\Apps\\app.exe", kCuMenu);
    m.Find("MenuOn", kCuMenu).State = ItemState::Enabled;
    m.Add("Added", "C:\\Apps\\app.exe /a", kCuRunOnce);
    m.Add("AddedLink", "C:\\Apps\\app.exe", kCuMenu);
}

// The apply of the marks, in this process, ending the process at its n-th change (never, for -1); returns
// how many changes it made.
int ApplyDyingAt(Machine& m, int dieAt) {
    m.Load();
    Mark(m);
    FaultPlan plan;
    int seen = 0;
    plan.FailWhen([&](const FaultPlan::Operation& operation) {
        if (operation.changesSystem && seen++ == dieAt) {
            ::_exit(9); // as a kill: no destructor, no rollback, no flush
        }
        return false;
    });
    FaultyMachineServices faulty(m.Services(), plan);
    m.Apply(faulty.Services());
    return seen;
}

} // namespace

// The process ends at each change of a mixed apply in turn, and then its recovery ends at a change of its
// own; a second recovery then puts the system exactly in the state before or after the apply, with nothing
// of the apply's own files left.
TEST(KilledApply, AnApplyEndedAtAnyChangeIsRolledBackOrFinishedWhole) {
    Watchdog watchdog(600s, "the killed applies");
    std::set<std::string> before, after;
    int changes = 0;
    {
        Machine m;
        Seed(m);
        before = WholeSystemAt(m.root.Path());
        changes = ApplyDyingAt(m, -1);
        after = WholeSystemAt(m.root.Path());
        ASSERT_THAT(m.NotChanged(), ::testing::ElementsAre());
        ASSERT_NE(before, after);
        ASSERT_THAT(Leftovers(m.root.Path()), ::testing::ElementsAre());
    }
    ASSERT_GT(changes, 20);
    std::mt19937 random(20261209);
    int rolledBack = 0, finished = 0;
    for (int dieAt = 0; dieAt < changes && !HasFailure(); ++dieAt) {
        SCOPED_TRACE("ended at change " + std::to_string(dieAt));
        watchdog.Doing("an apply ended at change " + std::to_string(dieAt));
        Machine m;
        Seed(m);
        ASSERT_EQ(InChild([&] { ApplyDyingAt(m, dieAt); }), 9);
        // The recovery itself is cut off at one of its first changes, then run whole.
        const int recoveryDiesAt = std::uniform_int_distribution<int>(0, 6)(random);
        InChild([&] {
            FaultPlan plan;
            int seen = 0;
            plan.FailWhen([&](const FaultPlan::Operation& operation) {
                if (operation.changesSystem && seen++ == recoveryDiesAt) {
                    ::_exit(9);
                }
                return false;
            });
            FaultyMachineServices faulty(m.Services(), plan);
            RecoverInterruptedApply(faulty.Services());
        });
        const Recovery recovery = RecoverAt(m.root.Path());
        EXPECT_NE(recovery, Recovery::Failed);
        const auto present = WholeSystemAt(m.root.Path());
        EXPECT_TRUE(present == before || present == after) << "neither the old nor the new system";
        (present == before ? rolledBack : finished) += 1;
        EXPECT_THAT(Leftovers(m.root.Path()), ::testing::ElementsAre());
        EXPECT_EQ(RecoverAt(m.root.Path()), Recovery::None);
    }
    std::printf("ended applies: %d rolled back, %d finished, of %d\n", rolledBack, finished, changes);
    EXPECT_GT(rolledBack, 0);
    EXPECT_GT(finished, 0);
}

namespace {

// A machine of hundreds of values and shortcuts, and a backup of quite another setting of it.
struct LargeRestore {
    static constexpr int kEach = 80;

    LargeRestore() {
        Machine now;
        Machine saved;
        for (int i = 0; i < kEach; ++i) {
            const std::string n = std::to_string(i);
            // Now: every entry enabled; saved: a third disabled, a third with another command, a third gone,
            // and as many that are not there now.
            now.root.Value(HKCU, CV + "Run", "Value " + n, "C:\\Apps\\app.exe /v" + n)
                .Shortcut(kUserStartup + "\\Link " + n + ".lnk", "C:\\Apps\\app.exe");
            if (i % 3 == 0) {
                saved.root.Value(HKCU, CV + "RunDisabled", "Value " + n, "C:\\Apps\\app.exe /v" + n)
                    .Shortcut(kKept + "\\Link " + n + ".lnk", "C:\\Apps\\app.exe");
            } else if (i % 3 == 1) {
                saved.root.Value(HKCU, CV + "Run", "Value " + n, "C:\\Apps\\app.exe /other" + n)
                    .Shortcut(kUserStartup + "\\Link " + n + ".lnk", "C:\\Apps\\other.exe");
            }
            saved.root.Value(HKCU, CV + "Run", "Saved " + n, "C:\\Apps\\app.exe /s" + n)
                .Shortcut(kUserStartup + "\\Saved link " + n + ".lnk", "C:\\Apps\\app.exe");
        }
        saved.root.File("C:\\Apps\\other.exe");
        saved.Load();
        backup = JoinPath(kTool, "backup\\saved.qbk");
        EXPECT_FALSE(WriteBackup(backup, saved.inventory, saved.Services()).empty());
        fs::copy(saved.root.Host(backup), now.root.Host(backup));
        now.root.File("C:\\Apps\\other.exe");
        before = Listed(now.root.Path());
        savedSetting = Listed(saved.root.Path());
        fs::copy(now.root.Path(), template_.Path() / "root", fs::copy_options::recursive);
    }

    // What `list --all --json` gives (after its start's recovery): "name @ place state : command".
    static std::set<std::string> Listed(const fs::path& root, std::string* err = nullptr) {
        const auto listed = RunCliHere({"--system-root", root.string(), "list", "--all", "--json"});
        if (err != nullptr) {
            *err = listed.err;
        }
        std::set<std::string> out;
        std::size_t rows = 0;
        for (const auto& row : nlohmann::json::parse(listed.out)) {
            ++rows;
            out.insert(row["name"].get<std::string>() + " @ " + row["location"].get<std::string>() + " " +
                       row["state"].get<std::string>() + " : " + row["command"].get<std::string>());
        }
        if (rows != out.size()) {
            out.insert("(an entry is listed twice)");
        }
        return out;
    }

    // A fresh copy of the machine as it is now.
    fs::path Fresh(const TempDir& dir) const {
        const fs::path root = dir.Path() / "root";
        fs::remove_all(root);
        fs::copy(template_.Path() / "root", root, fs::copy_options::recursive);
        return root;
    }

    std::string backup;
    std::set<std::string> before, savedSetting;

private:
    TempDir template_;
};

} // namespace

// The command line's restore of hundreds of values and shortcuts, killed at random moments: the next start
// of the program puts the machine exactly as it was or exactly as the backup holds it.
TEST(KilledApply, ARestoreKilledAtRandomLeavesTheOldOrTheSavedSettingWhole) {
    Watchdog watchdog(900s, "killed restores");
    LargeRestore machine;
    ASSERT_NE(machine.before, machine.savedSetting);
    TempDir dir;
    const fs::path log = dir.Path() / "cli.log";

    // How long a whole restore takes, so that kills land before, during and after its work.
    fs::path root = machine.Fresh(dir);
    const auto started = std::chrono::steady_clock::now();
    const pid_t whole = StartCli({"--system-root", root.string(), "restore", machine.backup, "--no-backup"}, log);
    ASSERT_EQ(WaitForChild(whole, 300s), 0) << ReadText(log);
    const auto duration = std::chrono::steady_clock::now() - started;
    ASSERT_EQ(LargeRestore::Listed(root), machine.savedSetting);

    std::mt19937 random(4711);
    std::uniform_int_distribution<long long> delay(
        0, std::chrono::duration_cast<std::chrono::microseconds>(duration).count() * 5 / 4);
    int untouched = 0, restored = 0, recovered = 0;
#ifdef QB_SLOWED_BY_SANITIZERS
    constexpr int kRounds = 6;
#else
    constexpr int kRounds = 16;
#endif
    for (int round = 1; round <= kRounds && !HasFailure(); ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        watchdog.Doing("a killed restore, round " + std::to_string(round));
        root = machine.Fresh(dir);
        const pid_t pid = StartCli({"--system-root", root.string(), "restore", machine.backup, "--no-backup"}, log);
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        ::kill(pid, SIGKILL);
        ASSERT_TRUE(WaitForChild(pid, 60s)) << "the restore did not end when killed";
        std::string said;
        const auto present = LargeRestore::Listed(root, &said);
        recovered += said.find("cut off") != std::string::npos ? 1 : 0;
        if (present == machine.before) {
            ++untouched;
        } else if (present == machine.savedSetting) {
            ++restored;
        } else {
            ADD_FAILURE() << "neither the old nor the saved setting; the start said: " << said;
        }
        EXPECT_THAT(Leftovers(root), ::testing::ElementsAre());
    }
    std::printf("killed restores: %d left the machine as it was, %d restored, %d recovered at the next start "
                "(a restore takes %lld ms)\n",
                untouched, restored, recovered,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(duration).count()));
    // Kills that never met a restore at work would prove nothing.
    EXPECT_GT(recovered, 0);
}

} // namespace qb
