// What changed behind the tool's back: the marks of list, accept, and compare against a backup.
#include "cli/cli_app.h"
#include "cli/run_cli.h"

#include <gtest/gtest.h>

#include <fstream>

namespace qb::cli {
namespace {

constexpr const char* kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunDisabled = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunDisabled";
constexpr const char* kCurrentUserRun = "Current User\\Registry\\Run";
constexpr const char* kAccepted = "C:\\Program Files\\Quillbrook\\backup\\Accepted Setting.qbk";

// "name state change" of every entry list --json gives, "-" for no mark.
std::vector<std::string> Marks(CliMachine& machine, std::vector<std::string> extra = {}) {
    std::vector<std::string> args{"list", "--json", "--all"};
    args.insert(args.end(), extra.begin(), extra.end());
    const Result result = machine.Run(args);
    EXPECT_EQ(result.status, kExitOk) << result.err;
    std::vector<std::string> out;
    for (const auto& entry : nlohmann::json::parse(result.out)) {
        out.push_back(entry["name"].get<std::string>() + " " + entry["state"].get<std::string>() + " " +
                      (entry["change"].is_null() ? std::string("-") : entry["change"].get<std::string>()));
    }
    return out;
}

struct WatchedMachine : CliMachine {
    WatchedMachine() {
        root.Value(RegistryRoot::CurrentUser, kRun, "Alpha", "C:\\alpha.exe")
            .Value(RegistryRoot::CurrentUser, kRun, "Beta", "C:\\beta.exe")
            .Value(RegistryRoot::CurrentUser, kRun, "Gamma", "C:\\gamma.exe");
    }
    bool HasValue(const char* key, const char* name) {
        const auto opened = root.Services().registry.OpenForReading(RegistryRoot::CurrentUser, key);
        return opened && opened->ReadValue(name).has_value();
    }
};

TEST(ChangeMarks, WhatAppearedCameBackOrChangedBehindTheToolsBackIsMarkedUntilAccepted) {
    WatchedMachine machine;
    // The first run knows no earlier setting: nothing is new to it.
    EXPECT_EQ(Marks(machine),
              (std::vector<std::string>{"Alpha Enabled -", "Beta Enabled -", "Gamma Enabled -"}));
    ASSERT_EQ(machine.Run({"disable", "--name", "Beta", "--location", kCurrentUserRun, "--no-backup"}).status,
              kExitOk);
    // A program adds itself, one puts its value back after the user disabled it, one changes its command.
    machine.root.Value(RegistryRoot::CurrentUser, kRun, "Delta", "C:\\delta.exe")
        .Value(RegistryRoot::CurrentUser, kRun, "Beta", "C:\\beta.exe")
        .Value(RegistryRoot::CurrentUser, kRun, "Gamma", "C:\\gamma2.exe");
    // Beta's value, put back, comes last in its key.
    const std::vector<std::string> marked{"Alpha Enabled -", "Gamma Enabled changed", "Delta Enabled new",
                                          "Beta Enabled returned"};
    EXPECT_EQ(Marks(machine), marked);
    EXPECT_TRUE(machine.HasValue(kRunDisabled, "Beta")) << "a list removes nothing";
    // A load that may tidy removes the disabled copy, the program's leftover; the next load no longer sees
    // it, yet the mark stays until the user accepts it.
    ASSERT_EQ(machine.Run({"backup", "C:\\Program Files\\Quillbrook\\backup\\x.qbk"}).status, kExitOk);
    EXPECT_EQ(Marks(machine), marked);
    EXPECT_EQ(Marks(machine, {"--changes"}),
              (std::vector<std::string>{"Gamma Enabled changed", "Delta Enabled new", "Beta Enabled returned"}));

    // Disabling the returned entry again is the user's own change: its mark goes, the others stay.
    ASSERT_EQ(machine.Run({"disable", "--name", "Beta", "--location", kCurrentUserRun, "--no-backup"}).status,
              kExitOk);
    EXPECT_EQ(Marks(machine), (std::vector<std::string>{"Alpha Enabled -", "Gamma Enabled changed",
                                                        "Delta Enabled new", "Beta Disabled -"}));

    const Result accepted = machine.Run({"accept"});
    EXPECT_EQ(accepted.status, kExitOk);
    EXPECT_EQ(accepted.out, "Accepted the startup setting as it is; 2 marks cleared.\n");
    EXPECT_EQ(Marks(machine), (std::vector<std::string>{"Alpha Enabled -", "Gamma Enabled -", "Delta Enabled -",
                                                        "Beta Disabled -"}));
    EXPECT_EQ(Marks(machine, {"--changes"}), std::vector<std::string>{});
}

// An entry gone behind the tool's back has no record to mark: list --changes lists it, from the accepted
// setting, as removed, in every format, until the setting is accepted.
TEST(ChangeMarks, AnEntryGoneBehindTheToolsBackIsListedAsRemovedUntilAccepted) {
    WatchedMachine machine;
    Marks(machine); // the first run keeps the setting
    {
        const auto key =
            machine.root.Services().registry.OpenForWriting(RegistryRoot::CurrentUser, kRun, false);
        ASSERT_TRUE(key);
        ASSERT_TRUE(key->DeleteValue("Beta"));
    }
    machine.root.Value(RegistryRoot::CurrentUser, kRun, "Delta", "C:\\delta.exe");
    EXPECT_EQ(Marks(machine, {"--changes"}),
              (std::vector<std::string>{"Delta Enabled new", "Beta Enabled removed"}));
    EXPECT_EQ(Marks(machine),
              (std::vector<std::string>{"Alpha Enabled -", "Gamma Enabled -", "Delta Enabled new"}))
        << "a list of what is there lists no removed entry";

    const Result json = machine.Run({"list", "--changes", "--json", "--location", kCurrentUserRun});
    const auto rows = nlohmann::ordered_json::parse(json.out);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].dump(),
              R"({"name":"Beta","command":"C:\\beta.exe","location":"Current User\\Registry\\Run",)"
              R"("state":"Enabled","rating":"Unknown","pathValid":null,"memoryKB":0,"peakMemoryKB":0,)"
              R"("approved":true,"change":"removed"})");
    const Result csv = machine.Run({"list", "--changes", "--csv"});
    EXPECT_EQ(csv.out.substr(csv.out.rfind("Beta,")),
              "Beta,C:\\beta.exe,Current User\\Registry\\Run,Enabled,Unknown,,0,0,removed\r\n");
    const Result table = machine.Run({"list", "--changes", "--rating", "Unknown"});
    EXPECT_EQ(table.out,
              "State    Change   Program Name  Rating   Memory  Location                   Command Path\n"
              "Enabled  new      Delta         Unknown          Current User\\Registry\\Run  [Invalid "
              "Path]C:\\delta.exe\n"
              "Enabled  removed  Beta          Unknown          Current User\\Registry\\Run  C:\\beta.exe\n"
              "2 entries\n");

