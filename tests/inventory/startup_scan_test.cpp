#include "inventory/startup_scan.h"
#include "platform/faults/faulty_services.h"
#include "support/paths.h"
#include "support/sandbox_root.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>

namespace qb {

using ::testing::ElementsAre;

namespace {

using namespace test::paths;

class FixedRatings : public RatingSource {
public:
    Rating LookupRating(std::string_view name, std::string_view command) override {
        asked.emplace_back(std::string(name) + "|" + std::string(command));
        const auto it = ratings.find(std::string(name));
        return it == ratings.end() ? Rating::Unknown : it->second;
    }
    std::map<std::string, Rating> ratings;
    std::vector<std::string> asked;
};

class RecordingIcons : public IconSink {
public:
    void Clear() override { added = 0; }
    std::int32_t Add(const ProgramIcon&) override { return added++; }
    std::int32_t added = 0;
};

// A root whose shell folders are registered, as on every Windows machine.
test::SandboxRoot& WithShellFolders(test::SandboxRoot& root) {
    root.Value(HKLM, CV + "Explorer\\Shell Folders", "Common Startup", kCommonStartup)
        .Value(HKCU, CV + "Explorer\\Shell Folders", "Startup", kUserStartup)
        .Folder(kCommonStartup)
        .Folder(kUserStartup);
    return root;
}

struct Loaded {
    Inventory inventory;
    FixedRatings ratings;
    RecordingIcons icons;
};

std::unique_ptr<Loaded> Load(test::SandboxRoot& root) {
    auto loaded = std::make_unique<Loaded>();
    LoadInventory(loaded->inventory, root.Services(), loaded->ratings, loaded->icons);
    return loaded;
}

std::vector<std::string> Rows(const Inventory& inventory) {
    std::vector<std::string> rows;
    for (const auto& item : inventory.Items) {
        rows.push_back(item->Name.str() + (item->State == ItemState::Enabled ? " +" : " -") + " @ " +
                       item->Location.str());
    }
    return rows;
}

} // namespace

TEST(StartupScan, AllSixteenSourcesAreReadInTheirFixedOrder) {
    test::SandboxRoot root;
    WithShellFolders(root);
    // Written in reverse, so that the order comes from the scan and not from the file.
    root.Shortcut(kTool + "\\ShortCutCurrUser\\UserOff.lnk", "C:\\x.exe")
        .Shortcut(kUserStartup + "\\UserOn.lnk", "C:\\x.exe")
        .Value(HKCU, CV + "RunOnce", "CuOnce", "x")
        .Value(HKCU, CV + "Policies\\Explorer\\RunDisabled", "CuPolicyOff", "x")
        .Value(HKCU, CV + "Policies\\Explorer\\Run", "CuPolicy", "x")
        .Value(HKCU, CV + "RunDisabled", "CuRunOff", "x")
        .Value(HKCU, CV + "Run", "CuRun", "x")
        .Shortcut(kTool + "\\ShortCutAllUser\\AllOff.lnk", "C:\\x.exe")
        .Shortcut(kCommonStartup + "\\AllOn.lnk", "C:\\x.exe")
        .Value(HKLM, CV + "RunOnceEx", "LmOnceEx", "x")
        .Value(HKLM, CV + "RunServices", "LmServices", "x")
        .Value(HKLM, CV + "RunServicesOnce", "LmServicesOnce", "x")
        .Value(HKLM, CV + "RunOnce", "LmOnce", "x")
        .Value(HKLM, CV + "Policies\\Explorer\\Run", "LmPolicy", "x")
        .Value(HKLM, CV + "RunDisabled", "LmRunOff", "x")
        .Value(HKLM, CV + "Run", "LmRun", "x")
        .Value(HKCU, CV + "RunOnceEx", "CuOnceEx", "x")
        .Value(HKCU, CV + "RunServices", "CuServices", "x")
        .Value(HKCU, CV + "RunServicesOnce", "CuServicesOnce", "x");
    const auto loaded = Load(root);
    EXPECT_THAT(
        Rows(loaded->inventory),
        ElementsAre(
            "LmRun + @ All Users\\Registry\\Run", "LmRunOff - @ All Users\\Registry\\Run",
            "LmPolicy + @ Current User\\Registry\\Explorer Run", "LmOnce + @ All Users\\Registry\\RunOnce",
            "LmServicesOnce + @ All Users\\Registry\\Run Services Once",
            "LmServices + @ All Users\\Registry\\Run Services",
            "LmOnceEx + @ All Users\\Registry\\RunOnce Ex", "AllOn + @ All Users\\Startup Menu",
            "AllOff - @ All Users\\Startup Menu", "CuRun + @ Current User\\Registry\\Run",
            "CuRunOff - @ Current User\\Registry\\Run", "CuPolicy + @ All Users\\Registry\\Explorer Run",
            "CuPolicyOff - @ All Users\\Registry\\Explorer Run", "CuOnce + @ Current User\\Registry\\RunOnce",
            "CuServicesOnce + @ Current User\\Registry\\Run Services Once",
            "CuServices + @ Current User\\Registry\\Run Services",
            "CuOnceEx + @ Current User\\Registry\\RunOnce Ex", "UserOn + @ Current User\\Startup Menu",
            "UserOff - @ Current User\\Startup Menu"));
    EXPECT_EQ(loaded->inventory.LoadedItems.size(), loaded->inventory.Items.size());
    EXPECT_EQ(loaded->icons.added, 19); // one icon per record
    EXPECT_EQ(loaded->inventory.Items.back()->IconIndex, 18);
}

TEST(StartupScan, AnEntryInBothKeysIsListedOnceAndItsTwinCopyGoes) {
    test::SandboxRoot root;
    root.Value(HKCU, CV + "Run", "Both", "C:\\same.exe")
        .Value(HKCU, CV + "RunDisabled", "Both", "C:\\same.exe")
        .Value(HKCU, CV + "RunDisabled", "OnlyOff", "C:\\off.exe");
    const auto loaded = Load(root);
    EXPECT_THAT(Rows(loaded->inventory), ElementsAre("Both + @ Current User\\Registry\\Run",
                                                     "OnlyOff - @ Current User\\Registry\\Run"));
    auto twin = root.Services().registry.OpenForReading(HKCU, CV + "RunDisabled");
    EXPECT_THAT(twin->ValueNames(), ElementsAre("OnlyOff"));
}

// The user's disabled copy is removed only when what came back in the run key is the very same command, and
// a read-only load removes nothing at all (yet lists the entry as the tidying load would).
TEST(StartupScan, ATwinCopyGoesOnlyWhenItsCommandCameBackAndTheLoadMayTidy) {
    const struct {
        const char* what;
        const char* back;
        LoadAccess access;
        std::vector<std::string> rows;
        bool twinStays;
    } cases[] = {
        {"same command",
         "C:\\Apps\\app.exe",
         LoadAccess::MayTidy,
         {"Both + @ Current User\\Registry\\Run"},
         false},
        {"same command, read-only",
         "C:\\Apps\\app.exe",
         LoadAccess::ReadOnly,
         {"Both + @ Current User\\Registry\\Run"},
         true},
        {"another command",
         "C:\\Users\\User\\AppData\\Roaming\\evil.exe",
         LoadAccess::MayTidy,
         {"Both + @ Current User\\Registry\\Run", "Both - @ Current User\\Registry\\Run"},
         true},
        {"another command, read-only",
         "C:\\Apps\\app.exe /other",
         LoadAccess::ReadOnly,
         {"Both + @ Current User\\Registry\\Run", "Both - @ Current User\\Registry\\Run"},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::SandboxRoot root;
        root.Value(HKCU, CV + "Run", "Both", c.back)
            .Value(HKCU, CV + "RunDisabled", "BOTH", "C:\\Apps\\app.exe");
        const std::string before = test::ReadText(root.Path() / "registry.reg");
        Loaded loaded;
        LoadInventory(loaded.inventory, root.Services(), loaded.ratings, loaded.icons, c.access);
        std::vector<std::string> rows;
        for (const auto& item : loaded.inventory.Items) {
            rows.push_back(item->Name.str() + (item->State == ItemState::Enabled ? " +" : " -") + " @ " +
                           item->Location.str());
        }
        // The twin's copy keeps its own spelling of the name.
        for (std::string& row : rows) {
            if (row.starts_with("BOTH")) {
                row.replace(0, 4, "Both");
            }
        }
        EXPECT_EQ(rows, c.rows);
        const auto twin = root.Services().registry.OpenForReading(HKCU, CV + "RunDisabled");
        EXPECT_EQ(twin->ReadValue("Both").has_value(), c.twinStays);
        EXPECT_EQ(loaded.inventory.Items[0]->TwinCopyRemoved, !c.twinStays);
        if (c.twinStays) {
            EXPECT_EQ(twin->ReadValue("Both")->data, "C:\\Apps\\app.exe");
        }
        if (c.access == LoadAccess::ReadOnly) {
            EXPECT_EQ(test::ReadText(root.Path() / "registry.reg"), before);
        }
    }
}

TEST(StartupScan, ATwinCopyWithoutDataStaysAndTheEntryShowsTwice) {
    test::SandboxRoot root;
    root.Value(HKCU, CV + "Run", "Both", "C:\\new.exe").Value(HKCU, CV + "RunDisabled", "Both", "");
    const auto loaded = Load(root);
    EXPECT_THAT(Rows(loaded->inventory),
                ElementsAre("Both + @ Current User\\Registry\\Run", "Both - @ Current User\\Registry\\Run"));
    EXPECT_EQ(loaded->inventory.Items[1]->Command, " ");
}

TEST(StartupScan, AStandardUserSeesNoDisabledMachineEntriesAndRemovesNothing) {
    test::SandboxRoot root;
    root.Settings("Administrator=0")
        .Value(HKLM, CV + "Run", "Both", "C:\\new.exe")
        .Value(HKLM, CV + "RunDisabled", "Both", "C:\\old.exe");
    const std::string before = test::ReadText(root.Path() / "registry.reg");
    const auto loaded = Load(root);
    EXPECT_THAT(Rows(loaded->inventory), ElementsAre("Both + @ All Users\\Registry\\Run"));
    EXPECT_EQ(test::ReadText(root.Path() / "registry.reg"), before);
}

TEST(StartupScan, ValuesBecomeEntriesAsTheyStand) {
    test::SandboxRoot root;
    root.File("C:\\Apps\\tool.exe")
        .Value(HKCU, CV + "Run", "", "C:\\Apps\\tool.exe") // the unnamed default value
        .Value(HKCU, CV + "Run", "Empty", "")              // empty data
        .Value(HKCU, CV + "Run", "Binary", RegistryValue::Binary("\x01\x02"))
        .Value(HKCU, CV + "Run", "Number", RegistryValue::Dword(1))
        .Value(HKCU, CV + "RunDisabled", "Binary", "C:\\kept.exe") // the skipped value's twin copy
        .Value(HKCU, CV + "Run", "Expand", RegistryValue::ExpandString("%windir%\\x.exe"))
        .Value(HKCU, CV + "Run\\Sub", "InSubkey", "C:\\Apps\\tool.exe"); // subkeys are never read
    const auto loaded = Load(root);
    const auto& items = loaded->inventory.Items;
    EXPECT_THAT(Rows(loaded->inventory),
                ElementsAre(" + @ Current User\\Registry\\Run", "Empty + @ Current User\\Registry\\Run",
                            "Expand + @ Current User\\Registry\\Run",
                            "Binary - @ Current User\\Registry\\Run"));
    EXPECT_TRUE(items[0]->PathValid);
    EXPECT_EQ(items[1]->Command, " ");
    EXPECT_FALSE(items[1]->PathValid);
    EXPECT_EQ(items[2]->Command, "%windir%\\x.exe");
    EXPECT_EQ(items[3]->Command, "C:\\kept.exe"); // a skipped value costs its twin nothing
    for (const auto& item : items) {
        EXPECT_EQ(item->LoadedState, item->State);
        EXPECT_FALSE(item->Edited);
    }
}

// Windows opens every file of a startup folder at logon, so each is an entry: a shortcut by its target, a
// shortcut it cannot load by its own path (invalid, with the reason), any other file as itself.
TEST(StartupScan, EveryFileOfAStartupFolderIsAnEntryNamedAsExplorerShowsIt) {
    struct Expected {
        std::string name;
        std::string command;
        FolderFile file;
        bool valid;
    };
    const std::string linkBytes = [] {
        test::SandboxRoot scratch;
        scratch.Shortcut("C:\\Link.lnk", "C:\\Apps\\tool.exe");
        return *scratch.Services().files.ReadFile("C:\\Link.lnk");
    }();
    test::SandboxRoot root;
    WithShellFolders(root);
    root.File("C:\\Apps\\tool.exe")
        .Folder("C:\\Docs")
        .Shortcut(kUserStartup + "\\Tool.lnk", "C:\\Apps\\tool.exe")
        .Shortcut(kUserStartup + "\\Upper.LNK", "C:\\Apps\\gone.exe")
        .Shortcut(kUserStartup + "\\double.lnk.lnk", "C:\\Apps\\tool.exe")
        .Shortcut(kUserStartup + "\\My.lnk Tools.Lnk", "C:\\Apps\\tool.exe")
        .Shortcut(kUserStartup + "\\Docs.lnk", "C:\\Docs")
        .File(kUserStartup + "\\desktop.ini", "[.ShellClassInfo]\r\n")
        .File(kUserStartup + "\\notes.lnk", "not a link")
        .Folder(kUserStartup + "\\Folder.lnk")
        .File(kUserStartup + "\\Folder.lnk\\inside.bat", "@echo off\r\n")
        .File(kUserStartup + "\\boot.bat", "@echo off\r\n")
        .File(kUserStartup + "\\updater.exe")
        .File(kUserStartup + "\\report.docx", "PK")
        .File(kUserStartup + "\\Site.url", "[InternetShortcut]\r\nURL=https://example.com/start\r\n")
        .File(kUserStartup + "\\Empty.URL", "[InternetShortcut]\r\n")
        .File(kUserStartup + "\\linkbytes", linkBytes);
    const auto loaded = Load(root);
    const std::string at = kUserStartup + "\\";
    // In the order NTFS lists a folder: by name without regard to case.
    const std::vector<Expected> expected = {
        {"boot.bat", at + "boot.bat", FolderFile::Other, true},
        {"Docs", "C:\\Docs", FolderFile::Shortcut, true},
        {"double.lnk", "C:\\Apps\\tool.exe", FolderFile::Shortcut, true},
        {"Empty", at + "Empty.URL", FolderFile::Other, true},
        {"linkbytes", at + "linkbytes", FolderFile::Other, true},
        {"My.lnk Tools", "C:\\Apps\\tool.exe", FolderFile::Shortcut, true},
        {"notes", at + "notes.lnk", FolderFile::UnreadableShortcut, false},
        {"report.docx", at + "report.docx", FolderFile::Other, true},
        {"Site", "https://example.com/start", FolderFile::Other, true},
        {"Tool", "C:\\Apps\\tool.exe", FolderFile::Shortcut, true},
        {"updater.exe", at + "updater.exe", FolderFile::Other, true},
        {"Upper", "C:\\Apps\\gone.exe", FolderFile::Shortcut, false},
    };
    std::vector<std::string> want;
    std::vector<std::string> got;
    const auto line = [](const std::string& name, const std::string& command, FolderFile file, bool valid) {
        return name + " | " + command + " | " + std::to_string(static_cast<int>(file)) +
               (valid ? " valid" : " invalid");
    };
    for (const Expected& e : expected) {
        want.push_back(line(e.name, e.command, e.file, e.valid));
    }
    for (const auto& item : loaded->inventory.Items) {
        got.push_back(line(item->Name.str(), item->Command.str(), item->File, item->PathValid));
        EXPECT_EQ(item->Location, "Current User\\Startup Menu");
        EXPECT_EQ(item->State, ItemState::Enabled);
        EXPECT_EQ(item->FileProblem.empty(), item->File != FolderFile::UnreadableShortcut)
            << item->Name.str();
    }
    EXPECT_EQ(got, want);
}

// A write in progress, or one a killed process left, is a whole link under a temporary name beside its
// target: never an entry, in the startup folder or where disabled shortcuts are kept.
TEST(StartupScan, TemporaryFilesOfWritesAreNeverEntries) {
    struct Case {
        std::string name;
        bool temporary;
    };
    const std::vector<Case> cases = {
        {".Tool.lnk.tmp-4242-17", true}, // the sandbox's atomic write
        {"Tool.lnk.~qb4242-17", true},   // the Windows backend's
        {"~qb123456-3.tmp", true},       // a file an apply staged
        {".hidden.lnk", false},          // a name that only starts with a dot
        {"Tool.tmp-1-2.lnk", false},     // the pattern inside, not at the end
        {"~qb.tmp", false},              // no numbers
        {"report.lnk.~qbx-1", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsTemporaryFileName(c.name), c.temporary);
    }
    test::SandboxRoot root;
    WithShellFolders(root);
    root.File("C:\\Apps\\tool.exe").Shortcut(kUserStartup + "\\Tool.lnk", "C:\\Apps\\tool.exe");
    for (const Case& c : cases) {
        if (c.temporary) {
            root.Shortcut(kUserStartup + "\\" + c.name, "C:\\Apps\\tool.exe")
                .Shortcut(kTool + "\\ShortCutCurrUser\\" + c.name, "C:\\Apps\\tool.exe");
        }
    }
    const auto loaded = Load(root);
    EXPECT_THAT(Rows(loaded->inventory), ElementsAre("Tool + @ Current User\\Startup Menu"));
}

TEST(StartupScan, AShortcutsArgumentsAreKeptApartFromItsTarget) {
    test::SandboxRoot root;
    WithShellFolders(root);
    ShortcutInfo link;
    link.target = "C:\\Program Files\\Tallybird\\tallybird.exe";
    link.arguments = "--config \"C:\\x y\\c.ini\"";
    link.workingDirectory = "C:\\x y";
    root.File(link.target)
        .Folder(kTool + "\\ShortCutCurrUser")
        .Value(HKCU, CV + "Run", "Agent", "C:\\agent.exe /q");
    ASSERT_TRUE(root.Services().shell.SaveShortcut(kUserStartup + "\\Tally.lnk", link));
    ASSERT_TRUE(root.Services().shell.SaveShortcut(kTool + "\\ShortCutCurrUser\\Off.lnk", link));
    const auto loaded = Load(root);
    ASSERT_EQ(loaded->inventory.Items.size(), 3u);
    const StartupItem& agent = *loaded->inventory.Items[0];
    EXPECT_EQ(agent.Command, "C:\\agent.exe /q"); // a run key's arguments are part of its command
    EXPECT_EQ(agent.Arguments, "");
    for (const std::size_t i : {1u, 2u}) {
        const StartupItem& tally = *loaded->inventory.Items[i];
        EXPECT_EQ(tally.Command, link.target); // listed as the bare target
        EXPECT_EQ(tally.Arguments, link.arguments);
        EXPECT_TRUE(tally.PathValid);
    }
}

// Windows opens the folder the shell gives at logon, whatever a stale Shell Folders value says; a list of
// the other folder would miss what starts and show what does not.
TEST(StartupScan, StartupFoldersAreTheShellsOwn) {
    test::SandboxRoot root;
    root.Shortcut(kUserStartup + "\\Tool.lnk", "C:\\x.exe")
        .Shortcut("C:\\Elsewhere\\Other.lnk", "C:\\x.exe")
        .Value(HKCU, CV + "Explorer\\Shell Folders", "Startup", "C:\\Elsewhere");
    EXPECT_THAT(Rows(Load(root)->inventory), ElementsAre("Tool + @ Current User\\Startup Menu"));
}

TEST(StartupScan, EachRecordIsRatedByItsNameAndCommand) {
    test::SandboxRoot root;
    root.Value(HKCU, CV + "Run", "Agent", "C:\\agent.exe /q");
    Loaded loaded;
    loaded.ratings.ratings["Agent"] = Rating::Harmful;
    LoadInventory(loaded.inventory, root.Services(), loaded.ratings, loaded.icons);
    ASSERT_EQ(loaded.inventory.Items.size(), 1u);
    EXPECT_EQ(loaded.inventory.Items[0]->Rating, Rating::Harmful);
    EXPECT_THAT(loaded.ratings.asked, ElementsAre("Agent|C:\\agent.exe /q"));
}

TEST(StartupScan, AReloadStartsAfresh) {
    test::SandboxRoot root;
    root.Value(HKCU, CV + "Run", "Agent", "C:\\agent.exe");
    Loaded loaded;
    LoadInventory(loaded.inventory, root.Services(), loaded.ratings, loaded.icons);
    loaded.inventory.Append({}).Name = "Added";
    loaded.inventory.RememberOriginal(*loaded.inventory.Items[0]);
    LoadInventory(loaded.inventory, root.Services(), loaded.ratings, loaded.icons);
    EXPECT_EQ(loaded.inventory.Items.size(), 1u);
    EXPECT_EQ(loaded.inventory.LoadedItems.size(), 1u);
    EXPECT_TRUE(loaded.inventory.EditedOriginals.empty());
    EXPECT_EQ(loaded.icons.added, 1);
}

TEST(StartupScan, ReferencesAreExpandedToFindTheProgramButCommandsStayAsWritten) {
    test::SandboxRoot root;
    WithShellFolders(root);
    const std::string securityHealth = "%windir%\\system32\\SecurityHealthSystray.exe";
    root.File("C:\\WINDOWS\\SYSTEM32\\SecurityHealthSystray.exe")
        .File("C:\\Program Files\\Padnote\\padnote.exe")
        .Value(HKLM, CV + "Run", "SecurityHealth", RegistryValue::ExpandString(securityHealth))
        .Value(HKCU, CV + "Run", "Unset", "%QbNotSet%\\app.exe")
        .Shortcut(kUserStartup + "\\Padnote.lnk", "%ProgramFiles%\\Padnote\\padnote.exe");
    FaultPlan plan; // fails nothing; records what the icons were asked of
    FaultyShell shell(root.Services().shell, plan);
    PlatformServices services = root.Services();
    PlatformServices watched{services.registry,  services.profiles, services.files,   shell,
                             services.processes, services.system,   services.dialogs, services.browser,
                             services.clock};
    Loaded loaded;
    LoadInventory(loaded.inventory, watched, loaded.ratings, loaded.icons);
    const auto& items = loaded.inventory.Items;
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0]->Command, securityHealth);
    EXPECT_TRUE(items[0]->PathValid);
    EXPECT_EQ(items[1]->Command, "%QbNotSet%\\app.exe"); // a variable not set: invalid, as before
    EXPECT_FALSE(items[1]->PathValid);
    // The shell reads a link's target with its references expanded, and so it is listed.
    EXPECT_EQ(items[2]->Command, "C:\\Program Files\\Padnote\\padnote.exe");
    EXPECT_TRUE(items[2]->PathValid);
    std::vector<std::string> icons;
    for (const auto& op : plan.Log()) {
        if (op.name == "shell.extract-icon") {
            icons.push_back(op.subject);
        }
    }
    EXPECT_THAT(icons, ElementsAre("C:\\WINDOWS\\SYSTEM32\\SECURITYHEALTHSYSTRAY.EXE", "",
                                   "C:\\PROGRAM FILES\\PADNOTE\\PADNOTE.EXE"));
}

} // namespace qb

