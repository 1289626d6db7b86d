#include "backup/backup_file.h"
#include "changes/apply_engine.h"
#include "hardening/hardening_support.h"
#include "inventory/row_texts.h"
#include "inventory/shortcut_names.h"
#include "inventory/startup_scan.h"
#include "knowledge/html_text.h"
#include "knowledge/info_page.h"
#include "knowledge/program_database.h"
#include "knowledge/ratings.h"
#include "platform/sandbox/reg_file.h"
#include "platform/text.h"
#include "support/paths.h"
#include "support/recording_fakes.h"
#include "support/sandbox_root.h"

#include <functional>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace qb {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using namespace test::paths;
const std::string kRun = CV + "Run";
const std::string kApp = "C:\\Apps\\app.exe";

// Where an action may write, relative to the root. Prefixes: "registry.reg" covers its lock file.
const std::string kRegistryFiles = "registry.reg";
const std::string kUserStartupFiles =
    "drive_c/Users/User/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Startup/";
const std::string kToolFiles = "drive_c/Program Files/Quillbrook/";
const std::string kDisabledShortcuts = kToolFiles + "ShortCutCurrUser/";
const std::string kBackupFiles = "drive_c/Backups/";
const std::string kInfoPage = kToolFiles + "info.htm";
// Any change the tool makes brings the setting the user accepted up to date: a file of a fixed name.
const std::string kAcceptedSetting = kToolFiles + "backup/Accepted Setting.qbk";
// The apply's lock and journal, in the user's profile: every apply writes there.
const std::string kApplyFolder = "drive_c/Users/User/AppData/Roaming/Quillbrook/Apply/";

// Hostile names carry this mark, so that a file made from one anywhere is found.
const std::string kMark = "qbEscape";

struct Outcome {
    int status = 0;
    std::string shown; // everything the user was told
};

class NoBackupConfirmation : public ApplyConfirmation {
public:
    std::optional<bool> ConfirmWithBackupChoice(const Inventory&) override { return false; }
};

// A machine with both startup folders registered, the shipped page template, and two bystanders that every
// row must leave in place: a value in the user's run key and a shortcut in the user's startup folder.
struct Machine {
    Machine() {
        root.Value(HKLM, CV + "Explorer\\Shell Folders", "Common Startup", kCommonStartup)
            .Value(HKCU, CV + "Explorer\\Shell Folders", "Startup", kUserStartup)
            .Folder(kCommonStartup)
            .Folder(kUserStartup)
            .Folder(kTool + "\\backup")
            .Folder("C:\\Backups")
            .File(kApp)
            .File(kTool + "\\infotpl.dat", test::ReadText(fs::path(QB_SHIPPED_DATA_DIR) / "infotpl.dat"))
            .Value(HKCU, kRun, "Bystander", kApp + " /b")
            .Shortcut(kUserStartup + "\\Keep.lnk", kApp);
        root.System().SetDialogs(dialogs);
    }

    Outcome Cli(std::vector<std::string> args) {
        args.insert(args.begin(), {"--system-root", root.Path().string()});
        const auto result = test::RunCliHere(args);
        return {result.status, result.out + result.err};
    }

    // name -> state of every listed entry; their commands and ratings go to the maps below.
    std::map<std::string, std::string> Listed() {
        const auto result =
            test::RunCliHere({"--system-root", root.Path().string(), "list", "--all", "--json"});
        EXPECT_EQ(result.status, 0) << result.err;
        std::map<std::string, std::string> states;
        commands.clear();
        for (const auto& row : nlohmann::json::parse(result.out)) {
            const auto name = row["name"].get<std::string>();
            states[name] = row["state"].get<std::string>();
            commands[name] = row["command"].get<std::string>();
            ratings[name] = row["rating"].get<std::string>();
        }
        return states;
    }

    void Load() {
        database = std::make_unique<ProgramDatabase>(root.Services().files);
        LoadInventory(inventory, root.Services(), *database, icons);
    }

