#include "inventory/process_scan.h"
#include "inventory/row_texts.h"
#include "support/process_guard.h"
#include "support/sandbox_root.h"

#include <gtest/gtest.h>
#include <thread>

namespace qb {

namespace {

std::vector<std::unique_ptr<StartupItem>> Records(std::initializer_list<const char*> commands) {
    std::vector<std::unique_ptr<StartupItem>> items;
    for (const char* command : commands) {
        items.push_back(std::make_unique<StartupItem>());
        items.back()->Command = command;
    }
    return items;
}

void Scan(test::SandboxRoot& root, std::vector<std::unique_ptr<StartupItem>>& items) {
    auto services = root.Services();
    ScanProcesses(items, services.processes, services.system, services.files);
}

} // namespace

TEST(ProcessScan, OnNtAProcessBelongsToTheFirstRecordThatStartsIt) {
    test::SandboxRoot root;
    root.Processes("100\tagent.exe\t5242880\t8388608\n"
                   "200\tAGENT.EXE\t2097152\t3145728\n" // the same program again: the last one stays
                   "300\ttool.exe\t9000000\t4096000\n"  // working set above its peak: clamped
                   "400\tother.exe\t1024\t1024\n");
    auto items = Records(
        {"C:\\Apps\\Agent.exe /background", "\"C:\\Other\\agent.exe\"", "C:\\tool.exe", "C:\\idle.exe"});
    items[3]->MemoryKB = 777; // from an earlier scan: its program has ended since
    Scan(root, items);
    EXPECT_EQ(items[0]->MemoryKB, 2048);
    EXPECT_EQ(items[0]->PeakMemoryKB, 3072);
    ASSERT_NE(items[0]->ProcessHandle, nullptr);
    EXPECT_EQ(items[0]->ProcessHandle->Pid(), 200u);
    EXPECT_EQ(items[1]->MemoryKB, 0);
    EXPECT_EQ(items[1]->ProcessHandle, nullptr);
    EXPECT_EQ(items[2]->MemoryKB, 4000);
    EXPECT_EQ(items[2]->PeakMemoryKB, 4000);
    EXPECT_EQ(items[3]->MemoryKB, 0);
}

TEST(ProcessScan, OnTheWindows95FamilyAMatchShowsRunningWithoutASize) {
    test::SandboxRoot root;
    root.Settings("Platform=9x\r\nMajorVersion=4")
        .File("C:\\Apps\\tool.exe")
        .Processes("1\tC:\\APPS\\TOOL.EXE\t5000000\t6000000\n"
                   "2\tNAMEONLY.EXE\t1\t1\n");
    auto items = Records({"C:\\Apps\\tool.exe -x", "nameonly.exe", "C:\\Apps\\missing.exe"});
    Scan(root, items);
    EXPECT_EQ(items[0]->MemoryKB, -1); // by its full path
    EXPECT_EQ(items[0]->PeakMemoryKB, 0);
    EXPECT_EQ(items[1]->MemoryKB, -1); // by its file name
    EXPECT_EQ(items[2]->MemoryKB, 0);
    EXPECT_EQ(MemoryCellText(*items[0]), "Running");
}

TEST(ProcessScan, OldNtGathersNothing) {
    test::SandboxRoot root;
    root.Settings("Platform=NT\r\nMajorVersion=4").Processes("1\ttool.exe\t5000000\t6000000\n");
    auto items = Records({"C:\\tool.exe"});
    Scan(root, items);
    EXPECT_EQ(items[0]->MemoryKB, 0);
    EXPECT_EQ(items[0]->ProcessHandle, nullptr);
}

TEST(ProcessScan, SeesARealProgramStartedFromTheSandbox) {
    test::SandboxRoot root;
    const test::FolderProcessGuard started(root.Path());
    const std::string program = "C:\\Program Files\\Probe\\qbscanprobe.exe";
    root.File(program, "#!/bin/sh\ntrap 'exit 0' TERM\nwhile :; do sleep 1; done\n");
    std::filesystem::permissions(root.Host(program), std::filesystem::perms::owner_all);
    auto items = Records({"\"C:\\Program Files\\Probe\\qbscanprobe.exe\" --tray"});
    ASSERT_GT(root.Services().shell.RunCommand(items[0]->Command, 1), 31);
    for (int attempt = 0; attempt < 100 && items[0]->MemoryKB == 0; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Scan(root, items);
    }
    ASSERT_GT(items[0]->MemoryKB, 0);
    EXPECT_GE(items[0]->PeakMemoryKB, items[0]->MemoryKB);
    ASSERT_NE(items[0]->ProcessHandle, nullptr);
    items[0]->ProcessHandle->RequestClose();
    EXPECT_EQ(items[0]->ProcessHandle->WaitForExit(std::chrono::milliseconds(5000)), WaitResult::Ended);
    Scan(root, items);
    EXPECT_EQ(items[0]->MemoryKB, 0);
}

TEST(RowTexts, MemoryIsShownInKilobytesOrMegabytesWithHalvesRoundingDown) {
    const struct {
        std::int32_t kilobytes;
        const char* text;
    } cases[] = {{0, "0 KB"},      {512, "512 KB"},  {1023, "1023 KB"}, {1024, "1 MB"},
                 {1280, "1.2 MB"}, {1536, "1.5 MB"}, {2355, "2.3 MB"},  {3584, "3.5 MB"},
                 {10239, "10 MB"}, {1075, "1 MB"},   {1076, "1.1 MB"},  {2147483647, "2097152 MB"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kilobytes);
        EXPECT_EQ(FormatMemory(c.kilobytes), c.text);
    }
    StartupItem item;
    EXPECT_EQ(MemoryCellText(item), "");
    item.MemoryKB = 2355;
    EXPECT_EQ(MemoryCellText(item), "2.3 MB");
}

TEST(RowTexts, AnInvalidCommandCarriesTheMarkerAndTheRowCommandDropsIt) {
    StartupItem item;
    item.Command = "C:\\gone.exe";
    EXPECT_EQ(CommandCellText(item), "[Invalid Path]C:\\gone.exe");
    EXPECT_EQ(RowCommand(CommandCellText(item)), "C:\\gone.exe");
    item.PathValid = true;
    EXPECT_EQ(CommandCellText(item), "C:\\gone.exe");
    EXPECT_EQ(RowCommand("C:\\gone.exe"), "C:\\gone.exe");
}

} // namespace qb
