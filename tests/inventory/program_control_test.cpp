#include "inventory/process_scan.h"
#include "inventory/program_control.h"
#include "platform/faults/faulty_services.h"
#include "support/process_guard.h"
#include "support/recording_fakes.h"
#include "support/sandbox_root.h"

#include <gtest/gtest.h>
#include <thread>

namespace qb {

namespace {

struct Fixture {
    Fixture() { root.System().SetDialogs(dialogs); }
    PlatformServices Services() { return root.Services(); }
    // The machine's services with the shell the test watches.
    PlatformServices WithShell(Shell& shell) {
        const PlatformServices s = Services();
        return {s.registry, s.profiles, s.files, shell, s.processes, s.system, s.dialogs, s.browser, s.clock};
    }
    StartupItem& Record(const std::string& name, const std::string& command) {
        StartupItem& item = inventory.Append({});
        item.Name = name;
        item.Command = command;
        item.Location = "Current User\\Registry\\Run";
        return item;
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> out;
        for (const auto& shown : dialogs.Messages()) {
            out.push_back(shown.text);
        }
        return out;
    }
    test::SandboxRoot root;
    test::ScriptedDialogs dialogs;
    Inventory inventory;
    const test::FolderProcessGuard started{root.Path()}; // declared after the root: it goes first
};

// What the shell was asked to run, in order.
std::vector<std::string> CommandsRun(const FaultPlan& plan) {
    std::vector<std::string> run;
    for (const auto& op : plan.Log()) {
        if (op.name == "shell.run") {
            run.push_back(op.subject);
        }
    }
    return run;
}

// A process that ignores close requests and cannot be ended.
class StubbornProcess : public RunningProcess {
public:
    std::uint32_t Pid() const override { return 42; }
    void RequestClose() override { ++closeRequests; }
    WaitResult WaitForExit(std::chrono::milliseconds timeout) override {
        std::this_thread::sleep_for(timeout);
        return WaitResult::TimedOut;
    }
    bool Terminate(std::uint32_t) override { return false; }
    int closeRequests = 0;
};

void MakeProgram(test::SandboxRoot& root, const std::string& path) {
    root.File(path, "#!/bin/sh\ntrap 'exit 0' TERM\nwhile :; do sleep 1; done\n");
    std::filesystem::permissions(root.Host(path), std::filesystem::perms::owner_all);
}

} // namespace

TEST(ProgramControl, NothingStartsWithoutARowOrWithAnInvalidPath) {
    Fixture f;
    FaultPlan plan;
    FaultyShell shell(f.root.Services().shell, plan);
    const PlatformServices watched = f.WithShell(shell);
    EXPECT_EQ(StartProgram(nullptr, f.inventory, watched), ProgramControlResult::NothingDone);
    const SelectedRow invalid{"Gone", "[Invalid Path]C:\\Gone\\app.exe", "Current User\\Registry\\Run"};
    EXPECT_EQ(StartProgram(&invalid, f.inventory, watched), ProgramControlResult::NothingDone);
    EXPECT_EQ(f.Messages(), (std::vector<std::string>{"Please select an item.",
                                                      "Cannot start a program with an invalid path."}));
    for (const auto& op : plan.Log()) { // the system was never asked to run anything
        EXPECT_NE(op.name, "shell.run");
    }
}

TEST(ProgramControl, ACommandStartsWithItsReferencesExpanded) {
    Fixture f;
    MakeProgram(f.root, "C:\\Program Files\\Probe\\qbexpanded.exe");
    FaultPlan plan;
    FaultyShell shell(f.root.Services().shell, plan);
    const PlatformServices watched = f.WithShell(shell);
    StartupItem& record = f.Record("Probe", "%ProgramFiles%\\Probe\\qbexpanded.exe /tray");
    const SelectedRow row{"Probe", record.Command.str(), "Current User\\Registry\\Run"};
    ASSERT_EQ(StartProgram(&row, f.inventory, watched), ProgramControlResult::Refresh);
    const std::vector<std::string> run = CommandsRun(plan);
    EXPECT_EQ(run, std::vector<std::string>{"C:\\Program Files\\Probe\\qbexpanded.exe /tray"});
    EXPECT_TRUE(f.Messages().empty());
    for (int i = 0; i < 100 && record.MemoryKB == 0; ++i) { // then it is ended again
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ScanProcesses(f.inventory.Items, watched.processes, watched.system, watched.files);
    }
    EXPECT_GT(record.MemoryKB, 0);
    f.dialogs.Answer(DialogResult::Yes);
    StopProgram(&row, f.inventory, watched, nullptr);
}

// A RunOnceEx section's command starts as Windows' processing would run it: after "||", or as it stands; the
// function of a DLL is Windows' own to call. The file cannot run here, so each start ends in its message.
TEST(ProgramControl, ASectionsCommandStartsAsRunOnceExRunsIt) {
    const struct {
        const char* command;
        std::vector<std::string> run;
        const char* message;
    } cases[] = {
        {"||C:\\Apps\\qbsection.exe /s", {"C:\\Apps\\qbsection.exe /s"}, "The .exe file is invalid."},
        {"C:\\Apps\\qbsection.exe /plain", {"C:\\Apps\\qbsection.exe /plain"}, "The .exe file is invalid."},
        {"C:\\Apps\\qbsection.dll|Setup|x", {}, "Cannot start the program."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        Fixture f;
        f.root.File("C:\\Apps\\qbsection.exe", "MZ").File("C:\\Apps\\qbsection.dll", "MZ");
        std::filesystem::permissions(f.root.Host("C:\\Apps\\qbsection.exe"),
                                     std::filesystem::perms::owner_read);
        FaultPlan plan;
        FaultyShell shell(f.root.Services().shell, plan);
        const PlatformServices watched = f.WithShell(shell);
        const SelectedRow row{"0001\\Setup", c.command, "All Users\\Registry\\RunOnce Ex"};
        EXPECT_EQ(StartProgram(&row, f.inventory, watched), ProgramControlResult::NothingDone);
        const std::vector<std::string> run = CommandsRun(plan);
        EXPECT_EQ(run, c.run);
        EXPECT_EQ(f.Messages(), std::vector<std::string>{c.message});
    }
}

TEST(ProgramControl, EachStartFailureHasItsMessage) {
    const struct {
        int result;
        const char* message;
    } cases[] = {{0, "The system is out of memory or resources."},
                 {11, "The .exe file is invalid."},
                 {2, "The specified file was not found."},
                 {3, "The specified path was not found."},
                 {5, "Cannot start the program."},
                 {31, "Cannot start the program."}};
    for (const auto& c : cases) {
        EXPECT_EQ(StartFailureMessage(c.result), c.message);
    }
    Fixture f;
    f.root.File("C:\\Tools\\plain.exe", "MZ");
    std::filesystem::permissions(f.root.Host("C:\\Tools\\plain.exe"), std::filesystem::perms::owner_read);
    const SelectedRow row{"Plain", "C:\\Tools\\plain.exe", "Current User\\Registry\\Run"};
    EXPECT_EQ(StartProgram(&row, f.inventory, f.Services()), ProgramControlResult::NothingDone);
    EXPECT_EQ(f.Messages(), std::vector<std::string>{"The .exe file is invalid."});
}

TEST(ProgramControl, AStartedProgramShowsItsMemoryAndStopsOnRequest) {
    Fixture f;
    MakeProgram(f.root, "C:\\Apps\\qbstartstop.exe");
    StartupItem& record = f.Record("Probe", "C:\\Apps\\qbstartstop.exe /tray");
    const SelectedRow row{"Probe", "C:\\Apps\\qbstartstop.exe /tray", "Current User\\Registry\\Run"};
    ASSERT_EQ(StartProgram(&row, f.inventory, f.Services()), ProgramControlResult::Refresh);
    for (int i = 0; i < 100 && record.MemoryKB == 0; ++i) { // the process takes a moment to appear
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ScanProcesses(f.inventory.Items, f.Services().processes, f.Services().system, f.Services().files);
    }
    ASSERT_GT(record.MemoryKB, 0);
    int pumps = 0;
    f.dialogs.Answer(DialogResult::Yes);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(StopProgram(&row, f.inventory, f.Services(), [&] { ++pumps; }), ProgramControlResult::Refresh);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4)); // it closed when asked
    EXPECT_EQ(record.MemoryKB, 0);
    EXPECT_EQ(record.ProcessHandle, nullptr);
    EXPECT_EQ(f.Messages(), std::vector<std::string>{StopQuestion("Probe")});
}

