#include "knowledge/info_page.h"
#include "platform/faults/faulty_services.h"
#include "platform/sandbox/sandbox_system.h"
#include "support/recording_fakes.h"
#include "support/sandbox_root.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace qb {

namespace {

using namespace std::string_view_literals;

const std::string kToolDirectory = "C:\\Program Files\\Quillbrook";
const std::string kPageUrl = "file:///C:\\Program Files\\Quillbrook\\info.htm";

constexpr std::string_view kAllMarkers = "<!--name-->|<!--path-->|<!--locate-->|<!--rate-->|<!--comment-->|"
                                         "<!--Memory-->|<!--title-->|<!--sec-->|<!--file-->|<!--exe-->";

class FixedSystemInfo : public SystemInfo {
public:
    FixedSystemInfo(PlatformFamily family, int major) : version_{family, major} {}
    OsVersion Version() override { return version_; }
    std::string SystemDirectory() override { return "C:\\WINDOWS\\SYSTEM32"; }
    std::string WindowsDirectory() override { return "C:\\WINDOWS"; }
    std::string ExpandEnvironmentStrings(std::string_view text) override { return std::string(text); }

private:
    OsVersion version_;
};

StartupItem Item(const char* name, const char* location, std::int32_t memoryKB, std::int32_t peakKB) {
    StartupItem item;
    item.Name = name;
    item.Location = location;
    item.Command = "C:\\Apps\\app.exe";
    item.MemoryKB = memoryKB;
    item.PeakMemoryKB = peakKB;
    return item;
}

} // namespace