    // The apply engine given an entry the editor would refuse, as a broken caller could.
    Outcome ApplyAddition(const std::string& name, const std::string& command, const std::string& location) {
        Load();
        StartupItem item;
        item.Name = name;
        item.Command = command;
        item.Location = location;
        inventory.Append(std::move(item));
        return Apply();
    }

    // Applies the marks of the inventory as it stands.
    Outcome Apply() {
        NoBackupConfirmation confirmation;
        ApplyReport report;
        ApplyChanges(inventory, root.Services(), confirmation, *database, icons, false, &report);
        return {report.notChanged.empty() ? 0 : 1, Shown()};
    }

    // The information page of the first listed entry of that name, as the list's selection shows it.
    Outcome InfoPage(const std::string& name) {
        Load();
        for (const auto& item : inventory.Items) {
            if (item->Name == name) {
                const InfoRow row{item->Name, CommandCellText(*item), item->Location,
                                  std::string(RatingText(item->Rating))};
                const bool shown = BuildInfoPage(row, inventory, *database, root.Services());
                return {shown ? 0 : 1, Shown()};
            }
        }
        return {1, "no entry " + name};
    }

    std::string Shown() {
        std::string text;
        for (const auto& message : dialogs.Messages()) {
            text += message.text + "\n";
        }
        return text;
    }

    std::string HostText(const std::string& windowsPath) { return test::ReadText(root.Host(windowsPath)); }

    test::SandboxRoot root;
    test::ScriptedDialogs dialogs;
    Inventory inventory;
    std::unique_ptr<ProgramDatabase> database;
    CountingIconSink icons;
    std::map<std::string, std::string> commands; // of the last listing
    std::map<std::string, std::string> ratings;
};

struct BackupEntry {
    std::string name;
    std::string command;
    std::string location;
};

// A backup file as the tool writes one; the count, as text, when it is not the number of entries.
std::string BackupText(const std::vector<BackupEntry>& entries,
                       std::optional<std::string> count = std::nullopt) {
    std::string text = "[General Info]\r\nDescription=Backup\r\nCreate Time=2024-01-02 03:04:05\r\n"
                       "Number of Startup Items=" +
                       count.value_or(std::to_string(entries.size())) + "\r\n";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        text += "[Item " + std::to_string(i) + "]\r\nProgram Name=" + entries[i].name +
                "\r\nCommand Path=" + entries[i].command + "\r\nLocation=" + entries[i].location +
                "\r\nRating=Unknown\r\nStatus=Enabled\r\n";
    }
    return text;
}

// The two bystanders, for backups that restore the whole setting.
std::vector<BackupEntry> WithBystanders(std::vector<BackupEntry> entries) {
    entries.insert(entries.begin(), {{"Bystander", kApp + " /b", kCuRun}, {"Keep", kApp, kCuMenu}});
    return entries;
}

struct HostileRow {
    std::string what;
    std::function<void(Machine&)> arrange;
    std::function<Outcome(Machine&)> act;
    int status = 0;
    std::string message;               // part of what the user is told; "" when nothing in particular
    std::vector<std::string> mayWrite; // root-relative prefixes of the files the action may change
    std::vector<std::string> listed;   // names listed afterwards, besides the bystanders
    std::vector<std::string> notListed;
    std::function<void(Machine&)> check = nullptr; // whatever else the row must hold
};

// Names that would put a startup folder's file elsewhere, or nowhere. Whether a backup line can hold the
// name, and whether the host can hold a shortcut file of that name already (as another program may have
// put it there).
const struct {
    std::string name;
    bool inBackup;
    bool hostFile;
} kUnsafeFolderNames[] = {
    {"..\\..\\..\\" + kMark, true, false},
    {"sub/" + kMark, true, false},
    {"..", true, false},
    {"C:" + kMark, true, true},
    {"qb*Escape", true, true},
    {"CON", true, true},
    {"nul." + kMark, true, true},
    {"COM1", true, true},
    {kMark + "\r\nforged", false, false},
};