TEST(ProgramControl, AProgramThatDoesNotCloseIsEndedAfterTheWait) {
    Fixture f;
    f.root.Processes("77\tstuck.exe\t4194304\t4194304\n");
    StartupItem& record = f.Record("Stuck", "C:\\stuck.exe");
    ScanProcesses(f.inventory.Items, f.Services().processes, f.Services().system, f.Services().files);
    ASSERT_EQ(record.MemoryKB, 4096);
    const SelectedRow row{"Stuck", "C:\\stuck.exe", "Current User\\Registry\\Run"};
    int pumps = 0;
    f.dialogs.Answer(DialogResult::Yes);
    EXPECT_EQ(StopProgram(
                  &row, f.inventory, f.Services(), [&] { ++pumps; }, std::chrono::milliseconds(200)),
              ProgramControlResult::Refresh);
    EXPECT_GT(pumps, 0); // the window could repaint during the wait
    EXPECT_EQ(record.MemoryKB, 0);
    EXPECT_TRUE(f.Services().processes.List()->empty()); // ended by force
}

// A program that will not end keeps its figures whatever the user answers: No leaves it alone, not even
// asked to close; Yes asks it, ends it by force, and says so when that fails too.
TEST(ProgramControl, AStubbornProgramIsEndedOnlyOnYesAndKeepsItsFiguresWhenThatFails) {
    const struct {
        const char* label;
        DialogResult answer;
        int closeRequests;
        std::vector<std::string> messages;
    } cases[] = {
        {"no", DialogResult::No, 0,
         {"End the running program \"Stubborn\"? Work not saved in it may be lost."}},
        {"yes", DialogResult::Yes, 1, {StopQuestion("Stubborn"), "Cannot close the program!"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Fixture f;
        StartupItem& record = f.Record("Stubborn", "C:\\stubborn.exe");
        auto process = std::make_shared<StubbornProcess>();
        record.ProcessHandle = process;
        record.MemoryKB = 100;
        const SelectedRow row{"Stubborn", "C:\\stubborn.exe", "Current User\\Registry\\Run"};
        f.dialogs.Answer(c.answer);
        EXPECT_EQ(StopProgram(&row, f.inventory, f.Services(), {}, std::chrono::milliseconds(60)),
                  ProgramControlResult::NothingDone);
        EXPECT_EQ(process->closeRequests, c.closeRequests);
        EXPECT_EQ(record.MemoryKB, 100);
        EXPECT_EQ(record.ProcessHandle, process);
        EXPECT_EQ(f.Messages(), c.messages);
    }
}

TEST(ProgramControl, StoppingAnEntryWithoutAProcessClearsAndRefreshes) {
    Fixture f;
    f.Record("Idle", "C:\\idle.exe");
    const SelectedRow row{"Idle", "C:\\idle.exe", "Current User\\Registry\\Run"};
    EXPECT_EQ(StopProgram(&row, f.inventory, f.Services(), {}), ProgramControlResult::Refresh);
    const SelectedRow unknown{"Nobody", "C:\\x.exe", "Current User\\Registry\\Run"};
    EXPECT_EQ(StopProgram(&unknown, f.inventory, f.Services(), {}), ProgramControlResult::NothingDone);
    EXPECT_EQ(StopProgram(nullptr, f.inventory, f.Services(), {}), ProgramControlResult::NothingDone);
    EXPECT_EQ(f.Messages(), std::vector<std::string>{"Please select an item."});
}

} // namespace qb
