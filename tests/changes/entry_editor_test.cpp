#include "changes/apply_dialog_rows.h"
#include "changes/backup_choice.h"
#include "changes/entry_editor.h"
#include "changes/pending_changes.h"
#include "knowledge/program_database.h"
#include "platform/platform_error.h"
#include "support/paths.h"
#include "support/sandbox_root.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qb {

using ::testing::ElementsAre;

namespace {

using namespace test::paths;

struct Editor {
    Editor() : database(root.Services().files) {}
    StartupItem& Loaded(const std::string& name, const std::string& location,
                        ItemState state = ItemState::Enabled) {
        StartupItem item;
        item.Name = name;
        item.Command = "C:\\x.exe";
        item.Location = location;
        item.State = item.LoadedState = state;
        return inventory.Append(std::move(item));
    }
    test::SandboxRoot root;
    ProgramDatabase database;
    CountingIconSink icons;
    Inventory inventory;
};

} // namespace

TEST(EntryEditor, TrimsBlanksAndControlCharacters) {
    EXPECT_EQ(TrimEditorText("  \tNew Program \r\n"), "New Program");
    EXPECT_EQ(TrimEditorText("\x01\x7F"), "");
    EXPECT_EQ(TrimEditorText("a  b"), "a  b");
}

// What Find... makes of the file chosen: a command that starts it, and a name for the entry.
TEST(EntryEditor, AFoundFileGivesACommandAndAName) {
    const struct {
        const char* path;
        const char* command;
        const char* name;
    } cases[] = {
        {"C:\\Apps\\app.exe", "C:\\Apps\\app.exe", "app"},
        {"C:\\Program Files\\Disk Watch\\Disk Watch.exe", "\"C:\\Program Files\\Disk Watch\\Disk Watch.exe\"",
         "Disk Watch"},
        {"C:\\Tools\\run.me.bat", "C:\\Tools\\run.me.bat", "run.me"},
        {"C:\\Tools\\README", "C:\\Tools\\README", "README"},
        {"C:\\Tools.d\\.hidden", "C:\\Tools.d\\.hidden", ".hidden"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(FoundCommand(c.path), c.command);
        EXPECT_EQ(FoundName(c.path), c.name);
    }
}

TEST(EntryEditor, RefusesWhatCannotBeAnEntry) {
    Editor e;
    e.Loaded("Foo", kCuRun);
    e.Loaded("Gone", kCuRun, ItemState::Deleted);
    e.Loaded("Menu", kCuMenu);
    const struct {
        const char* name;
        const char* command;
        std::string location;
        int editIndex;
        std::optional<std::string> problem;
    } cases[] = {
        {"", "C:\\x.exe", kCuRun, -1, "Please enter a program name."},
        {"Bar", "", kCuRun, -1, "Please enter a program name."}, // the same words for an empty command
        {"Foo", "C:\\x.exe", kCuRun, -1, "You are adding a duplicate of an existing startup item."},
        {"foo", "C:\\x.exe", kCuRun, -1, "You are adding a duplicate of an existing startup item."},
        {"FOO", "C:\\x.exe", kCuRun, 0, std::nullopt},   // the record under edit, in other letters
        {"Foo", "C:\\x.exe", kCuMenu, -1, std::nullopt}, // another place
        {"Gone", "C:\\x.exe", kCuRun, -1, std::nullopt}, // deleted records do not count
        {"Foo", "C:\\x.exe", kCuRun, 0, std::nullopt},   // the record under edit itself
        {"Menu", "C:\\x.exe", kCuMenu, 0, "You are adding a duplicate of an existing startup item."},
        {"..\\evil", "C:\\x.exe", kCuRun, -1, std::nullopt}, // fine as a value name
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EditorInputProblem(e.inventory, c.name, c.command, c.location, c.editIndex), c.problem);
    }
    const auto unsafe = EditorInputProblem(e.inventory, "..\\evil", "C:\\x.exe", kCuMenu, -1);
    ASSERT_TRUE(unsafe.has_value());
    EXPECT_TRUE(unsafe->starts_with("The name cannot be used for a shortcut in a startup folder."));
}