    ASSERT_EQ(machine.Run({"accept"}).status, kExitOk);
    EXPECT_EQ(Marks(machine, {"--changes"}), std::vector<std::string>{});
}

// A value put back under the name of an entry the user disabled, with another command: the user's copy is
// kept, both are listed, and the one now in the run key is marked changed, not returned. Reading commands
// leave the registry file as it was.
TEST(ChangeMarks, AValueBackWithAnotherCommandKeepsTheUsersCopyAndIsMarkedChanged) {
    const struct {
        const char* what;
        const char* putBack;
        std::vector<std::string> marks;
        bool copyKeptByAChange;
    } cases[] = {
        {"another command",
         "C:\\Users\\User\\AppData\\Roaming\\evil.exe",
         {"Alpha Enabled -", "Gamma Enabled -", "Beta Enabled changed", "Beta Disabled -"},
         true},
        {"the same command",
         "C:\\beta.exe",
         {"Alpha Enabled -", "Gamma Enabled -", "Beta Enabled returned"},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WatchedMachine machine;
        Marks(machine);
        ASSERT_EQ(
            machine.Run({"disable", "--name", "Beta", "--location", kCurrentUserRun, "--no-backup"}).status,
            kExitOk);
        machine.root.Value(RegistryRoot::CurrentUser, kRun, "Beta", c.putBack);
        const std::string before = test::ReadText(machine.root.Path() / "registry.reg");
        EXPECT_EQ(Marks(machine), c.marks);
        EXPECT_EQ(machine.Run({"compare", kAccepted}).status, kExitDiffer);
        EXPECT_EQ(test::ReadText(machine.root.Path() / "registry.reg"), before)
            << "list and compare only read";

        // A command that changes the system loads it, too: it removes only a copy identical to what is back.
        ASSERT_EQ(
            machine.Run({"disable", "--name", "Alpha", "--location", kCurrentUserRun, "--no-backup"}).status,
            kExitOk);
        const auto kept =
            machine.root.Services().registry.OpenForReading(RegistryRoot::CurrentUser, kRunDisabled);
        ASSERT_TRUE(kept);
        EXPECT_EQ(kept->ReadValue("Beta").has_value(), c.copyKeptByAChange);
        if (c.copyKeptByAChange) {
            EXPECT_EQ(kept->ReadValue("Beta")->data, "C:\\beta.exe");
        }
    }
}

TEST(ChangeMarks, EntriesTheUserAddsEditsOrRestoresAreNotMarked) {
    WatchedMachine machine;
    Marks(machine);
    const std::string backup = "C:\\Program Files\\Quillbrook\\backup\\before.qbk";
    ASSERT_EQ(machine.Run({"backup", backup}).status, kExitOk);
    ASSERT_EQ(machine.Run({"add", "--name", "Epsilon", "--location", kCurrentUserRun, "--command",
                           "C:\\epsilon.exe", "--no-backup"})
                  .status,
              kExitOk);
    ASSERT_EQ(machine.Run({"edit", "--name", "Alpha", "--location", kCurrentUserRun, "--new-command",
                           "C:\\alpha.exe /quiet", "--no-backup"})
                  .status,
              kExitOk);
    // The edited value is written anew, last in its key.
    EXPECT_EQ(Marks(machine), (std::vector<std::string>{"Beta Enabled -", "Gamma Enabled -", "Epsilon Enabled -",
                                                        "Alpha Enabled -"}));
    ASSERT_EQ(machine.Run({"restore", backup, "--no-backup"}).status, kExitOk);
    EXPECT_EQ(Marks(machine),
              (std::vector<std::string>{"Beta Enabled -", "Gamma Enabled -", "Alpha Enabled -"}));
}

// A kept setting that is missing or not whole is no earlier setting: no marks, never an error, and the
// system as it is becomes the setting.
TEST(ChangeMarks, AMissingOrDamagedAcceptedSettingMarksNothing) {
    const struct {
        const char* what;
        const char* content; // nullptr: the file is removed
    } cases[] = {
        {"removed", nullptr},
        {"not a backup", "garbage\r\n\x01\x02"},
        {"cut short", "[General Info]\r\nNumber of Startup Items=3\r\n[Item 0]\r\nProgram Name=Alpha\r\n"
                      "Command Path=C:\\alpha.exe\r\nLocation=Current User\\Registry\\Run\r\nStatus=Enabled\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WatchedMachine machine;
        Marks(machine);
        machine.root.Value(RegistryRoot::CurrentUser, kRun, "Delta", "C:\\delta.exe");
        const auto file = machine.root.Host(kAccepted);
        if (c.content == nullptr) {
            std::filesystem::remove(file);
        } else {
            std::ofstream(file, std::ios::binary | std::ios::trunc) << c.content;
        }
        EXPECT_EQ(Marks(machine), (std::vector<std::string>{"Alpha Enabled -", "Beta Enabled -",
                                                            "Gamma Enabled -", "Delta Enabled -"}));
        machine.root.Value(RegistryRoot::CurrentUser, kRun, "Zeta", "C:\\zeta.exe");
        EXPECT_EQ(Marks(machine), (std::vector<std::string>{"Alpha Enabled -", "Beta Enabled -",
                                                            "Gamma Enabled -", "Delta Enabled -",
                                                            "Zeta Enabled new"}));
    }
}

TEST(CompareCommand, ListsWhatWasAddedRemovedAndChangedSinceABackup) {
    WatchedMachine machine;
    const std::string backup = "C:\\Program Files\\Quillbrook\\backup\\watch.qbk";
    ASSERT_EQ(machine.Run({"backup", backup}).status, kExitOk);
    const Result same = machine.Run({"compare", backup});
    EXPECT_EQ(same.status, kExitOk);
    EXPECT_EQ(same.out, "The system holds the backup's startup setting.\n");

    machine.root.Value(RegistryRoot::CurrentUser, kRun, "Delta", "C:\\delta.exe")
        .Value(RegistryRoot::CurrentUser, kRun, "Gamma", "C:\\gamma2.exe");
    ASSERT_EQ(machine.Run({"delete", "--name", "Alpha", "--location", kCurrentUserRun, "--no-backup"}).status,
              kExitOk);
    ASSERT_EQ(machine.Run({"disable", "--name", "Beta", "--location", kCurrentUserRun, "--no-backup"}).status,
              kExitOk);

    const Result text = machine.Run({"compare", backup});
    EXPECT_EQ(text.status, kExitDiffer);
    EXPECT_EQ(text.out,
              "Added:   Delta (Current User\\Registry\\Run): \"C:\\delta.exe\", Enabled\n"
              "Removed: Alpha (Current User\\Registry\\Run): \"C:\\alpha.exe\", Enabled\n"
              "Changed: Gamma (Current User\\Registry\\Run): \"C:\\gamma.exe\", Enabled -> \"C:\\gamma2.exe\", "
              "Enabled\n"
              "Changed: Beta (Current User\\Registry\\Run): \"C:\\beta.exe\", Enabled -> \"C:\\beta.exe\", "
              "Disabled\n"
              "1 added, 1 removed, 2 changed.\n");

    const Result json = machine.Run({"compare", backup, "--json"});
    EXPECT_EQ(json.status, kExitDiffer);
    const auto entry = [](const char* name, const char* command, const char* state) {
        return nlohmann::json{{"name", name},       {"location", kCurrentUserRun}, {"command", command},
                              {"arguments", ""},    {"state", state}};
    };
    const nlohmann::json expected = {
        {"added", {entry("Delta", "C:\\delta.exe", "Enabled")}},
        {"removed", {entry("Alpha", "C:\\alpha.exe", "Enabled")}},
        {"changed",
         {{{"name", "Gamma"},
           {"location", kCurrentUserRun},
           {"before", entry("Gamma", "C:\\gamma.exe", "Enabled")},
           {"now", entry("Gamma", "C:\\gamma2.exe", "Enabled")}},
          {{"name", "Beta"},
           {"location", kCurrentUserRun},
           {"before", entry("Beta", "C:\\beta.exe", "Enabled")},
           {"now", entry("Beta", "C:\\beta.exe", "Disabled")}}}}};
    EXPECT_EQ(nlohmann::json::parse(json.out), expected);
}

TEST(CompareCommand, AFileThatIsNoBackupIsAFailureNotADifference) {
    WatchedMachine machine;
    machine.root.File("C:\\notes.txt", "hello");
    const Result result = machine.Run({"compare", "C:\\notes.txt"});
    EXPECT_EQ(result.status, kExitFailed);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "The format of the backup file is not correct!\n");
    // A file that is not there says so.
    const Result missing = machine.Run({"compare", "C:\\gone.qbk"});
    EXPECT_EQ(missing.status, kExitFailed);
    EXPECT_EQ(missing.err, "Backup file not exist.\n");
}

} // namespace
} // namespace qb::cli