TEST(InfoPage, FillsTheMarkersInOrder) {
    const struct {
        const char* what;
        std::string_view templateText;
        InfoRow row;
        std::string_view description;
        std::string_view memory;
        std::string_view expected;
    } cases[] = {
        {"every marker, inserts stay and replaces go",
         kAllMarkers,
         {"My App 2.0", "C:\\Apps\\app.exe /x", "Current User\\Registry\\Run", "Not Required"},
         "Shows the tray icon.",
         "N/A (This program is not running)",
         "My App 2.0<!--name-->|C:\\Apps\\app.exe /x<!--path-->|Current User\\Registry\\Run<!--locate-->|"
         "Not Required<!--rate-->|Shows the tray icon.<!--comment-->|N/A (This program is not running)"
         "<!--Memory-->|My+App+2%2E0|My App 2.0|APP%2EEXE|C:\\APPS\\APP.EXE /X"},
        {"a missing name marker puts the caption at the very start",
         "<html><b><!--path--></b></html>",
         {"Foo", "C:\\foo.exe", "", ""},
         "",
         "",
         "Foo<html><b>C:\\foo.exe<!--path--></b></html>"},
        {"missing insert markers stack up at the start, the last inserted first",
         "<p>body</p>",
         {"Name", "Cmd", "Loc", "Rate"},
         "Desc",
         "Mem",
         "MemDescRateLocCmdName<p>body</p>"},
        {"a missing replace marker changes nothing",
         "<!--name--><i>static</i>",
         {"Foo", "", "", ""},
         "",
         "",
         "Foo<!--name--><i>static</i>"},
        {"only the first of two sec markers is replaced",
         "<!--name-->:<!--sec-->|<!--sec-->",
         {"Foo", "", "", ""},
         "",
         "",
         "Foo<!--name-->:Foo|<!--sec-->"},
        {"markers are case-sensitive",
         "<!--name--><!--NAME--><!--Sec-->",
         {"Foo", "", "", ""},
         "",
         "",
         "Foo<!--name--><!--NAME--><!--Sec-->"},
        {"a quoted command with arguments",
         "<!--name--><!--path-->[<!--exe-->][<!--file-->]",
         {"Foo", "\"C:\\Program Files\\Foo\\foo.exe\" /min", "", ""},
         "",
         "",
         "Foo<!--name-->&quot;C:\\Program Files\\Foo\\foo.exe&quot; /min<!--path-->"
         "[C:\\PROGRAM FILES\\FOO\\FOO.EXE][FOO%2EEXE]"},
        {"an invalid path keeps its prefix in the path and the command text",
         "<!--name--><!--path-->[<!--exe-->][<!--file-->]",
         {"Bar", "[Invalid Path]C:\\Gone\\bar.exe", "", ""},
         "",
         "",
         "Bar<!--name-->[Invalid Path]C:\\Gone\\bar.exe<!--path-->[[INVALID "
         "PATH]C:\\GONE\\BAR.EXE][BAR%2EEXE]"},
        {"a single quote leaves an empty command text and phrase",
         "<!--name--><!--path-->[<!--exe-->][<!--file-->]",
         {"Foo", "\"C:\\Apps\\foo.exe /min", "", ""},
         "",
         "",
         "Foo<!--name-->&quot;C:\\Apps\\foo.exe /min<!--path-->[][]"},
        {"text after the first closing tag is dropped",
         "<html><!--name--></html>\r\nsecret</html>tail",
         {"Foo", "", "", ""},
         "",
         "",
         "<html>Foo<!--name--></html>"},
        {"a template without a closing tag is written whole",
         "<p><!--name--></p>\r\n",
         {"Foo", "", "", ""},
         "",
         "",
         "<p>Foo<!--name--></p>\r\n"},
        {"the template ends at its first NUL byte",
         "<html><!--name-->\0<!--sec--></html>"sv,
         {"Foo", "", "", ""},
         "",
         "",
         "<html>Foo<!--name-->"},
        {"an empty template still gets the values", "", {"Foo", "", "", ""}, "", "", "Foo"},
        {"a hostile name is escaped in the page and encoded in the search words",
         "<h3><!--name--></h3><a href=\"?as_q=<!--title-->\"><!--sec--></a>",
         {"a\"><script>alert('x')</script>", "", "", ""},
         "",
         "",
         "<h3>a&quot;&gt;&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;<!--name--></h3>"
         "<a href=\"?as_q=a%22%3E%3Cscript%3Ealert%28%27x%27%29%3C%2Fscript%3E\">"
         "a&quot;&gt;&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;</a>"},
        {"query syntax in a name stays inside its term",
         "<!--name--><!--path--><a href=\"?as_q=<!--title-->&amp;as_epq=<!--file-->\">",
         {"x&y=1#z", "\"C:\\Apps\\a&b#1.exe\" /q", "", ""},
         "",
         "",
         "x&amp;y=1#z<!--name-->&quot;C:\\Apps\\a&amp;b#1.exe&quot; /q<!--path-->"
         "<a href=\"?as_q=x%26y%3D1%23z&amp;as_epq=A%26B%231%2EEXE\">"},
        {"a name that looks like a marker cannot take a later marker's place",
         "<!--name-->|<!--path-->|<!--sec-->|<!--exe-->",
         {"<!--sec-->", "<!--exe-->", "", ""},
         "",
         "",
         "&lt;!--sec--&gt;<!--name-->|&lt;!--exe--&gt;<!--path-->|&lt;!--sec--&gt;|&lt;!--EXE--&gt;"},
        {"a closing tag in the entry's texts cannot cut the page short",
         "<html><!--name--><!--path--><!--locate--></html>",
         {"</html>", "C:\\a.exe </html>", "</html>", ""},
         "",
         "",
         "<html>&lt;/html&gt;<!--name-->C:\\a.exe &lt;/html&gt;<!--path-->&lt;/html&gt;<!--locate--></html>"},
        {"location and rating are escaped",
         "<!--name--><!--locate-->|<!--rate-->",
         {"Foo", "", "A<B>", "User's Choice"},
         "",
         "",
         "Foo<!--name-->A&lt;B&gt;<!--locate-->|User&#39;s Choice<!--rate-->"},
        {"the description keeps its markup",
         "<!--name--><p><!--comment--></p>",
         {"Foo", "", "", ""},
         "<b>Bold</b> &amp; <a href=\"http://example.org/\">more</a>",
         "",
         "Foo<!--name--><p><b>Bold</b> &amp; <a href=\"http://example.org/\">more</a><!--comment--></p>"},
        {"the memory text goes before its marker",
         "<!--name--><td><!--Memory--></td>",
         {"Foo", "", "", ""},
         "",
         "3.5 MB / 4 MB (Current / Peak)",
         "Foo<!--name--><td>3.5 MB / 4 MB (Current / Peak)<!--Memory--></td>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(FillInfoTemplate(c.templateText, c.row, c.description, c.memory), c.expected);
    }
    // The command file takes the place of its first marker, escaped; without one it is empty.
    EXPECT_EQ(FillInfoTemplate("<!--name-->[<!--cmdfile-->][<!--cmdfile-->]", {"Foo", "", "", ""}, "", "",
                               "C:\\A&B.exe"),
              "Foo<!--name-->[C:\\A&amp;B.exe][<!--cmdfile-->]");
    EXPECT_EQ(FillInfoTemplate("<!--name-->[<!--cmdfile-->]", {"Foo", "", "", ""}, "", ""),
              "Foo<!--name-->[]");
}

TEST(InfoPage, CommandTextAndSearchTerms) {
    const struct {
        std::string_view commandCell;
        std::string_view commandText;
        std::string_view phrase;
    } cases[] = {
        {"", "", ""},
        {"C:\\Apps\\foo.exe /min", "C:\\APPS\\FOO.EXE /MIN", "FOO%2EEXE"},
        {"\"C:\\Program Files\\Foo\\foo.exe\" /min", "C:\\PROGRAM FILES\\FOO\\FOO.EXE", "FOO%2EEXE"},
        // First to last quote, whatever lies between; the quote left inside comes after the extension,
        // where TargetFileName finds no path.
        {"\"C:\\A\\a.exe\" \"arg\"", "C:\\A\\A.EXE\" \"ARG", ""},
        {"\"C:\\Apps\\foo.exe", "", ""},
        {"[Invalid Path]C:\\Gone\\bar.exe", "[INVALID PATH]C:\\GONE\\BAR.EXE", "BAR%2EEXE"},
        {"rundll32.exe C:\\x.dll,Start", "RUNDLL32.EXE C:\\X.DLL,START",
         "RUNDLL32%2EEXE+C%3A%5CX%2EDLL%2CSTART"},
        {"caf\xC3\xA9.exe", "CAF\xC3\x89.EXE", "CAF%C3%89%2EEXE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commandCell);
        const std::string text = InfoCommandText(c.commandCell);
        EXPECT_EQ(text, c.commandText);
        EXPECT_EQ(SearchPhrase(text), c.phrase);
    }
    EXPECT_EQ(SearchWords("My App 2.0"), "My+App+2%2E0");
    EXPECT_EQ(SearchWords("Foo Bar 2.1"), "Foo+Bar+2%2E1");
}

TEST(InfoPage, MemoryTextComesFromTheFirstRecordWithNameAndLocation) {
    const char* run = "Current User\\Registry\\Run";
    const char* allRun = "All Users\\Registry\\Run";
    Inventory inventory;
    inventory.Append(Item("Stopped", run, 0, 0));
    inventory.Append(Item("Unmeasured", run, -1, 0));
    inventory.Append(Item("Running", run, 3584, 4096));
    inventory.Append(Item("Small", run, 512, 2000));
    inventory.Append(Item("Twice", allRun, 1024, 1024));
    inventory.Append(Item("Twice", run, 2048, 3072));
    inventory.Append(Item("Twice", run, 9999, 9999));
    inventory.Append(Item("FirstStopped", run, 0, 0));
    inventory.Append(Item("FirstStopped", run, 2048, 2048));

    const std::string notRunning = "N/A (This program is not running)";
    const std::string noCounters = "N/A (Cannot get memery inforamtion in Windows 9X/ME/NT)";
    const struct {
        const char* caption;
        const char* location;
        PlatformFamily family;
        int major;
        std::string expected;
    } cases[] = {
        {"Stopped", run, PlatformFamily::NT, 10, notRunning},
        {"Unmeasured", run, PlatformFamily::NT, 10, "Running (its memory use cannot be read)"},
        {"Running", run, PlatformFamily::NT, 10, "3.5 MB / 4 MB (Current / Peak)"},
        {"Small", run, PlatformFamily::NT, 5, "512 KB / 2 MB (Current / Peak)"},
        {"Twice", run, PlatformFamily::NT, 10, "2 MB / 3 MB (Current / Peak)"},
        {"Twice", allRun, PlatformFamily::NT, 10, "1 MB / 1 MB (Current / Peak)"},
        {"FirstStopped", run, PlatformFamily::NT, 10, notRunning},
        {"running", run, PlatformFamily::NT, 10, notRunning},
        {"Running", allRun, PlatformFamily::NT, 10, notRunning},
        {"Nobody", run, PlatformFamily::NT, 10, notRunning},
        {"Running", run, PlatformFamily::Windows9x, 4, noCounters},
        {"Stopped", run, PlatformFamily::Windows9x, 4, noCounters},
        {"Running", run, PlatformFamily::NT, 4, noCounters},
        {"Running", run, PlatformFamily::NT, 3, noCounters},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.caption) + " on " + std::to_string(c.major));
        FixedSystemInfo system(c.family, c.major);
        EXPECT_EQ(InfoMemoryText({c.caption, "C:\\Apps\\app.exe", c.location, "Unknown"}, inventory, system),
                  c.expected);
    }
}

