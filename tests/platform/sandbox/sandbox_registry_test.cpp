#include "platform/platform_error.h"
#include "platform/sandbox/host_files.h"
#include "platform/sandbox/sandbox_registry.h"
#include "platform/text.h"
#include "support/paths.h"
#include "support/process_guard.h"
#include "support/temp_dir.h"

#include <csignal>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qb::sandbox {

using test::ReadText;
using test::TempDir;
using test::WriteText;
using ::testing::ElementsAre;

namespace {
using namespace test::paths;
constexpr const char* kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
} // namespace

TEST(SandboxRegistry, ValuesEnumerateInTheOrderTheyWereAddedAcrossRewrites) {
    TempDir dir;
    {
        SandboxRegistry registry(dir.Path() / "registry.reg", true);
        auto key = registry.OpenForWriting(HKCU, kRun, true);
        ASSERT_NE(key, nullptr);
        for (const char* name : {"Zulu", "alpha", "Mike", ""}) {
            key->WriteString(name, "x");
        }
        key->WriteString("ALPHA", "replaced in place");
        key->DeleteValue("Mike");
        key->WriteString("Mike", "back at the end");
    }
    SandboxRegistry reopened(dir.Path() / "registry.reg", true);
    auto key = reopened.OpenForReading(HKCU, kRun);
    ASSERT_NE(key, nullptr);
    EXPECT_THAT(key->ValueNames(), ElementsAre("Zulu", "alpha", "", "Mike"));
    EXPECT_EQ(key->ReadString("alpha"), "replaced in place");
}

TEST(SandboxRegistry, TheFileIsARegeditExportInUtf16WithCrlf) {
    TempDir dir;
    SandboxRegistry registry(dir.Path() / "registry.reg", true);
    registry.OpenForWriting(HKCU, kRun, true)->WriteString("Tool", "C:\\tool.exe");
    const std::string bytes = ReadText(dir.Path() / "registry.reg");
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    const std::string text = Utf16ToUtf8(FromUtf16LeBytes(bytes.substr(2)));
    EXPECT_TRUE(text.starts_with("Windows Registry Editor Version 5.00\r\n\r\n")) << text;
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
                        "\"Tool\"=\"C:\\\\tool.exe\"\r\n"),
              std::string::npos)
        << text;
}

TEST(SandboxRegistry, AMissingFileIsAnEmptyRegistryWithBothHives) {
    TempDir dir;
    SandboxRegistry registry(dir.Path() / "registry.reg", true);
    EXPECT_FALSE(registry.Check().has_value());
    EXPECT_NE(registry.OpenForReading(RegistryRoot::LocalMachine, ""), nullptr);
    EXPECT_NE(registry.OpenForReading(HKCU, ""), nullptr);
    EXPECT_EQ(registry.OpenForReading(HKCU, kRun), nullptr);
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "registry.reg")); // reading writes nothing
}

TEST(SandboxRegistry, ACorruptFileIsReportedAndNeverOverwritten) {
    const std::string corrupt[] = {
        "Windows Registry Editor Version "
        "5.00\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\"a\"=\"unterminated\r\n",
        "Not a registry file at all\r\n",
        std::string("\xFF\xFEW\0i\0n\0", 8), // UTF-16 cut off inside its header
    };
    for (const auto& content : corrupt) {
        SCOPED_TRACE(content);
        TempDir dir;
        const auto file = dir.Path() / "registry.reg";
        WriteText(file, content);
        SandboxRegistry registry(file, true);
        const auto error = registry.Check();
        ASSERT_TRUE(error.has_value());
        EXPECT_FALSE(error->message.empty());
        EXPECT_EQ(registry.OpenForWriting(HKCU, "SOFTWARE\\New", true), nullptr);
        EXPECT_FALSE(registry.DeleteKey(HKCU, "SOFTWARE"));
        EXPECT_EQ(ReadText(file), content);
    }
}

