#include "cli/cli_app.h"
#include "cli/run_cli.h"
#include "support/paths.h"
#include "support/sandbox_root.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

namespace qb::cli {

namespace {

using namespace test::paths;

} // namespace

TEST(ListCommand, JsonHoldsTheTenKeysOfEveryListedEntryInInventoryOrder) {
    test::SandboxRoot root;
    root.File("C:\\Apps\\agent.exe")
        .Processes("7\tagent.exe\t2097152\t3145728\n")
        .Value(RegistryRoot::LocalMachine, CV + "Run", "Agent", "C:\\Apps\\agent.exe /q")
        .Value(RegistryRoot::LocalMachine, CV + "Policies\\Explorer\\Run", "Hidden", "C:\\hidden.exe")
        .Value(RegistryRoot::CurrentUser, CV + "RunDisabled", "Off \"quoted\"", "C:\\gone.exe");
    const auto result = RunCli({"--system-root", root.Path().string(), "list", "--json"});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto rows = nlohmann::json::parse(result.out);
    ASSERT_EQ(rows.size(), 3u); // every place, the machine's policy key too
    const nlohmann::json expected = {{"name", "Agent"},
                                     {"command", "C:\\Apps\\agent.exe /q"},
                                     {"location", "All Users\\Registry\\Run"},
                                     {"state", "Enabled"},
                                     {"rating", "Unknown"},
                                     {"pathValid", true},
                                     {"memoryKB", 2048},
                                     {"peakMemoryKB", 3072},
                                     {"approved", true},
                                     {"change", nullptr}};
    EXPECT_EQ(rows[0], expected);
    // The machine's policy key keeps the label backups and scripts have always used.
    EXPECT_EQ(rows[1]["location"], "Current User\\Registry\\Explorer Run");
    EXPECT_EQ(rows[2]["name"], "Off \"quoted\"");
    EXPECT_EQ(rows[2]["state"], "Disabled");
    EXPECT_EQ(rows[2]["command"], "C:\\gone.exe"); // without the list's invalid-path marker
    EXPECT_EQ(rows[2]["pathValid"], false);

    // --all is still taken, and lists the same.
    const auto all =
        nlohmann::json::parse(RunCli({"--system-root", root.Path().string(), "list", "--all", "--json"}).out);
    EXPECT_EQ(all, rows);
}

// Every format lists the command Windows runs: a command longer than a record holds whole, a shortcut's
// target with the arguments it passes, quoted for its blank.
TEST(ListCommand, EveryFormatListsTheWholeCommandWindowsRuns) {
    const std::string longCommand = "C:\\Apps\\app.exe /data " + std::string(436, 'a');
    const std::string notes = "\"C:\\Program Files\\Notes\\notes.exe\" /quicknote";
    test::SandboxRoot root;
    root.File("C:\\Apps\\app.exe")
        .File("C:\\Program Files\\Notes\\notes.exe")
        .Value(RegistryRoot::CurrentUser, CV + "Explorer\\Shell Folders", "Startup", kUserStartup)
        .Value(RegistryRoot::CurrentUser, CV + "Run", "Long", longCommand)
        .Shortcut(kUserStartup + "\\Notes.lnk", "C:\\Program Files\\Notes\\notes.exe", "/quicknote");
    const std::string r = root.Path().string();

    const auto csv = RunCli({"--system-root", r, "list", "--csv"});
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.out, "name,command,location,state,rating,pathValid,memoryKB,peakMemoryKB,change\r\n"
                       "Long," +
                           longCommand +
                           ",Current User\\Registry\\Run,Enabled,Unknown,true,0,0,\r\n"
                           "Notes,\"\"\"C:\\Program Files\\Notes\\notes.exe\"\" /quicknote\","
                           "Current User\\Startup Menu,Enabled,Unknown,true,0,0,\r\n");

