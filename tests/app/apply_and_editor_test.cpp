#include "app/t_dlg_apply.h"
#include "app/t_form_add.h"
#include "app/t_main_form.h"
#include "changes/apply_engine.h"
#include "changes/pending_changes.h"
#include "inventory/startup_scan.h"
#include "knowledge/program_database.h"
#include "main_window_fixture.h"
#include "platform/faults/faulty_services.h"
#include "support/paths.h"
#include "support/recording_fakes.h"
#include "support/sandbox_root.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qb {

using ::testing::ElementsAre;

namespace {

using namespace test::paths;

// Two entries, one of them disabled and invalid; `settings` are lines of the machine's sandbox.ini.
void FillMachine(test::SandboxRoot& root, const std::string& settings = "") {
    if (!settings.empty()) {
        root.Settings(settings);
    }
    root.File(kTool + "\\infotpl.dat", "<html><body><!--name--></body></html>")
        .File(kTool + "\\mess.htm", "<html><body>Start</body></html>")
        .Folder(kTool + "\\backup")
        .File("C:\\Apps\\app.exe")
        .Value(RegistryRoot::CurrentUser, CV + "Run", "Tool", "C:\\Apps\\app.exe")
        .Value(RegistryRoot::CurrentUser, CV + "RunDisabled", "Off", "C:\\Gone\\off.exe");
}

std::optional<RegistryValue> Value(test::SandboxRoot& root, const std::string& key, const std::string& name) {
    auto opened = root.Services().registry.OpenForReading(RegistryRoot::CurrentUser, key);
    return opened ? opened->ReadValue(name) : std::nullopt;
}

using test::PressIn;

QStringList Offered(TFormAdd* editor) {
    auto* combo = editor->findChild<QComboBox*>(QStringLiteral("ComboBoxLocation"));
    QStringList offered;
    for (int i = 0; i < combo->count(); ++i) {
        offered << combo->itemText(i);
    }
    return offered;
}

void Fill(TFormAdd* editor, const QString& name, const QString& command, const QString& location) {
    editor->findChild<QLineEdit*>(QStringLiteral("EditName"))->setText(name);
    editor->findChild<QLineEdit*>(QStringLiteral("EditPath"))->setText(command);
    auto* combo = editor->findChild<QComboBox*>(QStringLiteral("ComboBoxLocation"));
    combo->setCurrentIndex(combo->findText(location));
}

} // namespace

TEST(EntryEditorWindow, AddsAnEntryAfterItsChecks) {
    test::SandboxRoot root;
    FillMachine(root);
    test::MainWindow w(root.System());
    TFormAdd* editor = w.form->EntryEditor();
    // A 64-bit system: the machine's Run and RunOnce of 32-bit programs are places of their own.
    EXPECT_EQ(Offered(editor), QStringList({"Current User\\Registry\\Run", "Current User\\Registry\\RunOnce",
                                    "All Users\\Registry\\Run", "All Users\\Registry\\Run (32-bit)",
                                    "All Users\\Registry\\RunOnce", "All Users\\Registry\\RunOnce (32-bit)",
                                    "All Users\\Registry\\RunOnce Ex", "All Users\\Registry\\Run Services",
                                    "All Users\\Registry\\Run Services Once", "Current User\\Startup Menu",
                                    "All Users\\Startup Menu"}));
    test::WhenShown<TFormAdd>(editor, [](TFormAdd* e) {
        EXPECT_EQ(e->windowTitle(), "Adding a startup program");
        EXPECT_EQ(e->NameText(), "New Program");
        Fill(e, "  Tool ", "C:\\x.exe", "Current User\\Registry\\Run");
        PressIn(e, "ButtonOK");           // a duplicate: refused, stays open
        EXPECT_EQ(e->NameText(), "Tool"); // trimmed all the same
        Fill(e, "Fresh", "  ", "Current User\\Registry\\Run");
        PressIn(e, "ButtonOK"); // empty command
        Fill(e, "Fresh", "\"C:\\Apps\\app.exe\" /tray", "Current User\\Startup Menu");
        PressIn(e, "ButtonOK");
    });
    w.Press("ButtonAdd");
    EXPECT_THAT(w.Messages(), ElementsAre("You are adding a duplicate of an existing startup item.",
                                          "Please enter a program name."));
    EXPECT_THAT(w.CaptionsAndCommands(),
                ElementsAre("Tool|C:\\Apps\\app.exe", "Off|[Invalid Path]C:\\Gone\\off.exe",
                            "Fresh|\"C:\\Apps\\app.exe\" /tray"));
    EXPECT_EQ(w.form->Items().Items.back()->LoadedState, ItemState::Deleted);
    // The next add opens with the place the last one used.
    test::WhenShown<TFormAdd>(
        editor, [](TFormAdd* e) { EXPECT_EQ(e->LocationText(), "Current User\\Startup Menu"); });
    w.Press("ButtonAdd");
}