void AddFolderNameRows(std::vector<HostileRow>& rows) {
    for (const auto& [name, inBackup, hostFile] : kUnsafeFolderNames) {
        const std::string problem = ShortcutNameProblem(name).value_or("(no problem found)");
        rows.push_back({"the CLI adds \"" + name + "\" to a startup folder",
                        nullptr,
                        [name](Machine& m) {
                            return m.Cli({"add", "--name", name, "--command", kApp, "--location", kCuMenu,
                                          "--no-backup"});
                        },
                        1,
                        problem,
                        {},
                        {},
                        {name}});
        if (inBackup) {
            rows.push_back({"a backup restores \"" + name + "\" to a startup folder",
                            [name](Machine& m) {
                                test::WriteText(m.root.Host("C:\\Backups\\hostile.ini"),
                                                BackupText(WithBystanders(
                                                    {{name, kApp, kCuMenu}, {"Safe", kApp, kCuMenu}})));
                            },
                            [](Machine& m) {
                                return m.Cli({"restore", "C:\\Backups\\hostile.ini", "--no-backup"});
                            },
                            0,
                            "1 entry of the backup was not loaded",
                            {kRegistryFiles, kUserStartupFiles},
                            {"Safe"},
                            {name}});
        }
        rows.push_back({"the apply engine is handed \"" + name + "\" for a startup folder",
                        nullptr,
                        [name](Machine& m) { return m.ApplyAddition(name, kApp, kCuMenu); },
                        1,
                        "could not be changed",
                        {},
                        {},
                        {name}});
        if (hostFile) {
            rows.push_back(
                {"a shortcut file named \"" + name + ".lnk\" is disabled",
                 [name](Machine& m) {
                     test::WriteText(m.root.Host(kUserStartup) / (name + ".lnk"),
                                     m.HostText(kUserStartup + "\\Keep.lnk"));
                 },
                 [name](Machine& m) {
                     return m.Cli({"disable", "--name", name, "--location", kCuMenu, "--no-backup"});
                 },
                 1,
                 name + " (" + kCuMenu + "): the name cannot be a file name in a startup folder",
                 {},
                 {name},
                 {}});
        }
    }
}

// The page must show the text, escaped, and keep its one search link whole.
void ExpectHarmlessPage(Machine& m, const std::string& shownName) {
    const std::string page = m.HostText(kTool + "\\info.htm");
    std::string lower = page;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    EXPECT_EQ(lower.find("<script"), std::string::npos);
    EXPECT_EQ(lower.find("<img"), std::string::npos);
    EXPECT_NE(page.find(EscapeHtml(shownName)), std::string::npos) << "the name is not on the page";
    const std::string open = "<a href=\"";
    const auto start = page.find(open);
    ASSERT_NE(start, std::string::npos);
    EXPECT_EQ(page.find(open, start + 1), std::string::npos) << "a second link";
    const auto valueStart = start + open.size();
    const auto valueEnd = page.find('"', valueStart);
    ASSERT_NE(valueEnd, std::string::npos);
    const std::string url = page.substr(valueStart, valueEnd - valueStart);
    EXPECT_TRUE(url.starts_with("https://www.google.com/search?as_q=")) << url;
    EXPECT_EQ(
        url.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789%+-_~.:/?=&;"),
        std::string::npos)
        << url;
    EXPECT_TRUE(page.substr(valueEnd).starts_with("\">Search the web for this program</a>"))
        << "the attribute ended early";
}

void AddMarkupRows(std::vector<HostileRow>& rows) {
    const std::string scriptName = "<script>alert('" + kMark + "')</script>";
    rows.push_back({"script in a name reaches the information page",
                    [scriptName](Machine& m) { m.root.Value(HKCU, kRun, scriptName, kApp); },
                    [scriptName](Machine& m) { return m.InfoPage(scriptName); },
                    0,
                    "",
                    {kInfoPage},
                    {scriptName},
                    {},
                    [scriptName](Machine& m) { ExpectHarmlessPage(m, scriptName); }});
    const std::string quoteName = "\"><a href=\"javascript:alert(1)\">x</a> & 'more'";
    const std::string markupCommand =
        "\"C:\\Apps\\<script>x</script>.exe\" \"><img src=x onerror=alert(1)> %00 &amp;";
    rows.push_back({"markup and quotes in a name and command reach the information page",
                    [=](Machine& m) { m.root.Value(HKCU, kRun, quoteName, markupCommand); },
                    [=](Machine& m) { return m.InfoPage(quoteName); },
                    0,
                    "",
                    {kInfoPage},
                    {quoteName},
                    {},
                    [=](Machine& m) { ExpectHarmlessPage(m, quoteName); }});
}