TEST(InfoPage, BuildWritesThePageAndNavigatesToIt) {
    test::SandboxRoot root;
    root.File(kToolDirectory + "\\infotpl.dat",
              "<html><h3><!--name--></h3><!--path--><!--locate--><!--rate--><p><!--comment--></p>"
              "<p><!--Memory--></p></html>\r\nleftover")
        .File(kToolDirectory + "\\st.dat", "[Foo]\r\nDescription=<i>Foo helper</i>\r\n");
    test::ScriptedDialogs dialogs;
    test::RecordingBrowserPane pane;
    root.System().SetDialogs(dialogs);
    root.System().SetBrowserPane(pane);
    ProgramDatabase database(root.System().Files());
    Inventory inventory;
    inventory.Append(Item("Foo", "Current User\\Registry\\Run", 3584, 4096));
    const InfoRow row{"Foo", "C:\\Apps\\app.exe", "Current User\\Registry\\Run", "Unknown"};

    ASSERT_TRUE(BuildInfoPage(row, inventory, database, root.Services()));
    EXPECT_EQ(
        test::ReadText(root.Host(kToolDirectory + "\\info.htm")),
        "<html><h3>Foo<!--name--></h3>C:\\Apps\\app.exe<!--path-->Current User\\Registry\\Run<!--locate-->"
        "Unknown<!--rate--><p><i>Foo helper</i><!--comment--></p>"
        "<p>3.5 MB / 4 MB (Current / Peak)<!--Memory--></p></html>");
    EXPECT_EQ(pane.urls, std::vector<std::string>{kPageUrl});
    EXPECT_TRUE(dialogs.Messages().empty());

    // Nothing is cached: the next build reads the edited template and rewrites the page.
    test::WriteText(
        root.Host(kToolDirectory + "\\infotpl.dat"),
        "<!--path--><!--locate--><!--rate--><!--comment--><!--Memory--><html><!--name--> again</html>");
    const InfoRow other{"Unlisted", "C:\\Apps\\other.exe", "Current User\\Registry\\Run", "Unknown"};
    ASSERT_TRUE(BuildInfoPage(other, inventory, database, root.Services()));
    EXPECT_EQ(test::ReadText(root.Host(kToolDirectory + "\\info.htm")),
              "C:\\Apps\\other.exe<!--path-->Current User\\Registry\\Run<!--locate-->Unknown<!--rate-->"
              "Unknown Application<!--comment-->N/A (This program is not running)<!--Memory-->"
              "<html>Unlisted<!--name--> again</html>");
    EXPECT_EQ(pane.urls.size(), 2u);
}