// Find... quotes a path with blanks, so that Windows does not read the rest as arguments, and names an entry
// that has no name of its own yet after the file; a name the user gave stays.
TEST(EntryEditorWindow, FindQuotesAPathWithBlanksAndNamesAnUnnamedEntryAfterTheFile) {
    test::SandboxRoot root;
    FillMachine(root);
    test::MainWindow w(root.System());
    TFormAdd* editor = w.form->EntryEditor();
    auto* name = editor->findChild<QLineEdit*>(QStringLiteral("EditName"));
    std::vector<std::string> seen;
    const auto find = [&](const std::string& file) {
        w.scripted.ChooseFile(file);
        PressIn(editor, "ButtonFind");
        seen.push_back(editor->NameText() + "|" + editor->CommandText());
    };
    const auto retype = [&](const QString& text) {
        name->setFocus();
        QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(name, Qt::Key_Backspace);
        QTest::keyClicks(name, text);
    };
    test::WhenShown<TFormAdd>(editor, [&](TFormAdd*) {
        find("C:\\Program Files\\Disk Watch\\Disk Watch.exe"); // the preset name gives way
        find("C:\\Apps\\app.exe");                             // now the entry has a name
        retype(QStringLiteral("Mine"));
        find("C:\\Apps\\app.exe");
        retype(QString());
        find("C:\\Apps\\app.exe");
        PressIn(editor, "ButtonCancel");
    });
    w.Press("ButtonAdd");
    w.SelectRow("Tool");
    test::WhenShown<TFormAdd>(editor, [&](TFormAdd*) {
        find("C:\\Program Files\\Disk Watch\\Disk Watch.exe"); // an entry's own name stays
        PressIn(editor, "ButtonCancel");
    });
    w.Press("ButtonEdit");
    EXPECT_THAT(seen,
                ElementsAre("Disk Watch|\"C:\\Program Files\\Disk Watch\\Disk Watch.exe\"",
                            "Disk Watch|C:\\Apps\\app.exe", "Mine|C:\\Apps\\app.exe", "app|C:\\Apps\\app.exe",
                            "Tool|\"C:\\Program Files\\Disk Watch\\Disk Watch.exe\""));
}