    const auto json = RunCli({"--system-root", r, "list", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    std::vector<std::string> commands;
    for (const auto& row : nlohmann::json::parse(json.out)) {
        commands.push_back(row["command"]);
    }
    EXPECT_THAT(commands, ::testing::ElementsAre(longCommand, notes));

    // The table's last column is the command; the lines end with it.
    const auto table = RunCli({"--system-root", r, "list"});
    ASSERT_EQ(table.status, 0) << table.err;
    std::istringstream lines(table.out);
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);) {
        rows.push_back(line);
    }
    ASSERT_GE(rows.size(), 3u) << table.out;
    const auto lastColumn = [&](const std::string& line) {
        return line.substr(std::min(line.size(), rows[0].find("Command Path")));
    };
    EXPECT_THAT((std::vector<std::string>{lastColumn(rows[1]), lastColumn(rows[2])}),
                ::testing::ElementsAre(longCommand, notes));
}

// RunOnceEx's sections share the load: every format lists each section's commands under "section\value",
// and none of the titles or the key's settings.
TEST(ListCommand, EveryFormatListsRunOnceExSectionCommandsByTheirSections) {
    test::SandboxRoot root;
    root.File("C:\\Apps\\app.exe")
        .Value(RegistryRoot::LocalMachine, CV + "RunOnceEx", "Title", "Setup")
        .Value(RegistryRoot::LocalMachine, CV + "RunOnceEx\\0001", "", "Fonts")
        .Value(RegistryRoot::LocalMachine, CV + "RunOnceEx\\0001", "Serif", "||C:\\Apps\\app.exe /serif")
        .Value(RegistryRoot::CurrentUser, CV + "RunOnceExDisabled\\0002", "Later", "C:\\Gone\\later.dll|Go|");
    const std::string r = root.Path().string();

    const auto csv = RunCli({"--system-root", r, "list", "--csv"});
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.out,
              "name,command,location,state,rating,pathValid,memoryKB,peakMemoryKB,change\r\n"
              "0001\\Serif,||C:\\Apps\\app.exe /serif,All Users\\Registry\\RunOnce Ex,Enabled,Unknown,true,"
              "0,0,\r\n"
              "0002\\Later,C:\\Gone\\later.dll|Go|,Current User\\Registry\\RunOnce Ex,Disabled,Unknown,"
              "false,0,0,\r\n");

    const auto json = RunCli({"--system-root", r, "list", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    std::vector<std::string> rows;
    for (const auto& row : nlohmann::json::parse(json.out)) {
        rows.push_back(row["name"].get<std::string>() + " = " + row["command"].get<std::string>());
    }
    EXPECT_THAT(rows, ::testing::ElementsAre("0001\\Serif = ||C:\\Apps\\app.exe /serif",
                                             "0002\\Later = C:\\Gone\\later.dll|Go|"));

    const auto table = RunCli({"--system-root", r, "list"});
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_EQ(table.out,
              "State     Program Name  Rating   Memory  Location                          Command Path\n"
              "Enabled   0001\\Serif    Unknown          All Users\\Registry\\RunOnce Ex     "
              "||C:\\Apps\\app.exe /serif\n"
              "Disabled  0002\\Later    Unknown          Current User\\Registry\\RunOnce Ex  "
              "[Invalid Path]C:\\Gone\\later.dll|Go|\n"
              "2 entries\n");
}

TEST(ListCommand, CsvQuotesFieldsThatNeedIt) {
    test::SandboxRoot root;
    root.Value(RegistryRoot::CurrentUser, CV + "Run", "a,b", "\"C:\\x y\\app.exe\" /q");
    const auto result = RunCli({"--system-root", root.Path().string(), "list", "--csv"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "name,command,location,state,rating,pathValid,memoryKB,peakMemoryKB,change\r\n"
              "\"a,b\",\"\"\"C:\\x y\\app.exe\"\" /q\",Current User\\Registry\\Run,Enabled,Unknown,"
              "false,0,0,\r\n");
}

// A cell a spreadsheet would take for a formula is made text, and the file stays valid CSV.
TEST(ListCommand, CsvCellsThatASpreadsheetWouldRunAreMadeText) {
    const struct {
        const char* name;
        const char* command;
        const char* row; // name and command cells as written
    } cases[] = {
        {"=HYPERLINK(1)", "C:\\app.exe", "'=HYPERLINK(1),C:\\app.exe"},
        {"+Plus", "-c calc", "'+Plus,'-c calc"},
        {"@Sum", "=1+2,3", "'@Sum,\"'=1+2,3\""},
        {"Plain", "C:\\a=b.exe", "Plain,C:\\a=b.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::SandboxRoot root;
        root.Value(RegistryRoot::CurrentUser, CV + "Run", c.name, c.command);
        const auto result = RunCli({"--system-root", root.Path().string(), "list", "--csv"});
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out,
                  std::string("name,command,location,state,rating,pathValid,memoryKB,peakMemoryKB,"
                              "change\r\n") +
                      c.row + ",Current User\\Registry\\Run,Enabled,Unknown,false,0,0,\r\n");
    }
}

TEST(ListCommand, TheTableLinesUpItsColumns) {
    test::SandboxRoot root;
    root.Value(RegistryRoot::CurrentUser, CV + "Run", "Z\xC3\xBCrich", "C:\\z.exe")
        .Value(RegistryRoot::CurrentUser, CV + "Run", "B", "C:\\b.exe")
        .Value(RegistryRoot::CurrentUser, CV + "Run", "\xE8\xA8\xAD\xE5\xAE\x9A", "C:\\s.exe"); // 設定
    const auto result = RunCli({"--system-root", root.Path().string(), "list"});
    ASSERT_EQ(result.status, 0) << result.err;
    // Columns counted as a terminal draws them: an accented letter takes one, a CJK ideograph two.
    EXPECT_EQ(result.out,
              "State    Program Name  Rating   Memory  Location                   Command Path\n"
              "Enabled  Z\xC3\xBCrich        Unknown          Current User\\Registry\\Run  [Invalid "
              "Path]C:\\z.exe\n"
              "Enabled  B             Unknown          Current User\\Registry\\Run  [Invalid Path]C:\\b.exe\n"
              "Enabled  \xE8\xA8\xAD\xE5\xAE\x9A          Unknown          Current User\\Registry\\Run  "
              "[Invalid Path]C:\\s.exe\n"
              "3 entries\n");
}

TEST(ListCommand, StartsAsTheMainWindowDoes) {
    test::SandboxRoot root;
    root.Folder("C:\\Program Files\\Quillbrook");
    ASSERT_EQ(RunCli({"--system-root", root.Path().string(), "list"}).status, 0);
    EXPECT_TRUE(std::filesystem::is_directory(root.Host("C:\\Program Files\\Quillbrook\\backup")));
}

TEST(ListCommand, ANewRootIsSeededWithTheDemoSystem) {
    test::TempDir dir;
    const auto result = RunCli({"--system-root", (dir.Path() / "demo").string(), "list", "--json"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_GE(nlohmann::json::parse(result.out).size(), 10u);
}

TEST(ListCommand, ExitStatusesTellUsageFromFailure) {
    test::TempDir dir;
    test::WriteText(dir.Path() / "registry.reg", "garbage");
    const struct {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"--system-root", dir.Path().string(), "list"}, kExitFailed}, // the registry cannot be read
        {{"--system-root", dir.Path().string(), "list", "--json", "--csv"}, kExitUsage},
        {{"list", "--unknown"}, kExitUsage},
        {{}, kExitUsage},
        {{"frobnicate"}, kExitUsage},
        {{"--help"}, kExitOk},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        EXPECT_EQ(RunCli(c.args).status, c.status);
    }
    EXPECT_EQ(test::ReadText(dir.Path() / "registry.reg"), "garbage");
}

} // namespace qb::cli

namespace qb::cli {

TEST(BackupCommand, WritesTheCurrentSettingAndRecordsIt) {
    test::SandboxRoot root;
    root.Folder("C:\\Program Files\\Quillbrook")
        .Value(RegistryRoot::CurrentUser, CV + "Run", "Agent", "C:\\agent.exe");
    const auto result = RunCli({"--system-root", root.Path().string(), "backup", "C:\\saved.qbk"});
    ASSERT_EQ(result.status, kExitOk) << result.err;
    const std::string file = test::ReadText(root.Host("C:\\saved.qbk"));
    EXPECT_NE(file.find("Number of Startup Items=1\r\n[Item 0]\r\nProgram Name=Agent\r\n"),
              std::string::npos);
    auto index = root.Services().registry.OpenForReading(RegistryRoot::CurrentUser,
                                                         "SOFTWARE\\Quillbrook\\BackupIndex");
    ASSERT_NE(index, nullptr);
    EXPECT_EQ(index->SubkeyNames().size(), 1u);

    const auto failed = RunCli({"--system-root", root.Path().string(), "backup", "C:\\No Folder\\x.qbk"});
    EXPECT_EQ(failed.status, kExitFailed);
    EXPECT_NE(failed.err.find("Unable to write to C:\\No Folder\\x.qbk"), std::string::npos);
    EXPECT_EQ(RunCli({"--system-root", root.Path().string(), "backup"}).status, kExitUsage);

    for (const std::string device : {"C:\\NUL", "C:\\CON.qbk"}) {
        const auto refused = RunCli({"--system-root", root.Path().string(), "backup", device});
        EXPECT_EQ(refused.status, kExitFailed) << device;
        EXPECT_EQ(refused.err, "\"" + device + "\" names a device Windows reserves, not a file.\n");
        EXPECT_FALSE(std::filesystem::exists(root.Host(device))) << device;
    }
    EXPECT_EQ(root.Services()
                  .registry.OpenForReading(RegistryRoot::CurrentUser, "SOFTWARE\\Quillbrook\\BackupIndex")
                  ->SubkeyNames()
                  .size(),
              1u);
}

// A relative backup name is taken from the current folder: the folder the shell is in when that lies on one
// of the sandbox's drives, else the user's profile folder, where a command prompt starts. Every command
// that names a backup file finds it there, and the backup says where it went.
TEST(BackupCommand, ARelativeNameIsTakenFromTheCurrentFolder) {
    test::SandboxRoot root;
    root.Folder("C:\\Program Files\\Quillbrook")
        .Folder("C:\\Users\\User")
        .Folder("C:\\Work\\Sub")
        .Value(RegistryRoot::CurrentUser, CV + "Run", "Agent", "C:\\agent.exe");
    const auto before = std::filesystem::current_path();
    const struct {
        std::filesystem::path shellFolder;
        std::string given;
        std::string full;
    } cases[] = {
        {root.Host("C:\\Work"), "rel.qbk", "C:\\Work\\rel.qbk"},
        {root.Host("C:\\Work\\Sub"), "..\\up.qbk", "C:\\Work\\up.qbk"},
        {root.Host("C:\\Work\\Sub"), "\\top.qbk", "C:\\top.qbk"},
        {root.Path().parent_path(), "home.qbk", "C:\\Users\\User\\home.qbk"},
    };
    for (const auto& c : cases) {
        std::filesystem::current_path(c.shellFolder);
        const auto run = [&](std::vector<std::string> args) {
            args.insert(args.begin(), {"--system-root", root.Path().string()});
            return RunCli(args);
        };
        const auto backup = run({"backup", c.given});
        const auto compare = run({"compare", c.given});
        const auto restore = run({"restore", c.given, "--no-backup"});
        std::filesystem::current_path(before);

        EXPECT_EQ(backup.status, kExitOk) << c.given << ": " << backup.err;
        EXPECT_THAT(backup.out, ::testing::StartsWith("Backed up 1 entries to " + c.full + " (")) << c.given;
        EXPECT_TRUE(std::filesystem::exists(root.Host(c.full))) << c.given;
        // The index records where the file is, under the time the backup printed.
        const std::string time = backup.out.substr(backup.out.rfind('(') + 1, 19);
        const auto entry = root.Services().registry.OpenForReading(
            RegistryRoot::CurrentUser, "SOFTWARE\\Quillbrook\\BackupIndex\\" + time);
        ASSERT_NE(entry, nullptr) << time;
        EXPECT_EQ(entry->ReadString("FilePath"), c.full);
        EXPECT_EQ(compare.status, kExitOk) << c.given << ": " << compare.err;
        EXPECT_EQ(restore.status, kExitOk) << c.given << ": " << restore.err;
    }
}

} // namespace qb::cli

namespace qb::cli {

TEST(ChangeCommands, MakeTheSameChangesAsTheWindowAndSayWhich) {
    test::SandboxRoot root;
    root.Folder("C:\\Program Files\\Quillbrook\\backup")
        .Folder("C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup")
        .Value(RegistryRoot::CurrentUser, CV + "Explorer\\Shell Folders", "Startup",
               "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup")
        .Value(RegistryRoot::CurrentUser, CV + "Run", "Agent", "C:\\agent.exe");
    const std::string r = root.Path().string();
    const auto value = [&](const std::string& key, const std::string& name) {
        auto opened = root.Services().registry.OpenForReading(RegistryRoot::CurrentUser, key);
        return opened ? opened->ReadValue(name) : std::nullopt;
    };

    auto result = RunCli(
        {"--system-root", r, "disable", "--name", "Agent", "--location", "Current User\\Registry\\Run"});
    ASSERT_EQ(result.status, kExitOk) << result.err;
    EXPECT_NE(result.out.find("Disable: Agent (Current User\\Registry\\Run) -> Disabled"), std::string::npos);
    EXPECT_NE(result.out.find("Auto-1.qbk"), std::string::npos); // AutoBackup missing: backed up
    EXPECT_TRUE(value(CV + "RunDisabled", "Agent"));
    EXPECT_FALSE(value("SOFTWARE\\Quillbrook", "AutoBackup")); // the stored choice is never changed

    result = RunCli({"--system-root", r, "enable", "--name", "Agent", "--location",
                     "Current User\\Registry\\Run", "--no-backup"});
    ASSERT_EQ(result.status, kExitOk) << result.err;
    EXPECT_EQ(result.out.find("Auto-"), std::string::npos);
    EXPECT_TRUE(value(CV + "Run", "Agent"));

    result = RunCli({"--system-root", r, "add", "--name", "Tool", "--command", "C:\\tool.exe /x",
                     "--location", "Current User\\Startup Menu", "--disabled", "--no-backup"});
    ASSERT_EQ(result.status, kExitOk) << result.err;
    EXPECT_TRUE(
        root.Services().files.FileExists("C:\\Program Files\\Quillbrook\\ShortCutCurrUser\\Tool.lnk"));

    const struct {
        std::vector<std::string> args;
        int status;
        const char* message;
    } refused[] = {
        {{"enable", "--name", "Nobody", "--location", "Current User\\Registry\\Run"},
         kExitFailed,
         "No entry"},
        {{"add", "--name", "Agent", "--command", "C:\\a.exe", "--location", "Current User\\Registry\\Run"},
         kExitFailed,
         "You are adding a duplicate of an existing startup item."},
        {{"add", "--name", "..\\evil", "--command", "C:\\a.exe", "--location", "Current User\\Startup Menu"},
         kExitFailed,
         "cannot be used for a shortcut"},
        {{"add", "--name", "X", "--command", "  ", "--location", "Current User\\Registry\\Run"},
         kExitFailed,
         "The command is missing: --command names the program to start."},
        {{"add", "--name", "  ", "--command", "C:\\a.exe", "--location", "Current User\\Registry\\Run"},
         kExitFailed,
         "Please enter a program name."},
        {{"add", "--name", "X", "--command", "C:\\a.exe", "--location", "Nowhere"},
         kExitUsage,
         "Unknown location"},
        {{"disable", "--name", "Agent"}, kExitUsage, ""},
    };
    for (const auto& c : refused) {
        std::vector<std::string> args{"--system-root", r};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(::testing::PrintToString(args));
        const auto refusal = RunCli(args);
        EXPECT_EQ(refusal.status, c.status);
        EXPECT_NE(refusal.err.find(c.message), std::string::npos) << refusal.err;
    }

    result = RunCli({"--system-root", r, "delete", "--name", "Agent", "--location",
                     "Current User\\Registry\\Run", "--no-backup"});
    ASSERT_EQ(result.status, kExitOk) << result.err;
    EXPECT_FALSE(value(CV + "Run", "Agent"));
}

TEST(ChangeCommands, RestoreBringsBackABackup) {
    test::SandboxRoot root;
    root.Folder("C:\\Program Files\\Quillbrook\\backup")
        .Value(RegistryRoot::CurrentUser, CV + "Run", "Agent", "C:\\agent.exe");
    const std::string r = root.Path().string();
    ASSERT_EQ(RunCli({"--system-root", r, "backup", "C:\\saved.qbk"}).status, kExitOk);
    ASSERT_EQ(RunCli({"--system-root", r, "delete", "--name", "Agent", "--location",
                      "Current User\\Registry\\Run", "--no-backup"})
                  .status,
              kExitOk);
    const auto result = RunCli({"--system-root", r, "restore", "C:\\saved.qbk", "--no-backup"});
    ASSERT_EQ(result.status, kExitOk) << result.err;
    EXPECT_NE(result.out.find("Add: Agent"), std::string::npos);
    auto run = root.Services().registry.OpenForReading(RegistryRoot::CurrentUser, CV + "Run");
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(run->ReadString("Agent"), "C:\\agent.exe");
    EXPECT_EQ(RunCli({"--system-root", r, "restore", "C:\\missing.qbk"}).status, kExitFailed);
}

} // namespace qb::cli

namespace qb::cli {

// Windows' own switches through the command line: listed, enabled in place, backed up and restored.
TEST(ListCommand, AnEntrySwitchedOffByWindowsIsNotApprovedAndEnableSwitchesItOn) {
    const std::string approved = CV + "Explorer\\StartupApproved\\Run";
    const std::string off("\x03\0\0\0\0\0\0\0\0\0\0\0", 12);
    test::SandboxRoot root;
    root.File("C:\\Apps\\agent.exe")
        .Value(RegistryRoot::CurrentUser, CV + "Run", "Agent", "C:\\Apps\\agent.exe")
        .Value(RegistryRoot::CurrentUser, approved, "Agent", RegistryValue::Binary(off))
        .Value(RegistryRoot::LocalMachine, "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Run",
               "Old32", "C:\\Apps\\agent.exe");
    const std::string dir = root.Path().string();
    const auto listed = nlohmann::json::parse(RunCli({"--system-root", dir, "list", "--json"}).out);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0]["location"], "All Users\\Registry\\Run (32-bit)");
    EXPECT_EQ(listed[0]["approved"], true);
    EXPECT_EQ(listed[1]["name"], "Agent");
    EXPECT_EQ(listed[1]["state"], "Disabled");
    EXPECT_EQ(listed[1]["approved"], false);

    const std::string backup = "C:\\saved.qbk";
    ASSERT_EQ(RunCli({"--system-root", dir, "backup", backup}).status, 0);
    const auto enabled = RunCli({"--system-root", dir, "enable", "--name", "Agent", "--location",
                                 "Current User\\Registry\\Run", "--no-backup"});
    ASSERT_EQ(enabled.status, 0) << enabled.err;
    const auto after = nlohmann::json::parse(RunCli({"--system-root", dir, "list", "--json"}).out);
    EXPECT_EQ(after[1]["state"], "Enabled");
    EXPECT_EQ(after[1]["approved"], true);
    auto key = root.Services().registry.OpenForReading(RegistryRoot::CurrentUser, approved);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->ReadValue("Agent"), RegistryValue::Binary(std::string("\x02\0\0\0\0\0\0\0\0\0\0\0", 12)));
    EXPECT_TRUE(
        root.Services().registry.OpenForReading(RegistryRoot::CurrentUser, CV + "Run")->ValueExists("Agent"));

    // The backup saved it disabled; restoring it gives a disabled entry.
    const auto restored = RunCli({"--system-root", dir, "restore", backup, "--no-backup"});
    ASSERT_EQ(restored.status, 0) << restored.err;
    const auto back = nlohmann::json::parse(RunCli({"--system-root", dir, "list", "--json"}).out);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[1]["name"], "Agent");
    EXPECT_EQ(back[1]["state"], "Disabled");
    EXPECT_EQ(back[0]["name"], "Old32");
    EXPECT_EQ(back[0]["state"], "Enabled");
}

} // namespace qb::cli

namespace qb::cli {

// A name or command chosen by whoever put the entry there cannot drive the user's terminal; JSON keeps the
// text as it is, escaped by its own rules.
TEST(ListCommand, TheTableShowsControlCharactersEscaped) {
    test::SandboxRoot root;
    root.Value(RegistryRoot::CurrentUser, CV + "Run", "Clear\x1B[2J", "C:\\x.exe\r\n/q");
    const auto result = RunCli({"--system-root", root.Path().string(), "list"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "State    Program Name  Rating   Memory  Location                   Command Path\n"
                          "Enabled  Clear\\x1B[2J  Unknown          Current User\\Registry\\Run  "
                          "[Invalid Path]C:\\x.exe\\r\\n/q\n"
                          "1 entry\n");
    const auto json =
        nlohmann::json::parse(RunCli({"--system-root", root.Path().string(), "list", "--json"}).out);
    EXPECT_EQ(json[0]["name"], "Clear\x1B[2J");
}

} // namespace qb::cli