TEST(InfoPage, FileFailuresShowTheFileErrorBoxAndKeepThePane) {
    const struct {
        const char* what;
        bool templatePresent;
        const char* failingOperation;
    } cases[] = {
        {"template missing", false, nullptr},
        {"template unreadable", true, "files.read"},
        {"page not writable", true, "files.write"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::SandboxRoot root;
        root.Folder(kToolDirectory);
        if (c.templatePresent) {
            root.File(kToolDirectory + "\\infotpl.dat", "<html><!--name--></html>");
        }
        test::ScriptedDialogs dialogs;
        test::RecordingBrowserPane pane;
        root.System().SetDialogs(dialogs);
        root.System().SetBrowserPane(pane);
        FaultPlan plan;
        if (c.failingOperation) {
            plan.FailOperation(c.failingOperation);
        }
        FaultyFileSystem files(root.System().Files(), plan);
        const PlatformServices real = root.Services();
        const PlatformServices services{real.registry, real.profiles,  files,
                                        real.shell,    real.processes, real.system,
                                        real.dialogs,  real.browser,   real.clock};
        ProgramDatabase database(root.System().Files());

        EXPECT_FALSE(BuildInfoPage({"Foo", "C:\\foo.exe", "Current User\\Registry\\Run", "Unknown"},
                                   Inventory{}, database, services));
        ASSERT_EQ(dialogs.Messages().size(), 1u);
        EXPECT_EQ(dialogs.Messages()[0].title, "File Error");
        EXPECT_EQ(dialogs.Messages()[0].text, "Can't open or write the information file.");
        EXPECT_TRUE(pane.urls.empty());
        EXPECT_FALSE(std::filesystem::exists(root.Host(kToolDirectory + "\\info.htm")));
    }
}

// The page's command file is the file Windows starts, spelt as the disk has it and without arguments; a
// program that is not there is named as the command writes it.
TEST(InfoPage, TheCommandFileIsTheProgramAsTheDiskSpellsIt) {
    test::SandboxRoot root;
    root.File("C:\\Apps\\Mixed Tool\\Agent.exe").File("C:\\Windows\\System32\\Helper.exe");
    const struct {
        const char* command;
        const char* file;
    } cases[] = {
        {"c:\\apps\\MIXED TOOL\\agent.EXE /q", "C:\\Apps\\Mixed Tool\\Agent.exe"},
        {"\"C:\\APPS\\MIXED TOOL\\AGENT.EXE\" --tray", "C:\\Apps\\Mixed Tool\\Agent.exe"},
        {"C:/Apps/Mixed Tool/agent", "C:\\Apps\\Mixed Tool\\Agent.exe"},
        {"helper.exe /min", "C:\\Windows\\System32\\Helper.exe"},
        {"C:\\Gone\\Broken.exe /x", "C:\\Gone\\Broken.exe"},
        {"\"C:\\Gone Away\\b.exe\" /x", "C:\\Gone Away\\b.exe"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(InfoCommandFile(c.command, root.Services()), c.file);
    }
}

// The shipped template carries every marker once, ends in "</html>", and renders a hostile entry inertly.
// Its command file line is the file as the disk spells it (cmdfile); the command in capitals (exe) is left to
// templates of users who want it.
TEST(InfoPage, ShippedTemplateHoldsEveryMarker) {
    test::TempDir dir;
    auto opened = sandbox::SandboxSystem::OpenOrSeed(dir.Path() / "root");
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<sandbox::SandboxSystem>>(opened));
    auto& system = *std::get<std::unique_ptr<sandbox::SandboxSystem>>(opened);
    const std::string toolDirectory = system.Files().ExecutableDirectory();
    const auto templateText = system.Files().ReadFile(JoinPath(toolDirectory, "infotpl.dat"));
    ASSERT_TRUE(templateText);
    EXPECT_TRUE(system.Files().FileExists(JoinPath(toolDirectory, "mess.htm")));

    for (const char* marker :
         {"<!--name-->", "<!--path-->", "<!--locate-->", "<!--rate-->", "<!--comment-->", "<!--Memory-->",
          "<!--title-->", "<!--sec-->", "<!--file-->", "<!--cmdfile-->"}) {
        SCOPED_TRACE(marker);
        const auto first = templateText->find(marker);
        ASSERT_NE(first, std::string::npos);
        EXPECT_EQ(templateText->find(marker, first + 1), std::string::npos);
    }
    EXPECT_EQ(templateText->find('\0'), std::string::npos);
    ASSERT_TRUE(templateText->ends_with("</html>\r\n"));

    const std::string page = FillInfoTemplate(
        *templateText, {"x\"><script>alert(1)</script>", "\"C:\\A\\<b>.exe\" /q", "<i>loc</i>", "Unknown"},
        "Unknown Application", "N/A (This program is not running)");
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.find("<b>.exe"), std::string::npos);
    EXPECT_EQ(page.find("<i>loc"), std::string::npos);
    EXPECT_NE(page.find("as_q=x%22%3E%3Cscript%3Ealert%281%29%3C%2Fscript%3E&amp;as_epq=%3CB%3E%2EEXE"),
              std::string::npos);
    EXPECT_TRUE(page.ends_with("</html>"));
}

} // namespace qb