// The store may be a link to a file kept elsewhere: it stays a link, and that file takes the changes.
TEST(SandboxRegistry, ALinkedFileStaysALinkAndTheFileItNamesTakesTheChanges) {
    namespace fs = std::filesystem;
    TempDir dir;
    const auto real = dir.Path() / "elsewhere" / "store.reg";
    fs::create_directories(real.parent_path());
    SandboxRegistry(real, true).OpenForWriting(HKCU, kRun, true)->WriteString("First", "1");
    const auto link = dir.Path() / "registry.reg";
    fs::create_symlink(fs::path("elsewhere") / "store.reg", link);
    SandboxRegistry(link, true).OpenForWriting(HKCU, kRun, true)->WriteString("Second", "2");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_THAT(SandboxRegistry(real, true).OpenForReading(HKCU, kRun)->ValueNames(),
                ElementsAre("First", "Second"));
    for (const auto& entry : fs::directory_iterator(dir.Path() / "elsewhere")) {
        EXPECT_FALSE(entry.path().filename().string().starts_with(".store.reg.tmp-")) << "a temporary left";
    }
}

// Renaming over a file needs only the folder's permission: a store the user may not write stays as it is.
TEST(SandboxRegistry, AReadOnlyFileIsNotRewritten) {
    namespace fs = std::filesystem;
    TempDir dir;
    const auto file = dir.Path() / "registry.reg";
    SandboxRegistry(file, true).OpenForWriting(HKCU, kRun, true)->WriteString("First", "1");
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::string before = ReadText(file);
    SandboxRegistry registry(file, true);
    bool written = false;
    try {
        if (const auto key = registry.OpenForWriting(HKCU, kRun, true)) {
            key->WriteString("Second", "2");
            written = true;
        }
    } catch (const PlatformError&) {
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadText(file), before);
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_THAT(registry.OpenForReading(HKCU, kRun)->ValueNames(), ElementsAre("First"));
}

TEST(SandboxRegistry, ChangesMadeByAnotherWriterShowAtTheNextRead) {
    TempDir dir;
    const auto file = dir.Path() / "registry.reg";
    SandboxRegistry mine(file, true);
    SandboxRegistry theirs(file, true);
    auto key = mine.OpenForWriting(HKCU, kRun, true);
    key->WriteString("Mine", "1");
    theirs.OpenForWriting(HKCU, kRun, false)->WriteString("Theirs", "2");
    EXPECT_THAT(key->ValueNames(), ElementsAre("Mine", "Theirs"));
    key->WriteString("Mine", "3"); // a write built on the other's change keeps it
    EXPECT_EQ(theirs.OpenForReading(HKCU, kRun)->ReadString("Theirs"), "2");
}

TEST(SandboxRegistry, AKeyDeletedMeanwhileCannotBeWritten) {
    TempDir dir;
    SandboxRegistry registry(dir.Path() / "registry.reg", true);
    auto key = registry.OpenForWriting(HKCU, kRun, true);
    ASSERT_TRUE(registry.DeleteKey(HKCU, kRun));
    try {
        key->WriteString("v", "x");
        ADD_FAILURE() << "the write did not fail";
    } catch (const PlatformError& error) {
        EXPECT_STREQ(error.what(), "Failed to set data for 'v'");
    }
    EXPECT_EQ(registry.OpenForReading(HKCU, kRun), nullptr); // not brought back by the failed write
}

TEST(SandboxRegistry, NamesWindowsRefusesCannotBeCreated) {
    TempDir dir;
    SandboxRegistry registry(dir.Path() / "registry.reg", true);
    const std::string base = "SOFTWARE\\Names\\";
    EXPECT_NE(registry.OpenForWriting(HKCU, base + std::string(255, 'k'), true), nullptr);
    for (const std::string& bad :
         {std::string(256, 'k'), std::string("line\nbreak"), std::string("nul\0x", 5)}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(registry.OpenForWriting(HKCU, base + bad, true), nullptr);
    }
    auto key = registry.OpenForWriting(HKCU, base + "Values", true);
    ASSERT_NE(key, nullptr);
    key->WriteString("line\r\nbreak is fine", "x"); // escaped in the file
    EXPECT_THROW(key->WriteString(std::string("nul\0x", 5), "x"), PlatformError);
    EXPECT_THROW(key->WriteString(std::string(16384, 'v'), "x"), PlatformError);
    SandboxRegistry reread(dir.Path() / "registry.reg", true);
    EXPECT_FALSE(reread.Check().has_value());
    EXPECT_EQ(reread.OpenForReading(HKCU, base + "Values")->ReadString("line\r\nbreak is fine"), "x");
}

