#include "platform/link_bytes.h"
#include "platform/sandbox/code_page_text.h"
#include "platform/sandbox/command_line_words.h"
#include "platform/sandbox/sandbox_registry.h"
#include "platform/sandbox/sandbox_shell.h"
#include "support/process_guard.h"
#include "support/temp_dir.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <thread>

namespace qb::sandbox {

using test::ReadText;
using test::TempDir;
using test::WriteText;
using ::testing::ElementsAre;

namespace {

class RecordingDesktop : public DesktopHandoff {
public:
    bool Open(std::string_view target) override {
        opened.emplace_back(target);
        return true;
    }
    bool ShowProperties(std::string_view windowsPath, const std::filesystem::path&) override {
        properties.emplace_back(windowsPath);
        return true;
    }
    std::vector<std::string> opened;
    std::vector<std::string> properties;
};

struct ShellFixture {
    ShellFixture()
        : paths(dir.Path()), registry(dir.Path() / "registry.reg", true),
          shell(paths, settings, registry, desktop) {}
    std::filesystem::path Host(const std::string& windows) { return *paths.ToHost(windows); }
    // A host program that writes its arguments, one a line, into a file beside it.
    void MakeRecorder(const std::string& windowsPath) {
        const auto host = Host(windowsPath);
        WriteText(host, "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"$0.args\"\n");
        std::filesystem::permissions(host, std::filesystem::perms::owner_all);
    }
    std::string WaitForArguments(const std::string& windowsPath) {
        const auto file = Host(windowsPath).string() + ".args";
        for (int i = 0; i < 250 && !std::filesystem::exists(file); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return ReadText(file);
    }
    TempDir dir;
    SandboxSettings settings;
    PathMap paths;
    SandboxRegistry registry;
    RecordingDesktop desktop;
    SandboxShell shell;
    const test::FolderProcessGuard started{dir.Path()}; // the recorders it ran, if one still writes
};

} // namespace

TEST(CommandLineWords, SplitLikeWindowsPrograms) {
    EXPECT_THAT(SplitCommandLineWords(R"(/min --profile "Work Files" a\"b "c\\" d\\e)"),
                ElementsAre("/min", "--profile", "Work Files", "a\"b", "c\\", "d\\\\e"));
    EXPECT_THAT(SplitCommandLineWords("  "), ElementsAre());
    EXPECT_THAT(SplitCommandLineWords(R"("say ""hi""")"), ElementsAre("say \"hi\""));
}

TEST(CommandLineWords, ProgramCandidatesAreTheQuotedPartOrEveryPrefix) {
    const auto quoted = ProgramCandidates(R"("C:\Program Files\App\app.exe" /min)");
    ASSERT_EQ(quoted.size(), 1u);
    EXPECT_EQ(quoted[0].program, "C:\\Program Files\\App\\app.exe");
    EXPECT_EQ(quoted[0].arguments, "/min");
    const auto bare = ProgramCandidates(R"(C:\Program Files\App\app.exe /min)");
    ASSERT_EQ(bare.size(), 3u);
    EXPECT_EQ(bare[0].program, "C:\\Program");
    EXPECT_EQ(bare[1].program, "C:\\Program Files\\App\\app.exe");
    EXPECT_EQ(bare[1].arguments, "/min");
}

// Windows' shell expands a link's references when it loads the link; Wine's keeps them, and its
// SetPath even takes "%NAME%\app.exe" for a name in the current folder, so this holds for the sandbox.
TEST(SandboxShell, ShortcutTargetsLoadWithTheirReferencesExpanded) {
    ShellFixture f;
    f.settings.environment = {{"QbApps", "D:\\Apps"}};
    std::filesystem::create_directories(f.Host("C:\\Links"));
    const struct {
        const char* target;
        const char* loaded;
    } cases[] = {
        {"%QbApps%\\app.exe", "D:\\Apps\\app.exe"},
        {"%programfiles%\\Padnote\\padnote.exe", "C:\\Program Files\\Padnote\\padnote.exe"},
        {"%Unset%\\app.exe", "%Unset%\\app.exe"},
        {"C:\\100%\\app.exe", "C:\\100%\\app.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        ShortcutInfo link;
        link.target = c.target;
        link.arguments = "/x";
        ASSERT_TRUE(f.shell.SaveShortcut("C:\\Links\\Tool.lnk", link));
        const auto loaded = f.shell.LoadShortcut("C:\\Links\\Tool.lnk");
        ASSERT_TRUE(loaded.has_value());
        EXPECT_EQ(loaded->target, c.loaded);
        EXPECT_EQ(loaded->arguments, "/x");
    }
}

TEST(SandboxShell, RunningACommandStartsTheHostProgramWithItsArguments) {
    ShellFixture f;
    std::filesystem::create_directories(f.Host("C:\\Program Files\\App"));
    f.MakeRecorder("C:\\Program Files\\App\\app.exe");
    EXPECT_EQ(f.shell.RunCommand(R"(C:\Program Files\App\app.exe /min "two words")", 1), kWinExecStarted);
    EXPECT_EQ(f.WaitForArguments("C:\\Program Files\\App\\app.exe"), "/min\ntwo words\n");
}

TEST(SandboxShell, WinExecResultsForWhatCannotStart) {
    ShellFixture f;
    std::filesystem::create_directories(f.Host("C:\\WINDOWS\\SYSTEM32"));
    std::filesystem::create_directories(f.Host("C:\\Tools"));
    f.MakeRecorder("C:\\WINDOWS\\SYSTEM32\\helper.exe");
    WriteText(f.Host("C:\\Tools\\plain.exe"), "MZ not for this host");
    std::filesystem::permissions(f.Host("C:\\Tools\\plain.exe"), std::filesystem::perms::owner_read);
    const struct {
        const char* command;
        int result;
    } cases[] = {
        {"helper /x", kWinExecStarted}, // a bare name is found in the system directory
        {"\"helper.exe\"", kWinExecStarted},
        {"C:\\Tools\\absent.exe", kWinExecFileNotFound},
        {"C:\\No Such Folder\\app.exe", kWinExecPathNotFound},
        {"C:\\Tools\\plain.exe", kWinExecBadFormat},
        {"", kWinExecFileNotFound},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(f.shell.RunCommand(c.command, 1), c.result);
    }
}

TEST(SandboxShell, OpeningHandsFoldersAndAddressesToTheDesktop) {
    ShellFixture f;
    std::filesystem::create_directories(f.Host("C:\\Program Files\\App"));
    EXPECT_GT(f.shell.OpenWithVerb("explore", "C:\\program files\\app"), 32);
    EXPECT_GT(f.shell.OpenWithVerb("open", "https://example.org/?as_q=x"), 32);
    EXPECT_LE(f.shell.OpenWithVerb("open", "C:\\Missing\\doc.txt"), 32);
    EXPECT_THAT(f.desktop.opened,
                ElementsAre(f.Host("C:\\Program Files\\App").string(), "https://example.org/?as_q=x"));
    EXPECT_TRUE(f.shell.ShowProperties("C:\\Program Files\\App"));
    EXPECT_FALSE(f.shell.ShowProperties("C:\\Missing"));
    EXPECT_THAT(f.desktop.properties, ElementsAre("C:\\Program Files\\App"));
}

} // namespace qb::sandbox

namespace qb::sandbox {

TEST(SandboxShell, NotepadOpensTheFileInTheUsersTextViewer) {
    ShellFixture f;
    test::WriteText(f.Host("C:\\Backups\\mine.qbk"), "[General Info]\r\n");
    // With or without a stand-in notepad.exe on the drive: it cannot run on this host.
    EXPECT_EQ(f.shell.RunCommand("notepad.exe C:\\Backups\\mine.qbk", 1), kWinExecStarted);
    test::WriteText(f.Host("C:\\WINDOWS\\notepad.exe"), "MZ");
    EXPECT_EQ(f.shell.RunCommand("notepad.exe C:\\Backups\\mine.qbk", 1), kWinExecStarted);
    EXPECT_THAT(f.desktop.opened, ElementsAre(f.Host("C:\\Backups\\mine.qbk").string(),
                                              f.Host("C:\\Backups\\mine.qbk").string()));
}

} // namespace qb::sandbox

namespace qb::sandbox {

TEST(CodePageText, LegacyCodePagesDecodeAsWindowsMapsThem) {
    const struct {
        unsigned codePage;
        std::string bytes;
        std::string utf8;
    } cases[] = {
        {1252, "Z\xFCrich \x80", "Z\u00fcrich \u20ac"},
        {1251, "\xCF\xF0\xE8\xE2\xE5\xF2", "\u041f\u0440\u0438\u0432\u0435\u0442"},
        {932, "\x93\xFA\x96\x7B", "\u65e5\u672c"},
        {936, "\xD6\xD0\xCE\xC4", "\u4e2d\u6587"},
        {949, "\xC7\xD1\xB1\xDB", "\ud55c\uae00"},
        {950, "\xA4\xA4\xA4\xE5", "\u4e2d\u6587"},
        {65001, "Z\xC3\xBCrich", "Z\u00fcrich"},
        {932, "a\x93", "a\xEF\xBF\xBD"},     // a lead byte without its trail
        {99999, "Z\xFCrich", "Z\u00fcrich"}, // unknown here: Windows-1252
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codePage);
        EXPECT_EQ(CodePageToUtf8(c.codePage, c.bytes), c.utf8);
    }
}

// The sandbox reads a link's ANSI text in the code page its registry records, as Windows does.
TEST(SandboxShell, LinksAreReadInTheCodePageTheRegistryRecords) {
    ShellFixture f;
    std::filesystem::create_directories(f.Host("C:\\Links"));
    const std::string ansiPath = "C:\\\xCF\xF0\xE8\\app.exe";
    const std::string link =
        test::lnk::Header(0x2 | 0x80) + test::lnk::LinkInfo(ansiPath) + test::lnk::Le32(0);
    std::ofstream(f.Host("C:\\Links\\cp.lnk"), std::ios::binary) << link;
    const struct {
        const char* acp;
        std::string target;
    } cases[] = {
        {nullptr, "C:\\\u00cf\u00f0\u00e8\\app.exe"},
        {"1251", "C:\\\u041f\u0440\u0438\\app.exe"},
        {"not a number", "C:\\\u00cf\u00f0\u00e8\\app.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.acp ? c.acp : "absent");
        if (c.acp) {
            f.registry
                .OpenForWriting(RegistryRoot::LocalMachine,
                                "SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", true,
                                RegistryView::Native)
                ->WriteString("ACP", c.acp);
        }
        const auto loaded = f.shell.LoadShortcut("C:\\Links\\cp.lnk");
        ASSERT_TRUE(loaded.has_value()) << loaded.problem;
        EXPECT_EQ(loaded->target, c.target);
    }
}

} // namespace qb::sandbox