namespace qb {

TEST(InfoPage, AnEntrySwitchedOffByWindowsSaysSoWithItsDate) {
    Inventory inventory;
    StartupItem dated;
    dated.Name = "Dated";
    dated.Location = "Current User\\Registry\\Run";
    dated.SwitchedOff = true;
    dated.SwitchedOffAt = 134'168'420'400'000'000; // 2026-03-01 12:34 UTC
    inventory.Append(dated);
    StartupItem undated = dated;
    undated.Name = "Undated";
    undated.SwitchedOffAt = 0;
    inventory.Append(undated);
    StartupItem plain = dated;
    plain.Name = "Plain";
    plain.SwitchedOff = false;
    inventory.Append(plain);
    const auto note = [&](const char* caption) {
        return SwitchNote({caption, "C:\\Apps\\app.exe", "Current User\\Registry\\Run", "Unknown"}, inventory);
    };
    EXPECT_EQ(note("Dated"), "<p>Switched off in Windows' startup settings on 2026-03-01 12:34 UTC. Ticking it "
                             "switches it on again.</p>");
    EXPECT_EQ(note("Undated"),
              "<p>Switched off in Windows' startup settings. Ticking it switches it on again.</p>");
    EXPECT_EQ(note("Plain"), "");
    EXPECT_EQ(note("Nobody"), "");
}

} // namespace qb