TEST(EntryEditorWindow, AThirtyTwoBitSystemHasNoThirtyTwoBitPlacesToOffer) {
    test::SandboxRoot root;
    FillMachine(root, "Architecture=x86");
    test::MainWindow w(root.System());
    EXPECT_EQ(Offered(w.form->EntryEditor()),
              QStringList({"Current User\\Registry\\Run", "Current User\\Registry\\RunOnce",
                           "All Users\\Registry\\Run", "All Users\\Registry\\RunOnce",
                           "All Users\\Registry\\RunOnce Ex", "All Users\\Registry\\Run Services",
                           "All Users\\Registry\\Run Services Once", "Current User\\Startup Menu",
                           "All Users\\Startup Menu"}));
    // The tree as the user sees it, top to bottom.
    auto* tree = w.form->findChild<QTreeWidget*>(QStringLiteral("TreeViewMain"));
    QStringList shown;
    for (QTreeWidgetItem* node = tree->topLevelItem(0); node != nullptr; node = tree->itemBelow(node)) {
        shown << node->text(0);
    }
    EXPECT_EQ(shown, QStringList({"All Programs", "All Users", "Registry", "Run", "RunOnce", "RunOnceEx",
                                  "Services", "ServicesOnce", "Policies Run", "Startup Menu", "Current User",
                                  "Registry", "Run", "RunOnce", "RunOnceEx", "Services", "ServicesOnce",
                                  "Policies Run", "Startup Menu"}));
}

TEST(EntryEditorWindow, EditsTheSelectedRowInPlace) {
    test::SandboxRoot root;
    FillMachine(root);
    test::MainWindow w(root.System());
    test::ClickRow(w.List(), w.Row("Off"));
    test::WhenShown<TFormAdd>(w.form->EntryEditor(), [](TFormAdd* e) {
        EXPECT_EQ(e->windowTitle(), "Editing a startup program");
        EXPECT_EQ(e->CommandText(), "C:\\Gone\\off.exe"); // without the marker
        e->findChild<QLineEdit*>(QStringLiteral("EditPath"))->setText("C:\\Apps\\app.exe /on");
        PressIn(e, "ButtonOK");
    });
    w.Press("ButtonEdit");
    EXPECT_THAT(w.CaptionsAndCommands(), ElementsAre("Tool|C:\\Apps\\app.exe", "Off|C:\\Apps\\app.exe /on"));
    EXPECT_EQ(w.RowAt(1).checkState(0), Qt::Unchecked);             // the check box stays
    EXPECT_FALSE(w.RowAt(1).data(1, Qt::ForegroundRole).isValid()); // valid now: no longer red
    ASSERT_EQ(w.form->Items().EditedOriginals.size(), 1u);
    EXPECT_EQ(w.form->Items().EditedOriginals[0]->Command, "C:\\Gone\\off.exe");
}