// Text of 10,000 bytes whose characters are wider than one byte, so that a cut at 259 bytes falls inside one.
std::string LongText(const std::string& start, const std::string& character) {
    std::string text = start;
    while (text.size() + character.size() <= 10000) {
        text += character;
    }
    return text;
}

void AddLongTextRows(std::vector<HostileRow>& rows) {
    const std::string name = LongText("Long! ", "\xC3\xA9");           // é
    const std::string command = LongText(kApp + " /", "\xE2\x82\xAC"); // €
    const std::string cutName = CutAtCharBoundary(name, 259);
    const std::string cutCommand = CutAtCharBoundary(command, 259);
    const auto expectCut = [=](Machine& m) {
        m.Listed();
        ASSERT_TRUE(m.commands.contains(cutName));
        EXPECT_EQ(m.commands[cutName], cutCommand);
        // A cut inside a character drops the whole character.
        EXPECT_EQ(cutName.size(), 258u);
        EXPECT_EQ(cutCommand.size(), 257u);
    };
    // The list's name is the one --name takes; its command is whole, for a script to see what runs.
    rows.push_back({"a run key value with a name and a command of 10,000 bytes is listed with its name cut",
                    [=](Machine& m) { m.root.Value(HKCU, kRun, name, command); },
                    [](Machine& m) {
                        return m.Cli({"list", "--all", "--json"});
                    },
                    0,
                    "",
                    {},
                    {cutName},
                    {},
                    [=](Machine& m) {
                        m.Listed();
                        ASSERT_TRUE(m.commands.contains(cutName));
                        EXPECT_EQ(m.commands[cutName], command);
                    }});
    // A name cut to fit would reach another entry or none: the command line takes no longer text.
    rows.push_back(
        {"the CLI adds a name and a command of 10,000 bytes to a run key",
         nullptr,
         [=](Machine& m) {
             return m.Cli({"add", "--name", name, "--command", command, "--location", kCuRun, "--no-backup"});
         },
         2,
         "Names and commands hold at most 259 bytes.",
         {},
         {},
         {cutName}});
    rows.push_back(
        {"the CLI adds a name of 10,000 bytes to a startup folder",
         nullptr,
         [=](Machine& m) {
             return m.Cli({"add", "--name", name, "--command", kApp, "--location", kCuMenu, "--no-backup"});
         },
         2,
         "Names and commands hold at most 259 bytes.",
         {},
         {},
         {cutName}});
    rows.push_back({"a backup restores a name and a command of 10,000 bytes",
                    [=](Machine& m) {
                        test::WriteText(m.root.Host("C:\\Backups\\long.ini"),
                                        BackupText(WithBystanders({{name, command, kCuRun}})));
                    },
                    [](Machine& m) {
                        return m.Cli({"restore", "C:\\Backups\\long.ini", "--no-backup"});
                    },
                    0,
                    "",
                    {kRegistryFiles, kUserStartupFiles},
                    {cutName},
                    {},
                    expectCut});
    rows.push_back({"a name of 10,000 bytes reaches the information page",
                    [=](Machine& m) { m.root.Value(HKCU, kRun, name, command); },
                    [=](Machine& m) { return m.InfoPage(cutName); },
                    0,
                    "",
                    {kInfoPage},
                    {cutName},
                    {},
                    [=](Machine& m) { ExpectHarmlessPage(m, cutName); }});
}

