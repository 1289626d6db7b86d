#include "changes/apply_journal.h"
#include "changes/pending_changes.h"
#include "knowledge/ratings.h"
#include "platform/platform_error.h"
#include "session/startup_session.h"
#include "support/startup_machine.h"

#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

namespace qb {
namespace {

using test::kCuMenu;
using test::kCuRun;
using test::kUserStartup;
using test::StartupMachine;
using ::testing::IsEmpty;

const std::string kRun = test::CV + "Run";

// A machine with a run-key entry and a startup-folder shortcut, both enabled.
struct Machine : StartupMachine {
    Machine() {
        root.Value(test::HKCU, kRun, "Alpha", "C:\\Apps\\app.exe /a")
            .Shortcut(kUserStartup + "\\Beta.lnk", "C:\\Apps\\app.exe");
    }
};

// Every loaded entry that carries a mark: "name @ location: mark".
std::set<std::string> Marks(const Inventory& inventory) {
    std::set<std::string> out;
    for (const StartupItem* item : inventory.LoadedItems) {
        if (item->Change != ChangeMark::None) {
            const char* mark = item->Change == ChangeMark::New        ? "new"
                               : item->Change == ChangeMark::Returned ? "returned"
                                                                      : "changed";
            out.insert(item->Name.str() + " @ " + item->Location.str() + ": " + mark);
        }
    }
    return out;
}

// What a program that starts now would mark on that machine, and the entries it would call removed.
std::set<std::string> MarksOfANewStart(PlatformServices services) {
    StartupSession later(services);
    later.Recover();
    later.Load();
    std::set<std::string> out = Marks(later.Items());
    for (const SavedEntry& gone : later.Watch().Removed()) {
        out.insert(gone.name + " @ " + gone.location + ": removed");
    }
    return out;
}

// Deletes a run-key value as another program would.
void DeleteRunValue(Machine& m, const std::string& name) {
    const auto key = m.Services().registry.OpenForWriting(RegistryRoot::CurrentUser, kRun, false);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->DeleteValue(name));
}

StartupItem& Named(StartupSession& session, const std::string& name) {
    for (const auto& item : session.Items().Items) {
        if (item->Name == name && item->State != ItemState::Deleted) {
            return *item;
        }
    }
    throw std::runtime_error("no entry " + name);
}

void Disable(StartupSession& session, const std::string& name) {
    Named(session, name).State = ItemState::Disabled;
}

// Each row drives sessions through a few steps on a fresh machine; the marks a later start shows say
// whether the accepted setting kept up with them.
struct StepsRow {
    std::string name;
    std::function<void(Machine&)> steps;
    std::set<std::string> marksLater;
};

const std::vector<StepsRow> kSteps = {
    {"FirstStartMarksNothing", [](Machine& m) { MarksOfANewStart(m.Services()); }, {}},
    {"EntryAddedBehindTheBackIsNew",
     [](Machine& m) {
         MarksOfANewStart(m.Services());
         m.root.Value(test::HKCU, kRun, "Intruder", "C:\\Apps\\app.exe /i");
     },
     {"Intruder @ " + kCuRun + ": new"}},
    {"CommandChangedBehindTheBackIsChanged",
     [](Machine& m) {
         MarksOfANewStart(m.Services());
         m.root.Value(test::HKCU, kRun, "Alpha", "C:\\Apps\\app.exe /other");
     },
     {"Alpha @ " + kCuRun + ": changed"}},
    {"EntriesGoneBehindTheBackAreRemoved",
     [](Machine& m) {
         MarksOfANewStart(m.Services());
         DeleteRunValue(m, "Alpha");
         std::filesystem::remove(m.root.Host(kUserStartup + "\\Beta.lnk"));
     },
     {"Alpha @ " + kCuRun + ": removed", "Beta @ " + test::kCuMenu + ": removed"}},
    {"AnEntryDeletedThroughTheToolIsNotRemoved",
     [](Machine& m) {
         StartupSession session(m.Services());
         session.Load();
         Named(session, "Alpha").State = ItemState::Deleted;
         test::Confirm yes(false);
         EXPECT_EQ(session.Apply(yes, false).outcome, ApplyOutcome::Applied);
         EXPECT_THAT(session.Watch().Removed(), IsEmpty());
     },
     {}},
    {"AShortcutAnOlderVersionKeptWithItsEndingIsTheSameEntry",
     [](Machine& m) {
         m.root.Shortcut(kUserStartup + "\\Upper.LNK", "C:\\Apps\\app.exe");
         MarksOfANewStart(m.Services());
         // The accepted setting as an older version wrote it, the ending in capitals still in the name.
         const std::string accepted = test::kTool + "\\backup\\Accepted Setting.qbk";
         std::string content = *m.Services().files.ReadFile(accepted);
         const std::string now = "Program Name=Upper\r\n";
         ASSERT_NE(content.find(now), std::string::npos);
         content.replace(content.find(now), now.size(), "Program Name=Upper.LNK\r\n");
         ASSERT_TRUE(m.Services().files.WriteFile(accepted, content));
     },
     {}},
    {"AcceptForgetsRemovedEntries",
     [](Machine& m) {
         MarksOfANewStart(m.Services());
         DeleteRunValue(m, "Alpha");
         StartupSession session(m.Services());
         session.Load();
         EXPECT_EQ(session.Watch().Removed().size(), 1u);
         EXPECT_EQ(session.Accept(), 0); // no row was marked
         EXPECT_THAT(session.Watch().Removed(), IsEmpty());
     },
     {}},
    {"AcceptClearsTheMarks",
     [](Machine& m) {
         MarksOfANewStart(m.Services());
         m.root.Value(test::HKCU, kRun, "Intruder", "C:\\Apps\\app.exe /i");
         StartupSession session(m.Services());
         session.Load();
         EXPECT_EQ(session.Accept(), 1);
         EXPECT_THAT(Marks(session.Items()), IsEmpty());
     },
     {}},
    {"OwnApplyIsNotMarked",
     [](Machine& m) {
         StartupSession session(m.Services());
         session.Load();
         Disable(session, "Alpha");
         Disable(session, "Beta");
         test::Confirm yes(false);
         const WatchedApplyResult applied = session.Apply(yes, false);
         EXPECT_EQ(applied.outcome, ApplyOutcome::Applied);
         EXPECT_FALSE(applied.error);
         EXPECT_THAT(Marks(session.Items()), IsEmpty());
     },
     {}},
    {"OwnApplyKeepsEarlierMarks",
     [](Machine& m) {
         MarksOfANewStart(m.Services());
         m.root.Value(test::HKCU, kRun, "Intruder", "C:\\Apps\\app.exe /i");
         StartupSession session(m.Services());
         session.Load();
         Disable(session, "Alpha");
         test::Confirm yes(false);
         session.Apply(yes, false);
     },
     {"Intruder @ " + kCuRun + ": new"}},
    {"RestoreOfOwnBackupIsNotMarked",
     [](Machine& m) {
         const std::string file = test::kTool + "\\backup\\before.qbk";
         {
             StartupSession session(m.Services());
             session.Load();
             session.Backup(file);
             Disable(session, "Alpha");
             test::Confirm yes(false);
             session.Apply(yes, false);
         }
         StartupSession session(m.Services());
         session.Load();
         ASSERT_TRUE(session.Restore(file).loaded);
         test::Confirm yes(false);
         EXPECT_EQ(session.Apply(yes, false).outcome, ApplyOutcome::Applied);
         EXPECT_EQ(Named(session, "Alpha").State, ItemState::Enabled);
     },
     {}},
};

TEST(StartupSession, MarksFollowEachStep) {
    for (const StepsRow& row : kSteps) {
        SCOPED_TRACE(row.name);
        Machine m;
        row.steps(m);
        EXPECT_EQ(MarksOfANewStart(m.Services()), row.marksLater);
    }
}

TEST(StartupSession, RestoreOfNoBackupChangesNothing) {
    Machine m;
    m.root.File(test::kTool + "\\backup\\junk.qbk", "not a backup");
    StartupSession session(m.Services());
    session.Load();
    EXPECT_FALSE(session.Restore(test::kTool + "\\backup\\junk.qbk").loaded);
    EXPECT_FALSE(HasPendingChanges(session.Items()));
}

TEST(StartupSession, RecoverWithoutCutOffApplySaysNothingAndMakesTheBackupFolder) {
    test::SandboxRoot root;
    root.Folder(test::kTool);
    StartupSession session(root.Services());
    EXPECT_EQ(session.Recover(), std::nullopt);
    EXPECT_TRUE(root.Services().files.DirectoryExists(test::kTool + "\\backup"));
}

TEST(StartupSession, FillsTheIconSinkItIsGiven) {
    Machine m;
    CountingIconSink icons;
    StartupSession session(m.Services(), icons);
    session.Load();
    EXPECT_EQ(&session.Icons(), &icons);
    EXPECT_GT(icons.Add({}), 0) << "the load added the entries' icons";
}

// Disables both entries through a session whose n-th change of the apply fails, and every change after it,
// the rollback's own included: the apply stops part-way and its rollback may be cut short, leaving its
// journal for the next start. Returns what the apply said.
WatchedApplyResult ApplyFailingFrom(Machine& m, int failing) {
    FaultPlan plan;
    test::FaultyMachineServices faulty(m.Services(), plan);
    StartupSession session(faulty.Services());
    session.Load();
    Disable(session, "Alpha");
    Disable(session, "Beta");
    int seen = 0;
    bool failingNow = false;
    plan.FailWhen([&](const FaultPlan::Operation& operation) {
        // The accepted setting is the watch's, written after the apply: it is no part of the apply.
        if (!operation.changesSystem || operation.subject.find(kAcceptedSettingFile) != std::string::npos) {
            return false;
        }
        failingNow = failingNow || seen++ == failing;
        return failingNow;
    });
    test::Confirm yes(false);
    WatchedApplyResult applied = session.Apply(yes, false);
    // Whatever the session's own list shows after the failure is no change behind the user's back.
    EXPECT_THAT(Marks(session.Items()), IsEmpty());
    return applied;
}

// How many changes the apply of ApplyFailingFrom makes when nothing fails.
int ChangesOfTheApply() {
    Machine m;
    MarksOfANewStart(m.Services());
    FaultPlan plan;
    test::FaultyMachineServices faulty(m.Services(), plan);
    StartupSession session(faulty.Services());
    session.Load();
    Disable(session, "Alpha");
    Disable(session, "Beta");
    const int before = plan.ChangesSeen();
    test::Confirm yes(false);
    EXPECT_EQ(session.Apply(yes, false).outcome, ApplyOutcome::Applied);
    return plan.ChangesSeen() - before;
}

// Whatever a failure left, neither the session's list nor any later start marks the tool's own changes as
// made behind the user's back: also not when the next start rolls back what the apply could not.
TEST(StartupSession, ApplyThatStopsPartWayLeavesNoMarkOfItsOwnChanges) {
    const int changes = ChangesOfTheApply();
    ASSERT_GT(changes, 2);
    int stopped = 0;
    int rolledBackLater = 0;
    for (int failing = 0; failing < changes; ++failing) {
        SCOPED_TRACE("failing change " + std::to_string(failing));
        Machine m;
        MarksOfANewStart(m.Services());
        stopped += ApplyFailingFrom(m, failing).error ? 1 : 0;
        StartupSession later(m.Services());
        if (const auto notice = later.Recover()) {
            // Rolled back, or finished when the failure came after the apply's changes were final.
            EXPECT_THAT(notice->message, ::testing::AnyOf(RecoveryMessage(Recovery::RolledBack),
                                                          RecoveryMessage(Recovery::Finished)));
            EXPECT_EQ(notice->kind, MessageKind::Information);
            ++rolledBackLater;
        }
        later.Load();
        EXPECT_THAT(Marks(later.Items()), IsEmpty());
        EXPECT_THAT(m.OnSystem(), ::testing::Contains(::testing::StartsWith("Alpha @ ")));
        EXPECT_THAT(m.OnSystem(), ::testing::Contains(::testing::StartsWith("Beta @ ")));
    }
    EXPECT_GT(stopped, 0) << "no failure stopped the apply";
    EXPECT_GT(rolledBackLater, 0) << "no failure left its journal to the next start";
}

// A changed entry knows the command it was accepted with, and is rated by what runs now: the database knows
// the name Alpha, but that name no longer says which program starts. An entry that changed back loses both.
TEST(StartupSession, AChangedEntryKeepsItsAcceptedCommandAndIsRatedByWhatRunsNow) {
    Machine m;
    m.root.File(test::kTool + "\\st.dat", "[Alpha]\r\nConfirmed=Y\r\n")
        .File(test::kTool + "\\fn.dat", "[BAD.EXE]\r\nConfirmed=X\r\n");
    MarksOfANewStart(m.Services());
    m.root.Value(test::HKCU, kRun, "Alpha", "C:\\Apps\\bad.exe /now")
        .Shortcut(kUserStartup + "\\Beta.lnk", "C:\\Apps\\app.exe", "/b");
    StartupSession session(m.Services());
    session.Load();
    const auto shown = [&](const std::string& name) {
        const StartupItem& item = Named(session, name);
        return std::string(RatingText(item.Rating)) + " | " + item.AcceptedCommand;
    };
    EXPECT_EQ(shown("Alpha"), "Hamful | C:\\Apps\\app.exe /a");
    EXPECT_EQ(shown("Beta"), "Unknown | C:\\Apps\\app.exe");
    // The list shows the changed entry's rating too, after an apply's reload as after a load.
    Disable(session, "Beta");
    test::Confirm yes(false);
    ASSERT_EQ(session.Apply(yes, false).outcome, ApplyOutcome::Applied);
    EXPECT_EQ(shown("Alpha"), "Hamful | C:\\Apps\\app.exe /a");

    m.root.Value(test::HKCU, kRun, "Alpha", "C:\\Apps\\app.exe /a");
    session.Load();
    EXPECT_EQ(shown("Alpha"), "Required | ");
}

} // namespace
} // namespace qb