TEST(ApplyWindow, ListsTheChangesAndKeepsTheBackupChoice) {
    test::SandboxRoot root;
    FillMachine(root);
    test::MainWindow w(root.System());
    test::ClickCheckBox(w.List(), w.Row("Tool"));
    EXPECT_EQ(w.Row("Tool").checkState(0), Qt::Unchecked);
    TDlgApply* dialog = w.form->ApplyDialog();
    auto* box = dialog->findChild<QCheckBox*>(QStringLiteral("CheckBoxBackup"));
    EXPECT_TRUE(box->isChecked());

    // Cancel: nothing written, not even the choice.
    test::WhenShown<TDlgApply>(dialog, [](TDlgApply* d) {
        auto* rows = d->findChild<QTreeWidget*>(QStringLiteral("SnListViewChanges"));
        ASSERT_EQ(rows->topLevelItemCount(), 1);
        EXPECT_EQ(rows->topLevelItem(0)->text(0), "Disable");
        EXPECT_EQ(rows->topLevelItem(0)->text(4), "Disabled");
        auto* backup = d->findChild<QCheckBox*>(QStringLiteral("CheckBoxBackup"));
        QTest::mouseClick(backup, Qt::LeftButton, {}, QPoint(8, backup->height() / 2));
        EXPECT_FALSE(backup->isChecked());
        PressIn(d, "SnButtonCancel");
    });
    w.Press("ToolButtonApply");
    EXPECT_TRUE(Value(root, CV + "Run", "Tool").has_value());
    EXPECT_FALSE(box->isChecked()); // as the user left it in this run
    EXPECT_EQ(Value(root, "SOFTWARE\\Quillbrook", "AutoBackup"),
              RegistryValue::Dword(1)); // created when missing

    // OK with the box unticked: applied, no backup, the choice stored.
    test::WhenShown<TDlgApply>(dialog, [](TDlgApply* d) { PressIn(d, "SnButtonOK"); });
    w.Press("ToolButtonApply");
    EXPECT_FALSE(Value(root, CV + "Run", "Tool").has_value());
    EXPECT_TRUE(Value(root, CV + "RunDisabled", "Tool").has_value());
    EXPECT_EQ(Value(root, "SOFTWARE\\Quillbrook", "AutoBackup"), RegistryValue::Dword(0));
    // The backup folder holds only the setting the user accepted, which is no backup.
    const auto inBackupFolder = root.Services().files.FindFiles(kTool + "\\backup", "*.*");
    ASSERT_EQ(inBackupFolder.size(), 1u);
    EXPECT_EQ(inBackupFolder[0].name, "Accepted Setting.qbk");
    EXPECT_FALSE(HasPendingChanges(w.form->Items()));

    // A new run of the tool starts ticked, and the stored 0 unticks it at the next showing.
    test::SandboxRoot againRoot;
    FillMachine(againRoot);
    test::MainWindow again(againRoot.System());
    TDlgApply* fresh = again.form->ApplyDialog();
    EXPECT_TRUE(fresh->findChild<QCheckBox*>(QStringLiteral("CheckBoxBackup"))->isChecked());
    againRoot.Value(RegistryRoot::CurrentUser, "SOFTWARE\\Quillbrook", "AutoBackup", RegistryValue::Dword(0));
    test::ClickCheckBox(again.List(), again.Row("Tool"));
    test::WhenShown<TDlgApply>(fresh, [](TDlgApply* d) {
        EXPECT_FALSE(d->findChild<QCheckBox*>(QStringLiteral("CheckBoxBackup"))->isChecked());
        PressIn(d, "SnButtonCancel");
    });
    again.Press("ToolButtonApply");
    EXPECT_TRUE(Value(againRoot, CV + "Run", "Tool").has_value()); // cancelled

    // Nothing pending: said so, no dialog.
    w.Press("ToolButtonApply");
    EXPECT_EQ(w.Messages().back(), "There is no changes in the startup list.");
}

// The dialog counts the changes by kind above the list, and a command too long for any screen makes it no
// wider than the screen: the command's column scrolls instead.
TEST(ApplyWindow, CountsTheChangesByKindAndNeverOutgrowsTheScreen) {
    test::SandboxRoot root;
    FillMachine(root);
    std::string longCommand = "C:\\Apps\\app.exe /config ";
    while (longCommand.size() < 255) {
        longCommand += "C:\\Users\\User\\Settings ";
    }
    root.Value(RegistryRoot::CurrentUser, CV + "Run", "Long", longCommand)
        .Value(RegistryRoot::CurrentUser, CV + "Run", "Spare", "C:\\Apps\\app.exe /spare")
        .Value(RegistryRoot::CurrentUser, CV + "Run", "Gone", "C:\\Apps\\app.exe /gone");
    test::MainWindow w(root.System());
    for (const char* row : {"Tool", "Long", "Spare"}) {
        test::ClickCheckBox(w.List(), w.Row(row));
    }
    w.SelectRow("Gone");
    w.Press("ButtonDelete");

    TDlgApply* dialog = w.form->ApplyDialog();
    const auto shown = [dialog] {
        std::vector<std::string> out{
            dialog->findChild<QLabel*>(QStringLiteral("LabelChangeCount"))->text().toStdString()};
        auto* rows = dialog->findChild<QTreeWidget*>(QStringLiteral("SnListViewChanges"));
        for (int i = 0; i < rows->topLevelItemCount(); ++i) {
            out.push_back(rows->topLevelItem(i)->text(0).toStdString() + "|" +
                          rows->topLevelItem(i)->text(1).toStdString());
        }
        return out;
    };
    test::WhenShown<TDlgApply>(dialog, [&](TDlgApply* d) {
        EXPECT_THAT(shown(), ElementsAre("4 changes: 1 delete, 3 disables", "Disable|Tool", "Disable|Long",
                                         "Disable|Spare", "Delete|Gone"));
        const QRect screen = d->screen()->availableGeometry();
        EXPECT_LE(d->frameGeometry().width(), screen.width());
        EXPECT_TRUE(screen.contains(d->frameGeometry())) << "placed on the screen";
        auto* rows = d->findChild<QTreeWidget*>(QStringLiteral("SnListViewChanges"));
        rows->horizontalScrollBar()->setValue(rows->horizontalScrollBar()->maximum());
        EXPECT_GT(rows->horizontalScrollBar()->maximum(), 0) << "the command scrolls into sight";
        PressIn(d, "SnButtonCancel");
    });
    w.Press("ToolButtonApply");

    // One change, and of another kind: the singular, and a kind the first showing had not.
    w.scripted.Answer(DialogResult::Yes);
    w.Press("ToolButtonRefresh");
    test::ClickCheckBox(w.List(), w.Row("Off"));
    test::WhenShown<TDlgApply>(dialog, [&](TDlgApply* d) {
        EXPECT_THAT(shown(), ElementsAre("1 change: 1 enable", "Enable|Off"));
        PressIn(d, "SnButtonCancel");
    });
    w.Press("ToolButtonApply");
}