const std::string kReplacement = "\xEF\xBF\xBD"; // U+FFFD, what invalid UTF-8 becomes

// Text as a .reg file quotes it.
std::string RegText(std::string_view text) {
    std::string out;
    for (const char c : text) {
        out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    }
    return out;
}

void AddInvalidUtf8Rows(std::vector<HostileRow>& rows) {
    // A REGEDIT4 file is ANSI text, taken as UTF-8: bytes that are no UTF-8 read as U+FFFD, the way the
    // file is written back, so the names the list shows are the names a change finds.
    const std::string listedName = "bad" + kReplacement + kReplacement + "name";
    rows.push_back({"a registry file with invalid UTF-8 in a name and a command",
                    [](Machine& m) {
                        test::WriteText(m.root.Path() / "registry.reg",
                                        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + kRun +
                                            "]\r\n\"Bystander\"=\"C:\\\\Apps\\\\app.exe /b\"\r\n"
                                            "\"bad\xFF\xC3name\"=\"C:\\\\Apps\\\\\x80.exe\"\r\n\r\n"
                                            "[HKEY_CURRENT_USER\\" +
                                            CV + "Explorer\\Shell Folders]\r\n\"Startup\"=\"" +
                                            RegText(kUserStartup) + "\"\r\n");
                    },
                    [=](Machine& m) {
                        return m.Cli({"disable", "--name", listedName, "--location", kCuRun, "--no-backup"});
                    },
                    0,
                    "",
                    {kRegistryFiles},
                    {listedName},
                    {},
                    [=](Machine& m) {
                        EXPECT_EQ(m.Listed()[listedName], "Disabled");
                        EXPECT_EQ(m.commands[listedName], "C:\\Apps\\" + kReplacement + ".exe");
                    }});
    rows.push_back({"a backup file with invalid UTF-8 in a name and a command",
                    [](Machine& m) {
                        test::WriteText(
                            m.root.Host("C:\\Backups\\bad.ini"),
                            BackupText(WithBystanders({{"bad\xFF\xC3name", "C:\\Apps\\\x80.exe", kCuRun},
                                                       {"Bad\xFEname", kApp, kCuMenu}})));
                    },
                    [](Machine& m) {
                        return m.Cli({"restore", "C:\\Backups\\bad.ini", "--no-backup"});
                    },
                    0,
                    "",
                    {kRegistryFiles, kUserStartupFiles},
                    {listedName, "Bad" + kReplacement + "name"},
                    {}});
    // The window keeps its session: the name it holds from the backup must still find the value it wrote.
    rows.push_back(
        {"an entry restored with invalid UTF-8 in its name is disabled in the same session",
         [](Machine& m) {
             test::WriteText(m.root.Host("C:\\Backups\\bad.ini"),
                             BackupText(WithBystanders({{"bad\xFF\xC3name", kApp, kCuRun}})));
         },
         [](Machine& m) {
             m.Load();
             if (!LoadBackup("C:\\Backups\\bad.ini", m.inventory, m.root.Services(), *m.database, m.icons)
                      .loaded) {
                 return Outcome{1, m.Shown()};
             }
             Outcome restored = m.Apply();
             for (auto& item : m.inventory.Items) {
                 if (item->Name.str().starts_with("bad")) {
                     item->State = ItemState::Disabled;
                 }
             }
             return restored.status != 0 ? restored : m.Apply();
         },
         0,
         "",
         {kRegistryFiles, kUserStartupFiles},
         {listedName},
         {},
         [=](Machine& m) { EXPECT_EQ(m.Listed()[listedName], "Disabled"); }});
}

