#include "platform/platform_error.h"
#include "platform/sandbox/host_files.h"
#include "platform/sandbox/sandbox_registry.h"
#include "support/paths.h"
#include "support/process_guard.h"
#include "support/temp_dir.h"

#include <chrono>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qb::sandbox {

using test::ReadText;
using test::TempDir;
using ::testing::ElementsAre;

namespace {

using namespace test::paths;
constexpr const char* kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kTwin = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunDisabled";

// A registry file with three run values, as another program left it.
std::string SeedThreeValues(const std::filesystem::path& file) {
    {
        SandboxRegistry registry(file, true);
        auto key = registry.OpenForWriting(HKCU, kRun, true);
        for (const char* name : {"Alpha", "Bravo", "Charlie"}) {
            key->WriteString(name, std::string("C:\\") + name + ".exe");
        }
    }
    return ReadText(file);
}

std::vector<std::string> NamesIn(const std::filesystem::path& file, const char* path) {
    SandboxRegistry fresh(file, true);
    const auto key = fresh.OpenForReading(HKCU, path);
    return key ? key->ValueNames() : std::vector<std::string>{};
}

// What a hold does to the store between its start and its end, and what it leaves there.
struct HeldChanges {
    const char* what;
    bool throwInside;  // the hold ends by an exception
    bool releaseFirst; // Release() before the hold goes
};

class SandboxRegistryHold : public ::testing::TestWithParam<HeldChanges> {};

} // namespace

// Changes under a hold are one write: until the hold ends the file is as it was, so that another process
// (and a crash) sees none of them; after it every one is there, however the hold ended, and this process
// reads its own changes all along.
TEST_P(SandboxRegistryHold, ChangesReachTheFileTogetherWhenTheHoldEnds) {
    TempDir dir;
    const auto file = dir.Path() / "registry.reg";
    const std::string before = SeedThreeValues(file);
    SandboxRegistry registry(file, true);
    try {
        auto hold = registry.HoldChanges();
        ASSERT_NE(hold, nullptr);
        auto run = registry.OpenForWriting(HKCU, kRun, false);
        auto twin = registry.OpenForWriting(HKCU, kTwin, true); // a new key, too
        ASSERT_NE(twin, nullptr);
        for (const char* name : {"Alpha", "Charlie"}) {
            twin->WriteValue(name, *run->ReadValue(name));
            ASSERT_TRUE(run->DeleteValue(name));
        }
        run->WriteString("Delta", "C:\\Delta.exe");
        EXPECT_EQ(ReadText(file), before) << "written before the hold ended";
        EXPECT_THAT(run->ValueNames(), ElementsAre("Bravo", "Delta"));
        EXPECT_THAT(registry.OpenForReading(HKCU, kTwin)->ValueNames(), ElementsAre("Alpha", "Charlie"));
        if (GetParam().throwInside) {
            throw std::runtime_error("the apply stops");
        }
        if (GetParam().releaseFirst) {
            hold->Release();
            hold->Release(); // a second release does nothing
        }
    } catch (const std::runtime_error&) {
    }
    EXPECT_THAT(NamesIn(file, kRun), ElementsAre("Bravo", "Delta"));
    EXPECT_THAT(NamesIn(file, kTwin), ElementsAre("Alpha", "Charlie"));
}

INSTANTIATE_TEST_SUITE_P(Ends, SandboxRegistryHold,
                         ::testing::Values(HeldChanges{"Released", false, true},
                                           HeldChanges{"Destroyed", false, false},
                                           HeldChanges{"EndedByAnException", true, false}),
                         [](const auto& param) { return std::string(param.param.what); });

TEST(SandboxRegistry, NestedHoldsWriteOnceTheOutermostEnds) {
    TempDir dir;
    const auto file = dir.Path() / "registry.reg";
    const std::string before = SeedThreeValues(file);
    SandboxRegistry registry(file, true);
    auto outer = registry.HoldChanges();
    {
        auto inner = registry.HoldChanges();
        registry.OpenForWriting(HKCU, kRun, false)->WriteString("Echo", "C:\\Echo.exe");
        inner->Release();
    }
    EXPECT_EQ(ReadText(file), before);
    outer->Release();
    EXPECT_THAT(NamesIn(file, kRun), ElementsAre("Alpha", "Bravo", "Charlie", "Echo"));
}

TEST(SandboxRegistry, AHoldThatChangedNothingLeavesTheFileUntouched) {
    TempDir dir;
    const auto file = dir.Path() / "registry.reg";
    SeedThreeValues(file);
    const auto stamp = std::filesystem::last_write_time(file);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    SandboxRegistry registry(file, true);
    auto hold = registry.HoldChanges();
    EXPECT_EQ(registry.OpenForReading(HKCU, kRun)->ReadString("Bravo"), "C:\\Bravo.exe");
    hold->Release();
    EXPECT_EQ(std::filesystem::last_write_time(file), stamp);
}

// When the one write at the end fails, nothing of the hold is stored, the caller is told which change was
// lost first, and this process does not go on reading changes the file never got.
TEST(SandboxRegistry, AHoldWhoseWriteFailsStoresNothingAndSaysSo) {
    TempDir dir;
    const auto file = dir.Path() / "registry.reg";
    const std::string before = SeedThreeValues(file);
    SandboxRegistry registry(file, true);
    auto hold = registry.HoldChanges();
    auto run = registry.OpenForWriting(HKCU, kRun, false);
    ASSERT_TRUE(run->DeleteValue("Bravo"));
    run->WriteString("Foxtrot", "C:\\Foxtrot.exe");
    // The file cannot be replaced: a directory stands where it was (a file would not stop root).
    std::filesystem::rename(file, dir.Path() / "kept.reg");
    std::filesystem::create_directory(file);
    try {
        hold->Release();
        ADD_FAILURE() << "the failed write was not reported";
    } catch (const PlatformError& error) {
        EXPECT_EQ(error.Kind(), PlatformErrorKind::SetDataFailed);
        EXPECT_EQ(error.Subject(), "Bravo");
    }
    std::filesystem::remove(file);
    std::filesystem::rename(dir.Path() / "kept.reg", file);
    EXPECT_EQ(ReadText(file), before);
    EXPECT_THAT(registry.OpenForReading(HKCU, kRun)->ValueNames(), ElementsAre("Alpha", "Bravo", "Charlie"));
}

// Another process's write waits for the hold, and lands on the file the hold wrote: neither loses the other.
TEST(SandboxRegistry, AnotherProcessWaitsForTheHoldAndKeepsItsChanges) {
    TempDir dir;
    const auto file = dir.Path() / "registry.reg";
    SeedThreeValues(file);
    // Started before the hold: a child forked under it would share the locked descriptor.
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        char byte = 0;
        if (::read(go[0], &byte, 1) != 1) {
            ::_exit(3);
        }
        SandboxRegistry other(file, true);
        auto key = other.OpenForWriting(HKCU, kRun, false);
        if (!key) {
            ::_exit(2);
        }
        key->WriteString("Hotel", "C:\\Hotel.exe");
        ::_exit(0);
    }
    const test::ProcessGuard guard(child);
    SandboxRegistry registry(file, true);
    auto hold = registry.HoldChanges();
    registry.OpenForWriting(HKCU, kRun, false)->WriteString("Golf", "C:\\Golf.exe");
    ASSERT_EQ(::write(go[1], "x", 1), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, WNOHANG), 0) << "the other process did not wait for the hold";
    hold->Release();
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_THAT(NamesIn(file, kRun), ElementsAre("Alpha", "Bravo", "Charlie", "Golf", "Hotel"));
}

} // namespace qb::sandbox
