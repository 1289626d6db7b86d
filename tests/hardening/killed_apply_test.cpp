// An apply killed at any point, by a fault plan that ends the process at its n-th change or by SIGKILL at a
// random moment, leaves a journal; the next start rolls it back or finishes it, and the system is then
// exactly as it was before the apply or exactly as the whole apply made it.

#include "backup/backup_file.h"
#include "backup/backup_index.h"
#include "changes/apply_journal.h"
#include "hardening/hardening_support.h"
#include "platform/sandbox/sandbox_system.h"
#include "support/paths.h"
#include "support/process_guard.h"
#include "support/startup_machine.h"

#include <csignal>
#include <functional>
#include <gmock/gmock.h>
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
    const ProcessGuard guard(pid);
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

// RunOnceEx and its twin whole, titles and empty keys too: "key|name=data" (a key without values as "key|").
std::set<std::string> SectionKeysAt(const fs::path& root) {
    auto opened = sandbox::SandboxSystem::Open(root);
    auto& system = *std::get<std::unique_ptr<sandbox::SandboxSystem>>(opened);
    Registry& registry = system.Services().registry;
    std::set<std::string> out;
    std::function<void(const std::string&)> dump = [&](const std::string& path) {
        const auto key = registry.OpenForReading(HKLM, path);
        if (!key) {
            return;
        }
        out.insert(path + "|");
        for (const std::string& name : key->ValueNames()) {
            out.insert(path + "|" + name + "=" + key->ReadValue(name)->data);
        }
        for (const std::string& sub : key->SubkeyNames()) {
            dump(path + "\\" + sub);
        }
    };
    dump(CV + "RunOnceEx");
    dump(CV + "RunOnceExDisabled");
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
        if (name == "journal" || name.ends_with(".trash") ||
            (name.starts_with("~qb") && name.ends_with(".tmp"))) {
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
        .Shortcut(kKept + "\\MenuOn.lnk", "C:\\Apps\\app.exe")
        // RunOnceEx's titled sections: a command disabled and one deleted, each its section's only one.
        .Value(HKLM, CV + "RunOnceEx", "Title", "Setup")
        .Value(HKLM, CV + "RunOnceEx\\0001", "", "Fonts")
        .Value(HKLM, CV + "RunOnceEx\\0001", "DisableEx", "||C:\\Apps\\app.exe /dx")
        .Value(HKLM, CV + "RunOnceEx\\0002", "", "Drivers")
        .Value(HKLM, CV + "RunOnceEx\\0002", "DeleteEx", "C:\\Apps\\app.exe /xx")
        .Value(HKLM, CV + "RunOnceExDisabled\\0003", "", "Later")
        .Value(HKLM, CV + "RunOnceExDisabled\\0003", "EnableEx", "C:\\Apps\\app.exe /ex");
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
    m.Find("0001\\DisableEx", kLmOnceEx).State = ItemState::Disabled;
    m.Find("0002\\DeleteEx", kLmOnceEx).State = ItemState::Deleted;
    m.Find("0003\\EnableEx", kLmOnceEx).State = ItemState::Enabled;
    m.Add("0004\\AddedEx", "||C:\\Apps\\app.exe /ax", kLmOnceEx);
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
    std::set<std::string> before, after, keysBefore, keysAfter;
    int changes = 0;
    {
        Machine m;
        Seed(m);
        before = WholeSystemAt(m.root.Path());
        keysBefore = SectionKeysAt(m.root.Path());
        changes = ApplyDyingAt(m, -1);
        after = WholeSystemAt(m.root.Path());
        keysAfter = SectionKeysAt(m.root.Path());
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
        // Sections' titles and the keys made by the apply go back or stay with the entries.
        EXPECT_EQ(SectionKeysAt(m.root.Path()), present == before ? keysBefore : keysAfter);
        (present == before ? rolledBack : finished) += 1;
        EXPECT_THAT(Leftovers(m.root.Path()), ::testing::ElementsAre());
        EXPECT_EQ(RecoverAt(m.root.Path()), Recovery::None);
    }
    std::printf("ended applies: %d rolled back, %d finished, of %d\n", rolledBack, finished, changes);
    EXPECT_GT(rolledBack, 0);
    EXPECT_GT(finished, 0);
}

namespace {

// What `list --all --json` gives (after its start's recovery): name @ place -> "state : command", a name
// listed twice marked so; what the start said goes to err.
std::map<std::string, std::string> ListedForms(const fs::path& root, std::string* err = nullptr) {
    const auto listed = RunCliHere({"--system-root", root.string(), "list", "--all", "--json"});
    if (err != nullptr) {
        *err = listed.err;
    }
    std::map<std::string, std::string> forms;
    for (const auto& row : nlohmann::json::parse(listed.out)) {
        const std::string name = row["name"].get<std::string>() + " @ " + row["location"].get<std::string>();
        const std::string form = row["state"].get<std::string>() + " : " + row["command"].get<std::string>();
        forms[name] = forms.contains(name) ? "(listed twice)" : form;
    }
    return forms;
}

// A machine of values and shortcuts (hundreds by default), and a backup of quite another setting of it.
struct LargeRestore {
    explicit LargeRestore(int each = 80) {
        Machine now;
        Machine saved;
        for (int i = 0; i < each; ++i) {
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
        before = ListedForms(now.root.Path());
        savedSetting = ListedForms(saved.root.Path());
        fs::copy(now.root.Path(), template_.Path() / "root", fs::copy_options::recursive);
    }

    // A fresh copy of the machine as it is now, as "root" in the folder.
    fs::path Fresh(const fs::path& folder) const {
        const fs::path root = folder / "root";
        fs::remove_all(root);
        fs::copy(template_.Path() / "root", root, fs::copy_options::recursive);
        return root;
    }

    std::string backup;
    std::map<std::string, std::string> before, savedSetting;

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
    fs::path root = machine.Fresh(dir.Path());
    const auto started = std::chrono::steady_clock::now();
    const pid_t whole =
        StartCli({"--system-root", root.string(), "restore", machine.backup, "--no-backup"}, log);
    const ProcessGuard wholeGuard(whole);
    ASSERT_EQ(WaitForChild(whole, 300s), 0) << ReadText(log);
    const auto duration = std::chrono::steady_clock::now() - started;
    ASSERT_EQ(ListedForms(root), machine.savedSetting);

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
        root = machine.Fresh(dir.Path());
        const pid_t pid =
            StartCli({"--system-root", root.string(), "restore", machine.backup, "--no-backup"}, log);
        const ProcessGuard guard(pid);
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        ::kill(pid, SIGKILL);
        ASSERT_TRUE(WaitForChild(pid, 60s)) << "the restore did not end when killed";
        std::string said;
        const auto present = ListedForms(root, &said);
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
    std::printf(
        "killed restores: %d left the machine as it was, %d restored, %d recovered at the next start "
        "(a restore takes %lld ms)\n",
        untouched, restored, recovered,
        static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(duration).count()));
    // Kills that never met a restore at work would prove nothing.
    EXPECT_GT(recovered, 0);
}

// Two restores of two backups started at the same moment, in two processes: one waits for the other, and
// then changes only what is still as it loaded it. Every entry is there exactly once afterwards.
TEST(Concurrency, TwoRestoresAtOnceLeaveEveryEntryOnce) {
    Watchdog watchdog(600s, "two restores at once");
    constexpr int kEach = 60;
    Machine now, first, second;
    for (int i = 0; i < kEach; ++i) {
        const std::string n = std::to_string(i);
        now.root.Value(HKCU, CV + "Run", "Value " + n, "C:\\Apps\\app.exe /v" + n)
            .Shortcut(kUserStartup + "\\Link " + n + ".lnk", "C:\\Apps\\app.exe");
        // Both backups hold every entry that is there now, each in another form, and entries of their own.
        first.root.Value(HKCU, CV + "RunDisabled", "Value " + n, "C:\\Apps\\app.exe /v" + n)
            .Shortcut(kKept + "\\Link " + n + ".lnk", "C:\\Apps\\app.exe")
            .Value(HKCU, CV + "Run", "First " + n, "C:\\Apps\\app.exe /1")
            .Shortcut(kUserStartup + "\\First link " + n + ".lnk", "C:\\Apps\\app.exe");
        second.root.Value(HKCU, CV + "Run", "Value " + n, "C:\\Apps\\app.exe /second" + n)
            .Shortcut(kUserStartup + "\\Link " + n + ".lnk", "C:\\Apps\\second.exe")
            .Value(HKCU, CV + "Run", "Second " + n, "C:\\Apps\\app.exe /2")
            .Shortcut(kUserStartup + "\\Second link " + n + ".lnk", "C:\\Apps\\app.exe");
    }
    now.root.File("C:\\Apps\\second.exe");
    second.root.File("C:\\Apps\\second.exe");
    const std::string firstBackup = JoinPath(kTool, "backup\\first.qbk");
    const std::string secondBackup = JoinPath(kTool, "backup\\second.qbk");
    first.Load();
    WriteBackup(firstBackup, first.inventory, first.Services());
    second.Load();
    WriteBackup(secondBackup, second.inventory, second.Services());
    fs::copy(first.root.Host(firstBackup), now.root.Host(firstBackup));
    fs::copy(second.root.Host(secondBackup), now.root.Host(secondBackup));
    const fs::path root = now.root.Path();
    ASSERT_EQ(ListedForms(root).size(), 2u * kEach);

    TempDir logs;
    const pid_t a = StartCli({"--system-root", root.string(), "restore", firstBackup, "--no-backup"},
                             logs.Path() / "first.log");
    const pid_t b = StartCli({"--system-root", root.string(), "restore", secondBackup, "--no-backup"},
                             logs.Path() / "second.log");
    const ProcessGuard guardA(a), guardB(b);
    const auto statusA = WaitForChild(a, 300s);
    const auto statusB = WaitForChild(b, 300s);
    ASSERT_TRUE(statusA && statusB) << "a restore did not end";
    EXPECT_TRUE(*statusA == 0 || *statusB == 0)
        << ReadText(logs.Path() / "first.log") << ReadText(logs.Path() / "second.log");
    EXPECT_LE(*statusA, 1);
    EXPECT_LE(*statusB, 1);

    const auto names = ListedForms(root);
    std::vector<std::string> wrong;
    for (int i = 0; i < kEach; ++i) {
        const std::string n = std::to_string(i);
        for (const std::string& name :
             {"Value " + n + " @ " + kCuRun, "Link " + n + " @ " + kCuMenu, "First " + n + " @ " + kCuRun,
              "First link " + n + " @ " + kCuMenu, "Second " + n + " @ " + kCuRun,
              "Second link " + n + " @ " + kCuMenu}) {
            const auto found = names.find(name);
            if (found == names.end() || found->second == "(listed twice)") {
                wrong.push_back(name + (found == names.end() ? " is gone" : " is listed twice"));
            }
        }
    }
    EXPECT_THAT(wrong, ::testing::ElementsAre());
    EXPECT_EQ(names.size(), 6u * kEach);
}

namespace {

// A small file system of its own, mounted for one test; empty when this process may not mount.
class SmallDisk {
public:
    explicit SmallDisk(const std::string& size) {
        const std::string command =
            "mount -t tmpfs -o size=" + size + " tmpfs '" + dir_.Path().string() + "' 2>/dev/null";
        mounted_ = std::system(command.c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) {
            std::system(("umount '" + dir_.Path().string() + "'").c_str());
        }
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool Mounted() const { return mounted_; }
    const fs::path& Path() const { return dir_.Path(); }

    // Fills the disk but for about that many bytes; nothing when the filler is let go.
    void LeaveFree(std::uintmax_t bytes) {
        const fs::path filler = dir_.Path() / "filler";
        fs::remove(filler);
        const std::uintmax_t available = fs::space(dir_.Path()).available;
        if (available > bytes) {
            std::FILE* file = std::fopen(filler.c_str(), "wb");
            const std::string block(4096, 'f');
            for (std::uintmax_t left = available - bytes; file != nullptr && left >= block.size();
                 left -= block.size()) {
                std::fwrite(block.data(), 1, block.size(), file);
            }
            if (file != nullptr) {
                std::fclose(file);
            }
        }
    }
    void LetGo() { fs::remove(dir_.Path() / "filler"); }

private:
    TempDir dir_;
    bool mounted_ = false;
};

} // namespace

// A restore on a disk with no room, then with a little more room each time, each try starting from what the
// last one left: no entry is ever lost or doubled, each is in its old or its new form, and once there is room
// the restore ends exactly at the saved setting.
TEST(FullDisk, ARestoreOnAFullDiskLosesNothingAndEndsWholeOnceThereIsRoom) {
    Watchdog watchdog(600s, "restores on a full disk");
    SmallDisk disk("8m");
    if (!disk.Mounted()) {
        GTEST_SKIP() << "this process may not mount a small file system (tmpfs), so no disk can be filled";
    }
    const LargeRestore machine(25);
    const std::string& backup = machine.backup;
    const fs::path root = machine.Fresh(disk.Path());
    const auto& before = machine.before;
    const auto& wanted = machine.savedSetting;
    ASSERT_EQ(before.size(), 50u);

    int refused = 0;
    bool done = false;
    for (std::uintmax_t room = 0; room <= 1024 * 1024 && !done && !HasFailure(); room += 8 * 1024) {
        SCOPED_TRACE("room " + std::to_string(room));
        disk.LeaveFree(room);
        const auto restore = RunCliHere({"--system-root", root.string(), "restore", backup, "--no-backup"});
        disk.LetGo();
        refused += restore.status != 0 ? 1 : 0;
        const auto present = ListedForms(root);
        // Each entry in its old or its new form; one that both settings hold is never gone.
        std::map<std::string, std::set<std::string>> forms;
        for (const auto* setting : {&before, &wanted}) {
            for (const auto& [name, form] : *setting) {
                forms[name].insert(form);
            }
        }
        std::vector<std::string> wrong;
        for (const auto& [name, allowed] : forms) {
            const auto found = present.find(name);
            if (found == present.end() ? before.contains(name) && wanted.contains(name)
                                       : !allowed.contains(found->second)) {
                wrong.push_back(name + ": " + (found == present.end() ? "gone" : found->second));
            }
        }
        EXPECT_THAT(wrong, ::testing::ElementsAre()) << restore.err;
        for (const auto& [name, form] : present) {
            EXPECT_TRUE(before.contains(name) || wanted.contains(name)) << "a stray entry " << name;
        }
        done = restore.status == 0 && present == wanted;
    }
    EXPECT_TRUE(done) << "the restore never ended at the saved setting";
    EXPECT_GT(refused, 0) << "no try met a full disk";
    std::printf("restores on a full disk: %d refused before one had room\n", refused);
}

// The automatic backup is the only copy of the system as it was before an apply: it is written and
// recorded in the backup index before the apply's first change, so an apply killed at once leaves it found.
TEST(KilledApply, AnApplyKilledAtItsFirstChangeLeavesItsAutomaticBackupIndexed) {
    Machine m;
    Seed(m);
    ASSERT_EQ(InChild([&] {
                  m.Load();
                  Mark(m);
                  FaultPlan plan;
                  plan.FailWhen([](const FaultPlan::Operation& operation) {
                      if (operation.name == "files.append") {
                          ::_exit(9); // the journal's first line: nothing of the apply is done yet
                      }
                      return false;
                  });
                  FaultyMachineServices faulty(m.Services(), plan);
                  m.Apply(faulty.Services(), true);
              }),
              9);
    const auto index = ReadBackupIndex(m.Services().registry);
    ASSERT_EQ(index.size(), 1u);
    EXPECT_EQ(index[0].filePath, kTool + "\\backup\\Auto-1.qbk");
    EXPECT_TRUE(m.Exists(index[0].filePath));
    EXPECT_EQ(RecoverAt(m.root.Path()), Recovery::None); // killed before the journal's first line
}

} // namespace qb