// Two processes hammering one registry file: every write of both must survive.
TEST(SandboxRegistry, TwoProcessesWritingAtOnceLoseNothing) {
    TempDir dir;
    const auto file = dir.Path() / "registry.reg";
    constexpr int kWrites = 100;
    pid_t children[2];
    for (int child = 0; child < 2; ++child) {
        children[child] = ::fork();
        ASSERT_GE(children[child], 0);
        if (children[child] == 0) {
            SandboxRegistry registry(file, true);
            for (int i = 0; i < kWrites; ++i) {
                auto key = registry.OpenForWriting(HKCU, kRun, true);
                if (!key) {
                    ::_exit(2);
                }
                key->WriteString("p" + std::to_string(child) + "-" + std::to_string(i), "C:\\x.exe");
            }
            ::_exit(0);
        }
    }
    const test::ProcessGuard first(children[0]), second(children[1]);
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    SandboxRegistry registry(file, true);
    EXPECT_EQ(registry.OpenForReading(HKCU, kRun)->ValueNames().size(), 2u * kWrites);
}

TEST(SandboxRegistry, ALockLeftByAKilledProcessDoesNotBlockTheNextWriter) {
    TempDir dir;
    const auto file = dir.Path() / "registry.reg";
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        auto lock = HostFileLock::Acquire(file.string() + ".lock");
        [[maybe_unused]] const auto written = ::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    const test::ProcessGuard guard(holder);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    SandboxRegistry registry(file, true);
    auto key = registry.OpenForWriting(HKCU, kRun, true); // would hang forever on a stale lock
    ASSERT_NE(key, nullptr);
    key->WriteString("after", "1");
    EXPECT_TRUE(std::filesystem::exists(file.string() + ".lock"));
}

} // namespace qb::sandbox

namespace qb::sandbox {

TEST(SandboxRegistry, TheThirtyTwoBitViewOfARedirectedKeyIsKeptWhereRegExportShowsIt) {
    const struct {
        const char* path;
        const char* stored;
    } cases[] = {
        {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"},
        {"Software\\Vendor", "Software\\WOW6432Node\\Vendor"},
        {"SOFTWARE", "SOFTWARE\\WOW6432Node"},
        // Shared between the views: one key.
        {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run",
         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run"},
        {"SOFTWARE\\WOW6432Node\\Vendor", "SOFTWARE\\WOW6432Node\\Vendor"},
        // Not under SOFTWARE: not redirected.
        {"SYSTEM\\CurrentControlSet", "SYSTEM\\CurrentControlSet"},
        {"SOFTWAREX\\Vendor", "SOFTWAREX\\Vendor"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(Wow32Path(c.path), c.stored);
    }
}

TEST(SandboxRegistry, WritesInTheThirtyTwoBitViewLandInWow6432NodeOnSixtyFourBitWindowsOnly) {
    constexpr auto HKLM = RegistryRoot::LocalMachine;
    constexpr const char* kMachineRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    constexpr const char* kWowRun = "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
    TempDir dir;
    SandboxRegistry x64(dir.Path() / "x64.reg", true, true);
    x64.OpenForWriting(HKLM, kMachineRun, true, RegistryView::Wow32)->WriteString("Old32", "a.exe");
    x64.OpenForWriting(HKCU, kRun, true, RegistryView::Wow32)->WriteString("Mine", "b.exe");
    EXPECT_TRUE(x64.OpenForReading(HKLM, kWowRun)->ValueExists("Old32"));
    EXPECT_EQ(x64.OpenForReading(HKLM, kMachineRun), nullptr); // not in the native view
    EXPECT_TRUE(x64.OpenForReading(HKCU, kRun)->ValueExists("Mine")); // HKEY_CURRENT_USER is shared
    EXPECT_THAT(x64.OpenForReading(HKLM, kMachineRun, RegistryView::Wow32)->ValueNames(), ElementsAre("Old32"));
    EXPECT_NE(ReadText(dir.Path() / "x64.reg").find(Utf16LeBytes(u"\\WOW6432Node\\Microsoft")), std::string::npos);
    EXPECT_TRUE(x64.DeleteKey(HKLM, kMachineRun, RegistryView::Wow32));
    EXPECT_EQ(x64.OpenForReading(HKLM, kWowRun), nullptr);

    SandboxRegistry x86(dir.Path() / "x86.reg", true, false);
    x86.OpenForWriting(HKLM, kMachineRun, true, RegistryView::Wow32)->WriteString("Only", "a.exe");
    EXPECT_TRUE(x86.OpenForReading(HKLM, kMachineRun)->ValueExists("Only"));
    EXPECT_EQ(x86.OpenForReading(HKLM, kWowRun), nullptr);
}

} // namespace qb::sandbox