void AddRegistryTypeRows(std::vector<HostileRow>& rows) {
    rows.push_back(
        {"binary and DWORD values in a run key are passed over and kept",
         [](Machine& m) {
             m.root.Value(HKCU, kRun, "Binary", RegistryValue::Binary(std::string("\x01\x00\xFF", 3)))
                 .Value(HKCU, kRun, "Number", RegistryValue::Dword(7))
                 .Value(HKCU, kRun, "After", kApp + " /after")
                 .Value(HKCU, kRun + "Disabled", "Binary", RegistryValue::Binary("twin"));
         },
         [](Machine& m) {
             const auto disabled = m.Cli({"disable", "--name", "After", "--location", kCuRun, "--no-backup"});
             return disabled.status != 0
                        ? disabled
                        : m.Cli({"enable", "--name", "After", "--location", kCuRun, "--no-backup"});
         },
         0,
         "",
         {kRegistryFiles},
         {"After"},
         {"Binary", "Number"},
         [](Machine& m) {
             const auto run = m.root.Services().registry.OpenForReading(HKCU, kRun);
             ASSERT_TRUE(run);
             EXPECT_EQ(run->ReadValue("Binary"), RegistryValue::Binary(std::string("\x01\x00\xFF", 3)));
             EXPECT_EQ(run->ReadValue("Number"), RegistryValue::Dword(7));
             const auto twin = m.root.Services().registry.OpenForReading(HKCU, kRun + "Disabled");
             ASSERT_TRUE(twin);
             EXPECT_EQ(twin->ReadValue("Binary"), RegistryValue::Binary("twin"));
         }});
}

void AddQuotedNameRows(std::vector<HostileRow>& rows) {
    const std::string name = "\"Quoted\" name \\ with C:\\back\\slashes\\";
    const std::string command = "\"C:\\Apps\\app.exe\" /say \"hi\\\" \\\\";
    rows.push_back({"a value name with quotes and backslashes round trips through a backup",
                    [=](Machine& m) { m.root.Value(HKCU, kRun, name, command); },
                    [=](Machine& m) {
                        const auto backup = m.Cli({"backup", "C:\\Backups\\quoted.ini"});
                        return backup.status != 0
                                   ? backup
                                   : m.Cli({"restore", "C:\\Backups\\quoted.ini", "--no-backup"});
                    },
                    0,
                    "",
                    {kRegistryFiles, kBackupFiles, kUserStartupFiles},
                    {name},
                    {},
                    [=](Machine& m) {
                        m.Listed();
                        EXPECT_EQ(m.commands[name], command);
                        auto parsed = sandbox::ParseRegFile(test::ReadText(m.root.Path() / "registry.reg"));
                        ASSERT_TRUE(std::holds_alternative<sandbox::RegNode>(parsed));
                        const auto* key =
                            std::get<sandbox::RegNode>(parsed).FindPath("HKEY_CURRENT_USER\\" + kRun);
                        ASSERT_NE(key, nullptr);
                        ASSERT_NE(key->FindValue(name), nullptr);
                        EXPECT_EQ(key->FindValue(name)->data, command);
                    }});
}

// A valid shortcut cut short at these sizes, and made huge, next to the bystander's.
void AddShortcutFileRows(std::vector<HostileRow>& rows) {
    rows.push_back(
        {"truncated and oversized shortcut files in a startup folder are listed and followed nowhere",
         [](Machine& m) {
             const std::string link = m.HostText(kUserStartup + "\\Keep.lnk");
             const fs::path folder = m.root.Host(kUserStartup);
             for (const std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{20}, std::size_t{75},
                                            std::size_t{76}, std::size_t{77}, link.size() / 2}) {
                 test::WriteText(folder / ("Cut " + std::to_string(size) + ".lnk"), link.substr(0, size));
             }
             // Sizes that point far past the end: the item list's and every following one's.
             std::string claims = link;
             for (std::size_t at = 76; at + 1 < claims.size(); at += 2) {
                 claims[at] = '\xFF';
                 claims[at + 1] = '\xFF';
             }
             test::WriteText(folder / "Claims.lnk", claims);
             test::WriteText(folder / "Huge.lnk", link.substr(0, 76) + std::string(8 << 20, '\xFF'));
         },
         [](Machine& m) {
             return m.Cli({"disable", "--name", "Keep", "--location", kCuMenu, "--no-backup"});
         },
         0,
         "",
         {kUserStartupFiles + "Keep.lnk", kDisabledShortcuts + "Keep.lnk"},
         {"Cut 0", "Cut 1", "Cut 20", "Cut 75", "Cut 76", "Cut 77", "Claims", "Huge"},
         {},
         [](Machine& m) { EXPECT_EQ(m.Listed()["Keep"], "Disabled"); }});
}