// The registry's changes are stored at the end. When that last write fails, the apply is all or nothing:
// the shortcut that had moved is moved back, the window says why, the user's marks stay, and Apply again,
// once the registry can be written, makes them all; the next load marks none of them as a program's doing.
TEST(ApplyWindow, AnApplyWhoseFinalWriteFailsMakesNothingAndKeepsTheMarks) {
    test::SandboxRoot root;
    FillMachine(root);
    test::MainWindow w(root.System());
    const std::string startup =
        "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
    root.Folder(startup)
        .Value(RegistryRoot::CurrentUser, CV + "Explorer\\Shell Folders", "Startup", startup)
        .Shortcut(kTool + "\\ShortCutCurrUser\\Kept.lnk", "C:\\Apps\\app.exe");
    w.Press("ToolButtonRefresh");
    w.Press("ButtonAcceptChanges"); // the user has seen the shortcut: no mark from here
    ASSERT_TRUE(w.FindRow("Kept"));
    test::ClickCheckBox(w.List(), w.Row("Kept"));
    test::ClickCheckBox(w.List(), w.Row("Tool"));

    // The stored backup choice is there already: the apply dialog writes it only when missing.
    root.Value(RegistryRoot::CurrentUser, "SOFTWARE\\Quillbrook", "AutoBackup", RegistryValue::Dword(0));
    const auto store = root.Path() / "registry.reg";
    std::filesystem::permissions(store, std::filesystem::perms::owner_read |
                                            std::filesystem::perms::group_read |
                                            std::filesystem::perms::others_read);
    test::WhenShown<TDlgApply>(w.form->ApplyDialog(), [](TDlgApply* d) { PressIn(d, "SnButtonOK"); });
    w.Press("ToolButtonApply");
    std::filesystem::permissions(store, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);

    const auto messages = w.Messages();
    ASSERT_GE(messages.size(), 1u);
    EXPECT_TRUE(messages.back().starts_with("Failed to set data for")) << messages.back();
    EXPECT_FALSE(root.Services().files.FileExists(startup + "\\Kept.lnk")) << "moved back";
    EXPECT_TRUE(root.Services().files.FileExists(kTool + "\\ShortCutCurrUser\\Kept.lnk"));
    EXPECT_TRUE(HasPendingChanges(w.form->Items())) << "the user's marks stay for another try";
    EXPECT_EQ(w.Row("Kept").checkState(0), Qt::Checked);
    EXPECT_EQ(w.Row("Tool").checkState(0), Qt::Unchecked);

    test::WhenShown<TDlgApply>(w.form->ApplyDialog(), [](TDlgApply* d) { PressIn(d, "SnButtonOK"); });
    w.Press("ToolButtonApply");
    EXPECT_TRUE(root.Services().files.FileExists(startup + "\\Kept.lnk"));
    EXPECT_FALSE(HasPendingChanges(w.form->Items()));
    EXPECT_EQ(w.Row("Kept").checkState(0), Qt::Checked);
    EXPECT_EQ(w.Row("Tool").checkState(0), Qt::Unchecked);

    w.Press("ToolButtonRefresh");
    for (const StartupItem* item : w.form->Items().LoadedItems) {
        EXPECT_EQ(item->Change, ChangeMark::None) << item->Name.str();
    }
}

} // namespace qb

