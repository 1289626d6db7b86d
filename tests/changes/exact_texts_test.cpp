// What moves is the system's own: a value's type, a shortcut's own file name.

#include "backup/backup_file.h"
#include "changes/entry_editor.h"
#include "support/paths.h"
#include "support/startup_machine.h"

#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qb {

using namespace test;
using ::testing::ElementsAre;
using Machine = StartupMachine;

namespace {

const std::string kSaved = kTool + "\\backup\\saved.qbk";

void Restore(Machine& m, const std::string& path) {
    ASSERT_TRUE(LoadBackup(path, m.inventory, m.Services(), *m.database, m.icons).loaded);
    ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
}

} // namespace

// Only a command typed in gets its type from its text; a value that moves keeps the type it has, so an
// expandable value without '%' stays expandable and a plain one holding "%windir%" or "100%" stays plain.
TEST(ValueTypes, AValueKeepsItsTypeThroughEveryMove) {
    const RegistryValue values[] = {
        RegistryValue::ExpandString("C:\\Apps\\app.exe /expandable"),
        RegistryValue::String("%windir%\\app.exe"),
        RegistryValue::String("C:\\Apps\\app.exe 100% and 50%"),
    };
    struct Move {
        std::string what;
        bool startsDisabled;
        std::function<void(Machine&)> change;
        std::string key; // where the value is then
        std::string name;
    };
    const std::vector<Move> moves = {
        {"disable", false,
         [](Machine& m) {
             m.Find("V", kCuRun).State = ItemState::Disabled;
             ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
         },
         CV + "RunDisabled", "V"},
        {"enable", true,
         [](Machine& m) {
             m.Find("V", kCuRun).State = ItemState::Enabled;
             ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
         },
         CV + "Run", "V"},
        {"rename keeping the command", false,
         [](Machine& m) {
             StartupItem& v = m.Find("V", kCuRun);
             m.Edit(v, "W", v.Command, kCuRun);
             ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
         },
         CV + "Run", "W"},
        {"move to another key keeping the command", false,
         [](Machine& m) {
             StartupItem& v = m.Find("V", kCuRun);
             m.Edit(v, "V", v.Command, kCuRunOnce);
             ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
         },
         CV + "RunOnce", "V"},
        {"restore of an entry whose state alone differs", false,
         [](Machine& m) {
             WriteBackup(kSaved, m.inventory, m.Services());
             m.Find("V", kCuRun).State = ItemState::Disabled;
             ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
             Restore(m, kSaved);
         },
         CV + "Run", "V"},
    };
    for (const RegistryValue& value : values) {
        for (const Move& move : moves) {
            SCOPED_TRACE(move.what + " of " + value.data);
            Machine m;
            m.root.Value(HKCU, CV + (move.startsDisabled ? "RunDisabled" : "Run"), "V", value);
            m.Load();
            move.change(m);
            EXPECT_EQ(m.Value(HKCU, move.key, move.name), value);
            EXPECT_THAT(m.NotChanged(), ElementsAre());
        }
    }
}

// A shortcut file whose entry name ends in a blank or a dot ("Foo .lnk", "Bar..lnk") is a valid file on
// Windows: it can be disabled, enabled, deleted and restored. Only names the tool makes up are held to the
// editor's rules.
TEST(ShortcutNames, NamesEndingInABlankOrADotCanBeChangedAndRestored) {
    for (const std::string name : {"Foo ", "Bar."}) {
        SCOPED_TRACE(name);
        const std::string file = name + ".lnk";
        Machine m;
        m.root.Shortcut(kUserStartup + "\\" + file, "C:\\Apps\\app.exe");
        m.Load();
        WriteBackup(kSaved, m.inventory, m.Services());

        m.Find(name, kCuMenu).State = ItemState::Disabled;
        ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
        EXPECT_THAT(m.NotChanged(), ElementsAre());
        EXPECT_TRUE(m.Exists(kTool + "\\ShortCutCurrUser\\" + file));
        EXPECT_FALSE(m.Exists(kUserStartup + "\\" + file));

        m.Find(name, kCuMenu).State = ItemState::Enabled;
        ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
        EXPECT_THAT(m.NotChanged(), ElementsAre());
        EXPECT_TRUE(m.Exists(kUserStartup + "\\" + file));

        // The editor takes the entry's own name when only its command changes.
        const int index = FindRecordForEdit(m.inventory, name, kCuMenu);
        ASSERT_GE(index, 0);
        EXPECT_EQ(EditorInputProblem(m.inventory, name, "C:\\Apps\\other.exe", kCuMenu, index), std::nullopt);
        // A name the tool would make up is held to its rules, also in a record's other letters.
        EXPECT_NE(EditorInputProblem(m.inventory, "New" + name, "C:\\Apps\\app.exe", kCuMenu, -1),
                  std::nullopt);

        m.Find(name, kCuMenu).State = ItemState::Deleted;
        ASSERT_EQ(m.Apply(), ApplyOutcome::Applied);
        EXPECT_THAT(m.NotChanged(), ElementsAre());
        EXPECT_FALSE(m.Exists(kUserStartup + "\\" + file));

        const std::size_t shown = m.dialogs.Messages().size();
        Restore(m, kSaved);
        EXPECT_THAT(m.NotChanged(), ElementsAre());
        EXPECT_TRUE(m.Exists(kUserStartup + "\\" + file));
        EXPECT_THAT(m.OnSystem(), ElementsAre(name + " @ " + kCuMenu + " +"));
        EXPECT_EQ(m.dialogs.Messages().size(), shown); // nothing skipped
    }
}

// Names that would put a file elsewhere stay refused wherever they come from.
TEST(ShortcutNames, ANameThatLeavesItsFolderIsStillRefusedFromABackup) {
    Machine m;
    m.root.File(kSaved, "[General Info]\r\nNumber of Startup Items=2\r\n"
                        "[Item 0]\r\nProgram Name=..\\..\\evil\r\nCommand Path=C:\\Apps\\app.exe\r\n"
                        "Location=Current User\\Startup Menu\r\nStatus=Enabled\r\n"
                        "[Item 1]\r\nProgram Name=NUL\r\nCommand Path=C:\\Apps\\app.exe\r\n"
                        "Location=Current User\\Startup Menu\r\nStatus=Enabled\r\n");
    m.Load();
    ASSERT_TRUE(LoadBackup(kSaved, m.inventory, m.Services(), *m.database, m.icons).loaded);
    EXPECT_TRUE(m.inventory.Items.empty());
}

} // namespace qb