void AddBackupCountRows(std::vector<HostileRow>& rows) {
    rows.push_back({"a backup file with a count of 2,147,483,647",
                    [](Machine& m) {
                        test::WriteText(
                            m.root.Host("C:\\Backups\\count.ini"),
                            BackupText(WithBystanders({{"Counted", kApp, kCuRun}}), "2147483647"));
                    },
                    [](Machine& m) {
                        return m.Cli({"restore", "C:\\Backups\\count.ini", "--no-backup"});
                    },
                    0,
                    "",
                    {kRegistryFiles, kUserStartupFiles},
                    {"Counted"},
                    {}});
    for (const std::string count : {"-1", "", "none"}) {
        rows.push_back({"a backup file with the count \"" + count + "\" changes nothing",
                        [count](Machine& m) {
                            test::WriteText(m.root.Host("C:\\Backups\\count.ini"),
                                            BackupText({{"Counted", kApp, kCuRun}}, count));
                        },
                        [](Machine& m) {
                            return m.Cli({"restore", "C:\\Backups\\count.ini", "--no-backup"});
                        },
                        1,
                        "The format of the backup file is not correct!",
                        {},
                        {},
                        {"Counted"}});
    }
}

// Rules the lookups must get through quickly whatever the count says: 100 entries are rated against them.
void AddRuleFileRows(std::vector<HostileRow>& rows) {
    const struct {
        std::string count;
        std::string rating; // of the entries the rule matches
    } counts[] = {{"-1", "Unknown"}, {"1000000000", "Hamful"}, {"2147483647", "Hamful"}};
    for (const auto& [count, rating] : counts) {
        rows.push_back({"a rule file with a count of " + count,
                        [count](Machine& m) {
                            m.root.File(kTool + "\\sp.dat",
                                        "[general]\r\ncount=" + count +
                                            "\r\n[0]\r\nSection=Rul*d ***\r\nConfirmed=X\r\n"
                                            "[999999999]\r\nSection=Never\r\nConfirmed=Y\r\n");
                            for (int i = 0; i < 100; ++i) {
                                m.root.Value(HKCU, kRun, "Ruled " + std::to_string(100 + i), kApp);
                            }
                        },
                        [](Machine& m) {
                            return m.Cli({"list", "--all", "--json"});
                        },
                        0,
                        "",
                        {},
                        {"Ruled 100", "Ruled 199"},
                        {},
                        [rating](Machine& m) {
                            m.Listed();
                            EXPECT_EQ(m.ratings["Ruled 100"], rating);
                            EXPECT_EQ(m.ratings["Ruled 199"], rating);
                            EXPECT_EQ(m.ratings["Bystander"], "Unknown");
                        }});
    }
}

void AddLineBreakRows(std::vector<HostileRow>& rows) {
    const std::string name = "Line1\r\nLine2";
    rows.push_back(
        {"a value name with a line break is disabled and enabled",
         [=](Machine& m) { m.root.Value(HKCU, kRun, name, kApp + " /lines"); },
         [=](Machine& m) {
             const auto disabled = m.Cli({"disable", "--name", name, "--location", kCuRun, "--no-backup"});
             return disabled.status != 0
                        ? disabled
                        : m.Cli({"enable", "--name", name, "--location", kCuRun, "--no-backup"});
         },
         0,
         "",
         {kRegistryFiles},
         {name},
         {},
         [=](Machine& m) { EXPECT_EQ(m.Listed()[name], "Enabled"); }});
    // A backup line cannot hold a line break: the name is kept escaped on one line, never as a line of its
    // own that could forge a key or a section, and comes back whole.
    rows.push_back(
        {"a value name with a line break goes through a backup whole, on one line",
         [=](Machine& m) { m.root.Value(HKCU, kRun, name, kApp + " /lines"); },
         [](Machine& m) {
             const auto backup = m.Cli({"backup", "C:\\Backups\\lines.ini"});
             return backup.status != 0 ? backup : m.Cli({"restore", "C:\\Backups\\lines.ini", "--no-backup"});
         },
         0,
         "",
         {kRegistryFiles, kBackupFiles, kUserStartupFiles},
         {name},
         {"Line1  Line2"},
         [=](Machine& m) {
             m.Listed();
             EXPECT_EQ(m.commands[name], kApp + " /lines");
             EXPECT_EQ(m.HostText("C:\\Backups\\lines.ini").find("\nLine2"), std::string::npos);
         }});
}