namespace qb {

// An apply killed while a shortcut was half moved leaves it in both places until something puts it right:
// the window, when it opens, rolls the cut-off apply back and says so, and lists the entry once, as it was.
TEST(ApplyWindow, OpeningRollsBackAnApplyThatWasCutOffAndSaysSo) {
    const std::string startup =
        "C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
    const auto killedWhileEnabling = [&](test::SandboxRoot& root) {
        root.Folder(startup)
            .Value(RegistryRoot::CurrentUser, CV + "Explorer\\Shell Folders", "Startup", startup)
            .Shortcut(kTool + "\\ShortCutCurrUser\\Kept.lnk", "C:\\Apps\\app.exe");
        const pid_t child = ::fork();
        if (child == 0) {
            // Another instance enables the shortcut and is killed after its copy is in the startup folder,
            // before the kept file went.
            auto opened = sandbox::SandboxSystem::Open(root.Path());
            auto& system = *std::get<std::unique_ptr<sandbox::SandboxSystem>>(opened);
            Inventory inventory;
            CountingIconSink icons;
            ProgramDatabase database(system.Files());
            LoadInventory(inventory, system.Services(), database, icons);
            for (const auto& item : inventory.Items) {
                if (item->Name == "Kept") {
                    item->State = ItemState::Enabled;
                }
            }
            FaultPlan plan;
            int moves = 0;
            plan.FailWhen([&](const FaultPlan::Operation& operation) {
                if (operation.name == "files.move" && ++moves == 2) {
                    ::_exit(9);
                }
                return false;
            });
            const PlatformServices s = system.Services();
            FaultyRegistry registry(s.registry, plan);
            FaultyFileSystem files(s.files, plan);
            FaultyShell shell(s.shell, plan);
            ApplyEngine(inventory, {registry, s.profiles, files, shell, s.processes, s.system, s.dialogs,
                                    s.browser, s.clock})
                .Apply(false, false);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9);
        ASSERT_TRUE(root.Services().files.FileExists(startup + "\\Kept.lnk")) << "the kill came too late";
    };
    test::SandboxRoot root;
    FillMachine(root);
    killedWhileEnabling(root);
    test::MainWindow w(root.System(), {.settle = false});
    EXPECT_THAT(w.Messages(), ElementsAre()) << "said once the window is up, not before";
    QCoreApplication::processEvents();
    EXPECT_THAT(w.Messages(),
                ElementsAre("An apply that was cut off was rolled back: the startup entries are "
                            "as they were before it."));
    EXPECT_FALSE(root.Services().files.FileExists(startup + "\\Kept.lnk"));
    const auto rows = w.CaptionsAndCommands(); // "caption|command"
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(),
                            [](const std::string& row) { return row.starts_with("Kept|"); }),
              1);
    ASSERT_TRUE(w.FindRow("Kept"));
    EXPECT_EQ(w.Row("Kept").checkState(0), Qt::Unchecked);
}

} // namespace qb