namespace qb {

// A value back in the run key with another command than the copy the user disabled: the page shows both,
// escaped, so the user sees what was kept and what runs now.
TEST(InfoPage, AnEntryKeptAsideWithAnotherCommandShowsBothCommands) {
    const auto entry = [](const char* name, const char* command, ItemState state, const char* location) {
        StartupItem item;
        item.Name = name;
        item.Command = command;
        item.Location = location;
        item.State = state;
        item.LoadedState = state;
        return item;
    };
    constexpr const char* kRun = "Current User\\Registry\\Run";
    constexpr const char* kMenu = "Current User\\Startup Menu";
    Inventory inventory;
    inventory.Append(
        entry("Padnote", "C:\\Users\\User\\AppData\\Roaming\\evil.exe <b>", ItemState::Enabled, kRun));
    inventory.Append(entry("Padnote", "C:\\Program Files\\Padnote\\padnote.exe", ItemState::Disabled, kRun));
    inventory.Append(entry("Same", "C:\\same.exe", ItemState::Enabled, kRun));
    inventory.Append(entry("Same", "C:\\same.exe", ItemState::Disabled, kRun));
    inventory.Append(entry("Alone", "C:\\alone.exe", ItemState::Disabled, kRun));
    inventory.Append(entry("Tool", "C:\\a.exe", ItemState::Enabled, kMenu));
    inventory.Append(entry("Tool", "C:\\b.exe", ItemState::Disabled, kMenu));
    inventory.MarkLoaded();
    const auto note = [&](const char* caption, const char* location) {
        return KeptCopyNote({caption, "", location, "Unknown"}, inventory);
    };
    const std::string both = "<p>Kept aside when you disabled it: C:\\Program Files\\Padnote\\padnote.exe<br>"
                             "In its place now: C:\\Users\\User\\AppData\\Roaming\\evil.exe &lt;b&gt;</p>";
    EXPECT_EQ(note("Padnote", kRun), both);
    EXPECT_EQ(note("Same", kRun), "");
    EXPECT_EQ(note("Alone", kRun), "");
    EXPECT_EQ(note("Tool", kMenu), "") << "a folder keeps no copy aside under a run key";
    EXPECT_EQ(note("Nobody", kRun), "");
}

} // namespace qb