namespace qb {

// Windows opens a document, a folder or a script at logon as readily as a program: what is there is
// valid, whatever its ending; only what is not there is marked invalid.
TEST(StartupScan, ATargetThatIsThereIsValidWhateverItsEnding) {
    struct Case {
        std::string name;
        std::string command;
        bool valid;
    };
    const std::vector<Case> cases = {
        {"Document", "C:\\Docs\\notes.txt", true},
        {"Spaced document", "C:\\My Docs\\read me.docx", true},
        {"Folder", "C:\\My Docs", true},
        {"Quoted script", "\"C:\\Scripts\\sync.ps1\" -Quiet", true},
        {"Expanded", "%SystemDrive%\\Docs\\notes.txt", true},
        {"Program", "C:\\Apps\\app.exe /q", true},
        {"Missing document", "C:\\Docs\\gone.txt", false},
        {"Missing folder", "C:\\Nowhere", false},
        {"Relative", "notes.txt", false},
    };
    test::SandboxRoot root;
    WithShellFolders(root);
    root.File("C:\\Docs\\notes.txt", "text")
        .File("C:\\My Docs\\read me.docx", "PK")
        .File("C:\\Scripts\\sync.ps1", "#")
        .File("C:\\Apps\\app.exe");
    for (const Case& c : cases) {
        root.Value(HKCU, CV + "Run", c.name, c.command);
        root.Shortcut(kUserStartup + "\\" + c.name + ".lnk", c.command);
    }
    const auto loaded = Load(root);
    std::map<std::string, int> seen;
    for (const auto& item : loaded->inventory.Items) {
        for (const Case& c : cases) {
            if (item->Name == c.name) {
                EXPECT_EQ(item->PathValid, c.valid) << c.name << " @ " << item->Location.str();
                ++seen[c.name];
            }
        }
    }
    for (const Case& c : cases) {
        EXPECT_EQ(seen[c.name], 2) << c.name; // once in the run key, once in the startup folder
    }
}

} // namespace qb
