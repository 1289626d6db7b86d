// A backup keeps names and commands whole: over 259 bytes, with line breaks, and readable by older readers.

#include "backup/backup_file.h"
#include "changes/pending_changes.h"
#include "support/startup_machine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qb {

using namespace test;
using ::testing::ElementsAre;
using Machine = StartupMachine;

namespace {

const std::string kSaved = kTool + "\\backup\\saved.qbk";

std::vector<std::string> Saved(Machine& m) {
    std::vector<std::string> out;
    const auto entries = ReadBackupEntries(kSaved, m.Services().profiles);
    if (!entries) {
        ADD_FAILURE() << "no backup";
        return out;
    }
    for (const SavedEntry& entry : *entries) {
        out.push_back(entry.name + " = " + entry.command);
    }
    return out;
}

} // namespace

// Older readers find 259 bytes on one line in the keys they know; this one reads the whole texts.
TEST(ExactBackup, LongAndMultiLineTextsAreKeptWholeBesideWhatOlderReadersRead) {
    const std::string longCommand = "C:\\Apps\\app.exe " + std::string(300, 'a') + " 100% %TEMP%";
    const std::string longName = std::string(290, 'n') + " END";
    Machine m;
    m.root.Value(HKCU, CV + "Run", "Two\r\nLines", "C:\\Apps\\app.exe /a\n/b")
        .Value(HKCU, CV + "Run", longName, longCommand);
    m.Load();
    WriteBackup(kSaved, m.inventory, m.Services());
    EXPECT_THAT(Saved(m),
                ElementsAre("Two\r\nLines = C:\\Apps\\app.exe /a\n/b", longName + " = " + longCommand));
    auto& profiles = m.Services().profiles;
    EXPECT_EQ(profiles.ReadValue(kSaved, "Item 0", "Program Name"), "Two  Lines");
    EXPECT_EQ(profiles.ReadValue(kSaved, "Item 1", "Program Name"), longName.substr(0, 259));
    EXPECT_EQ(profiles.ReadValue(kSaved, "Item 1", "Command Path"), longCommand.substr(0, 259));
}

// A file written over keeps the keys not written now: the whole text an earlier backup left in a section
// never comes back with another entry.
TEST(ExactBackup, AWholeTextLeftByAnEarlierBackupIsNotTaken) {
    Machine m;
    m.root.Value(HKCU, CV + "Run", "Two\nLines", "C:\\Apps\\app.exe");
    m.Load();
    WriteBackup(kSaved, m.inventory, m.Services());
    m.Services().registry.OpenForWriting(HKCU, CV + "Run", false)->DeleteValue("Two\nLines");
    m.root.Value(HKCU, CV + "Run", "Two Lines", "C:\\Apps\\app.exe");
    m.Load();
    WriteBackup(kSaved, m.inventory, m.Services());
    EXPECT_THAT(Saved(m), ElementsAre("Two Lines = C:\\Apps\\app.exe"));
}

// Hostile or damaged whole texts: one that a reader cut (its length is not the one written), one that does
// not agree with the key older readers read, one without a length. The short keys count then.
TEST(ExactBackup, AWholeTextThatIsNotWholeOrNotTheEntrysIsPassedOver) {
    const std::string head =
        "[General Info]\r\nNumber of Startup Items=1\r\n[Item 0]\r\nProgram Name=Foo\r\n"
        "Command Path=C:\\a.exe\r\nLocation=Current User\\Registry\\Run\r\nStatus=Enabled\r\n";
    for (const std::string whole : {"Whole Program Name=9:Foo%0ABar", "Whole Program Name=7:Fo%0A",
                                    "Whole Program Name=Foo%0ABar", "Whole Command Path=400:C:\\a.exe"}) {
        SCOPED_TRACE(whole);
        Machine m;
        m.root.File(kSaved, head + whole + "\r\n");
        EXPECT_THAT(Saved(m), ElementsAre("Foo = C:\\a.exe"));
    }
    Machine m; // agrees: "Foo bar" is what the key older readers read holds of it
    m.root.File(kSaved, "[General Info]\r\nNumber of Startup Items=1\r\n[Item 0]\r\nProgram Name=Foo bar\r\n"
                        "Whole Program Name=7:Foo%0Abar\r\nCommand Path=C:\\a.exe\r\n"
                        "Location=Current User\\Registry\\Run\r\nStatus=Enabled\r\n");
    EXPECT_THAT(Saved(m), ElementsAre("Foo\nbar = C:\\a.exe"));
}

// A backup of an older version holds 259 bytes of a longer name or command: restored onto a system that
// holds the whole texts, it leaves them alone rather than write its cut copies over them.
TEST(ExactBackup, ABackupOfAnOlderVersionLeavesLongTextsAlone) {
    const std::string longCommand = "C:\\Apps\\app.exe " + std::string(300, 'a');
    const std::string longName = std::string(290, 'n') + " END";
    Machine m;
    m.root.Value(HKCU, CV + "Run", "Long command", longCommand)
        .Value(HKCU, CV + "Run", longName, "C:\\Apps\\app.exe");
    m.root.File(kSaved, "[General Info]\r\nNumber of Startup Items=2\r\n"
                        "[Item 0]\r\nProgram Name=Long command\r\nCommand Path=" +
                            longCommand.substr(0, 259) +
                            "\r\nLocation=Current User\\Registry\\Run\r\nStatus=Enabled\r\n"
                            "[Item 1]\r\nProgram Name=" +
                            longName.substr(0, 259) +
                            "\r\nCommand Path=C:\\Apps\\app.exe\r\nLocation=Current User\\Registry\\Run\r\n"
                            "Status=Enabled\r\n");
    m.Load();
    ASSERT_TRUE(LoadBackup(kSaved, m.inventory, m.Services(), *m.database, m.icons).loaded);
    EXPECT_FALSE(HasPendingChanges(m.inventory));
}

} // namespace qb