namespace qb {

// The page of a startup folder's file says what Windows does with it; an unreadable shortcut's reason is
// escaped, as it may quote the file.
TEST(InfoPage, AFileThatIsNoShortcutSaysWhatWindowsDoesWithIt) {
    constexpr const char* kMenu = "Current User\\Startup Menu";
    Inventory inventory;
    const auto add = [&](const char* name, FolderFile file, const char* problem) {
        StartupItem item;
        item.Name = name;
        item.Location = kMenu;
        item.File = file;
        item.FileProblem = problem;
        inventory.Append(item);
    };
    add("Tool", FolderFile::Shortcut, "");
    add("boot.bat", FolderFile::Other, "");
    add("broken", FolderFile::UnreadableShortcut, "the file is cut short <here>");
    const auto note = [&](const char* caption) {
        return FileNote({caption, "", kMenu, "Unknown"}, inventory);
    };
    EXPECT_EQ(note("Tool"), "");
    EXPECT_EQ(note("boot.bat"), "<p>Not a shortcut: Windows opens this file as it is at logon.</p>");
    EXPECT_EQ(note("broken"), "<p><b>This shortcut cannot be read: the file is cut short &lt;here&gt;.</b> "
                              "Windows starts nothing from it. It can be disabled or deleted.</p>");
    EXPECT_EQ(note("Nobody"), "");
}

} // namespace qb

namespace qb {

// Why an entry is marked opens its page; a changed one also says the command it was accepted with and the
// one there now, escaped (a shortcut's with its arguments, as the list shows it).
TEST(InfoPage, AChangedEntrySaysWasAndNow) {
    constexpr const char* kRun = "Current User\\Registry\\Run";
    constexpr const char* kMenu = "Current User\\Startup Menu";
    Inventory inventory;
    const auto add = [&](const char* name, const char* location, ChangeMark mark, const char* command,
                         const char* accepted, const char* arguments = "") {
        StartupItem item;
        item.Name = name;
        item.Location = location;
        item.Command = command;
        item.Arguments = arguments;
        item.Change = mark;
        item.AcceptedCommand = accepted;
        inventory.Append(std::move(item));
    };
    add("Changed", kRun, ChangeMark::Changed, "C:\\Apps\\evil.exe <b>", "\"C:\\Apps\\good.exe\" & more");
    add("Link", kMenu, ChangeMark::Changed, "C:\\Program Files\\App\\app.exe",
        "C:\\Program Files\\App\\app.exe", "/min");
    add("New", kRun, ChangeMark::New, "C:\\Apps\\new.exe", "");
    add("Plain", kRun, ChangeMark::None, "C:\\Apps\\plain.exe", "");
    const auto note = [&](const char* caption, const char* location) {
        return ChangeNote({caption, "", location, "Unknown"}, inventory);
    };
    const struct {
        const char* caption;
        const char* location;
        std::string note;
    } cases[] = {
        {"Changed", kRun,
         "<p><b>Changed: this entry's command is not the one it had when you last accepted the startup "
         "setting.</b><br>Was: &quot;C:\\Apps\\good.exe&quot; &amp; more<br>Now: C:\\Apps\\evil.exe "
         "&lt;b&gt;</p>"},
        {"Link", kMenu,
         "<p><b>Changed: this entry's command is not the one it had when you last accepted the startup "
         "setting.</b><br>Was: C:\\Program Files\\App\\app.exe<br>Now: &quot;C:\\Program "
         "Files\\App\\app.exe&quot; "
         "/min</p>"},
        {"New", kRun,
         "<p><b>New: this entry was not there when you last accepted the startup setting.</b></p>"},
        {"Plain", kRun, ""},
        {"Nobody", kRun, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        EXPECT_EQ(note(c.caption, c.location), c.note);
    }
}

} // namespace qb
