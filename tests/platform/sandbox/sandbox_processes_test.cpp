#include "platform/sandbox/host_process.h"
#include "platform/sandbox/sandbox_processes.h"
#include "support/process_guard.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qb::sandbox {

using test::TempDir;
using test::WriteText;

TEST(SandboxProcesses, TheFixedTableStandsForTheHostsProcesses) {
    TempDir dir;
    WriteText(dir.Path() / "processes.txt", "4\tsystem\t0\t0\n"
                                            "1200\ttallybird.exe\t5242880\t8388608\r\n"
                                            "garbage line\n"
                                            "1300\tlfsync.exe\tnot-a-number\t1\n"
                                            "1400\tPadnote.EXE\t1024\t2048\n");
    SandboxProcesses processes(dir.Path());
    const auto list = processes.List();
    ASSERT_TRUE(list.has_value());
    ASSERT_EQ(list->size(), 3u);
    EXPECT_EQ((*list)[1].pid, 1200u);
    EXPECT_EQ((*list)[1].executable, "tallybird.exe");
    const auto memory = processes.ReadMemory(1200);
    ASSERT_TRUE(memory.has_value());
    EXPECT_EQ(memory->workingSetBytes, 5242880u);
    EXPECT_EQ(memory->peakWorkingSetBytes, 8388608u);
    EXPECT_FALSE(processes.ReadMemory(999).has_value());
    EXPECT_EQ(processes.Open(999), nullptr);
}

TEST(SandboxProcesses, EndingATableProcessTakesItOffTheTable) {
    TempDir dir;
    WriteText(dir.Path() / "processes.txt", "10\ta.exe\t1\t1\n20\tb.exe\t1\t1\n");
    SandboxProcesses processes(dir.Path());
    auto handle = processes.Open(10);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->WaitForExit(std::chrono::milliseconds(30)), WaitResult::TimedOut);
    EXPECT_TRUE(handle->Terminate(0));
    EXPECT_EQ(handle->WaitForExit(std::chrono::milliseconds(30)), WaitResult::Ended);
    ASSERT_EQ(processes.List()->size(), 1u);
    EXPECT_EQ(processes.List()->front().executable, "b.exe");
}

TEST(SandboxProcesses, SeesARealHostProcessWithItsMemoryAndEndsIt) {
    TempDir dir;
    const auto script = dir.Path() / "qbprobe.exe";
    // Waiting on a pipe nobody writes, without a child: a `sleep` between its fork and exec still carries the
    // script's command line, and the guard would rightly count it too.
    const auto hold = dir.Path() / "Apps" / "hold";
    std::filesystem::create_directories(hold.parent_path());
    ASSERT_EQ(::mkfifo(hold.c_str(), 0600), 0);
    WriteText(script, "#!/bin/sh\nexec 3<>\"" + hold.string() + "\"\nread -r line <&3\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::execl(script.c_str(), script.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const test::ProcessGuard guard(pid);
    SandboxProcesses processes(dir.Path()); // no processes.txt: the host's own
    bool seen = false;
    for (int attempt = 0; attempt < 100 && !seen; ++attempt) {
        for (const auto& entry : processes.List().value_or(std::vector<ProcessEntry>{})) {
            seen =
                seen || (entry.pid == static_cast<std::uint32_t>(pid) && entry.executable == "qbprobe.exe");
        }
        if (!seen) {
            ::usleep(20000);
        }
    }
    EXPECT_TRUE(seen) << "the script's process keeps the script's name";
    const auto memory = processes.ReadMemory(static_cast<std::uint32_t>(pid));
    ASSERT_TRUE(memory.has_value());
    EXPECT_GT(memory->workingSetBytes, 0u);
    EXPECT_GE(memory->peakWorkingSetBytes, memory->workingSetBytes);

    auto handle = processes.Open(static_cast<std::uint32_t>(pid));
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->WaitForExit(std::chrono::milliseconds(50)), WaitResult::TimedOut);
    EXPECT_TRUE(handle->Terminate(0));
    EXPECT_EQ(handle->WaitForExit(std::chrono::milliseconds(5000)), WaitResult::Ended);
    ::waitpid(pid, nullptr, 0);
}

// A program the shell starts is detached from the test and never its child: the folder guard still finds
// it by the file it runs, ends it and nothing else, and finds nothing once it is gone.
TEST(SandboxProcesses, TheFolderGuardEndsADetachedProgramStartedFromItsFolder) {
    TempDir dir, elsewhere;
    const auto script = dir.Path() / "Apps" / "qbguarded.exe";
    // Waiting on a pipe nobody writes, without a child: a `sleep` between its fork and exec still carries the
    // script's command line, and the guard would rightly count it too.
    const auto hold = dir.Path() / "Apps" / "hold";
    std::filesystem::create_directories(hold.parent_path());
    ASSERT_EQ(::mkfifo(hold.c_str(), 0600), 0);
    WriteText(script, "#!/bin/sh\nexec 3<>\"" + hold.string() + "\"\nread -r line <&3\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    const test::FolderProcessGuard guard(dir.Path());
    const test::FolderProcessGuard other(elsewhere.Path());
    ASSERT_EQ(SpawnHostProgram(script, {"--tray"}), SpawnResult::Started);
    EXPECT_EQ(other.EndAll(), 0);
    EXPECT_EQ(guard.EndAll(), 1);
    int left = 1;
    for (int attempt = 0; attempt < 250 && left > 0; ++attempt) { // SIGKILL lands a moment later
        ::usleep(20000);
        left = guard.EndAll();
    }
    EXPECT_EQ(left, 0);
}

} // namespace qb::sandbox