TEST(EntryEditor, AnEditKeepsTheFirstOriginalAndMarksTheRecord) {
    Editor e;
    e.root.File("C:\\Apps\\new.exe");
    e.Loaded("A", kCuRun);
    const int index = FindRecordForEdit(e.inventory, "A", kCuRun);
    ASSERT_EQ(index, 0);
    EXPECT_FALSE(EditEntry(e.inventory, index, "A", e.inventory.Items[0]->Command, kCuRun, e.root.Services(),
                           e.database, e.icons)); // OK on unchanged texts
    EXPECT_FALSE(e.inventory.Items[0]->Edited);
    EXPECT_TRUE(e.inventory.EditedOriginals.empty());
    EditEntry(e.inventory, index, "B", "C:\\Apps\\new.exe", kCuMenu, e.root.Services(), e.database, e.icons);
    ASSERT_EQ(e.inventory.EditedOriginals.size(), 1u);
    EXPECT_EQ(e.inventory.EditedOriginals[0]->Name, "A");
    EXPECT_EQ(e.inventory.EditedOriginals[0]->Location, kCuRun);
    const StartupItem& item = *e.inventory.Items[0];
    EXPECT_EQ(item.Name, "B");
    EXPECT_TRUE(item.PathValid);
    EXPECT_EQ(item.LoadedState, ItemState::Enabled);
    EXPECT_EQ(FindRecordForEdit(e.inventory, "Nobody", kCuRun), -1);
}

TEST(EntryEditor, AnAddedEntryIsEnabledAndNotOnTheSystem) {
    Editor e;
    StartupItem& added =
        AddEntry(e.inventory, "New Program", "C:\\gone.exe", kCuRun, e.root.Services(), e.database, e.icons);
    EXPECT_EQ(added.State, ItemState::Enabled);
    EXPECT_EQ(added.LoadedState, ItemState::Deleted);
    EXPECT_FALSE(added.PathValid);
    EXPECT_TRUE(e.inventory.LoadedItems.empty());
    EXPECT_EQ(EditorInputProblem(e.inventory, "New Program", "C:\\x.exe", kCuRun, -1),
              "You are adding a duplicate of an existing startup item.");
}

TEST(ApplyDialogRows, ListTheKindsAndTheStatusToCome) {
    Editor e;
    StartupItem& enabledEdited = e.Loaded("Both", kCuRun, ItemState::Disabled);
    enabledEdited.State = ItemState::Enabled;
    enabledEdited.Edited = true;
    e.Loaded("Deleted", kCuRun).State = ItemState::Deleted;
    e.Loaded("Same", kCuRun);
    StartupItem& ghost =
        AddEntry(e.inventory, "Ghost", "C:\\x.exe", kCuRun, e.root.Services(), e.database, e.icons);
    ghost.Edited = true;
    ghost.State = ItemState::Deleted; // added, edited, deleted: pending but no row
    StartupItem& added =
        AddEntry(e.inventory, "Added", "C:\\x.exe", kCuRun, e.root.Services(), e.database, e.icons);
    added.State = ItemState::Disabled;
    std::vector<std::string> rows;
    for (const auto& row : ApplyDialogRows(e.inventory)) {
        rows.push_back(row.changes + "|" + row.name + "|" + row.status);
    }
    EXPECT_THAT(rows, ElementsAre("Enable,Edit|Both|Enabled", "Delete|Deleted|", "Add|Added|Disabled"));
    // Counted as the rows show them, both words of "Enable,Edit" too; the kind that ends an entry's life
    // or starts it comes first.
    EXPECT_EQ(ApplyDialogSummary(e.inventory), "4 changes: 1 add, 1 delete, 1 edit, 1 enable");
    EXPECT_EQ(ApplyDialogSummary(Inventory{}), "0 changes");
}

TEST(ApplyDialogRows, TheStoredBackupChoiceStartsAtOne) {
    test::SandboxRoot root;
    auto& registry = root.Services().registry;
    EXPECT_TRUE(PeekAutoBackupChoice(registry)); // missing: on, and nothing written
    EXPECT_EQ(registry.OpenForReading(RegistryRoot::CurrentUser, "SOFTWARE\\Quillbrook"), nullptr);
    EXPECT_TRUE(StoredAutoBackupChoice(registry));
    EXPECT_EQ(
        registry.OpenForReading(RegistryRoot::CurrentUser, "SOFTWARE\\Quillbrook")->ReadInteger("AutoBackup"),
        1u);
    registry.OpenForWriting(RegistryRoot::CurrentUser, "SOFTWARE\\Quillbrook", false)
        ->WriteInteger("AutoBackup", 0);
    EXPECT_FALSE(StoredAutoBackupChoice(registry));
    EXPECT_FALSE(PeekAutoBackupChoice(registry));
    registry.OpenForWriting(RegistryRoot::CurrentUser, "SOFTWARE\\Quillbrook", false)
        ->WriteString("AutoBackup", "1");
    try {
        StoredAutoBackupChoice(registry);
        ADD_FAILURE() << "a text value must not read as the choice";
    } catch (const PlatformError& error) {
        EXPECT_STREQ(error.what(), "Invalid data type for 'AutoBackup'");
    }
}

} // namespace qb