std::vector<HostileRow> HostileRows() {
    std::vector<HostileRow> rows;
    AddFolderNameRows(rows);
    AddMarkupRows(rows);
    AddLongTextRows(rows);
    AddInvalidUtf8Rows(rows);
    AddRegistryTypeRows(rows);
    AddQuotedNameRows(rows);
    AddShortcutFileRows(rows);
    AddBackupCountRows(rows);
    AddRuleFileRows(rows);
    AddLineBreakRows(rows);
    return rows;
}

// Files whose names carry the mark, in the folder and (not recursively) in the folders above it.
std::vector<std::string> MarkedFilesAround(const fs::path& dir) {
    std::vector<std::string> found;
    for (const fs::path& above : {dir.parent_path(), dir.parent_path().parent_path()}) {
        std::error_code error;
        for (fs::directory_iterator it(above, error), end; !error && it != end; it.increment(error)) {
            if (it->path().filename().string().find(kMark) != std::string::npos) {
                found.push_back(it->path().string());
            }
        }
    }
    return found;
}

} // namespace

// Each row: a clear message or a clean skip, no file written outside the folders the action belongs in, no
// entry lost, and nothing that hangs (a watchdog ends the program after a generous bound).
TEST(HostileInput, EveryRowIsRefusedOrSkippedCleanlyAndLosesNothing) {
    for (const HostileRow& row : HostileRows()) {
        SCOPED_TRACE(row.what);
        test::Watchdog watchdog(10s, row.what);
        Machine m;
        if (row.arrange) {
            row.arrange(m);
        }
        // The machine as the CLI leaves it at its start, with the backup folder made.
        ASSERT_EQ(m.Cli({"list"}).status, 0);
        const auto before = test::SnapshotFiles(m.root.Path());
        const auto markedBefore = MarkedFilesAround(m.root.Path());

        const Outcome outcome = row.act(m);
        EXPECT_EQ(outcome.status, row.status) << outcome.shown;
        EXPECT_NE(outcome.shown.find(row.message), std::string::npos) << outcome.shown;

        for (const auto& path : test::ChangedFiles(before, test::SnapshotFiles(m.root.Path()))) {
            const auto mayWrite = [&](const std::string& prefix) { return path.starts_with(prefix); };
            const bool allowed = std::any_of(row.mayWrite.begin(), row.mayWrite.end(), mayWrite) ||
                                 path == kAcceptedSetting || path.starts_with(kApplyFolder);
            EXPECT_TRUE(allowed) << "written: " << path;
            EXPECT_EQ(path.find(kMark), std::string::npos) << "a file made from a hostile name: " << path;
        }
        EXPECT_EQ(MarkedFilesAround(m.root.Path()), markedBefore);

        const auto listed = m.Listed();
        for (const std::string& name : {std::string("Bystander"), std::string("Keep")}) {
            EXPECT_TRUE(listed.contains(name)) << "lost: " << name;
        }
        for (const auto& name : row.listed) {
            EXPECT_TRUE(listed.contains(name)) << "not listed: " << name;
        }
        for (const auto& name : row.notListed) {
            EXPECT_FALSE(listed.contains(name)) << "listed: " << name;
        }
        if (row.check) {
            row.check(m);
        }
    }
}

} // namespace qb
