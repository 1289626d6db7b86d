#include "app/qt_dialogs.h"
#include "app/t_dlg_backup.h"
#include "app/t_main_form.h"
#include "backup/backup_file.h"
#include "changes/pending_changes.h"
#include "main_window_fixture.h"
#include "support/paths.h"
#include "support/recording_fakes.h"
#include "support/sandbox_root.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qb {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

namespace {

using namespace test::paths;

// Three entries: a good one, one the database calls harmful and one whose program is gone.
void FillMachine(test::SandboxRoot& root) {
    root.File(kTool + "\\st.dat", "[Bad]\r\nConfirmed=X\r\n")
        .File(kTool + "\\infotpl.dat", "<html><body><!--name--></body></html>")
        .File(kTool + "\\mess.htm", "<html><body>Start</body></html>")
        .File("C:\\Apps\\good.exe")
        .Value(RegistryRoot::CurrentUser, CV + "Run", "Good", "C:\\Apps\\good.exe")
        .Value(RegistryRoot::CurrentUser, CV + "Run", "Bad", "C:\\Apps\\good.exe /evil")
        .Value(RegistryRoot::CurrentUser, CV + "Run", "Gone", "C:\\Gone\\gone.exe");
}

} // namespace

TEST(MainFormChanges, TheCheckBoxMarksTheRecordAndClosingAsksFirst) {
    test::SandboxRoot root;
    FillMachine(root);
    test::FixedClock clock{{2024, 3, 7, 18, 5, 9}};
    test::MainWindow w(root.System(), {.clock = &clock});
    test::ClickCheckBox(w.List(), w.Row("Good"));
    EXPECT_EQ(w.Row("Good").checkState(0), Qt::Unchecked);
    EXPECT_EQ(w.form->Items().Items[0]->State, ItemState::Disabled);
    EXPECT_TRUE(HasPendingChanges(w.form->Items()));

    w.scripted.Answer(DialogResult::No);
    EXPECT_FALSE(w.form->close()); // refused: the changes stay
    EXPECT_TRUE(w.form->isVisible());
    EXPECT_THAT(w.Messages(), ElementsAre(std::string(kDiscardAndExitQuestion)));

    test::PressSpaceOn(w.List(), w.Row("Good")); // toggled back: nothing pending
    EXPECT_EQ(w.Row("Good").checkState(0), Qt::Checked);
    EXPECT_FALSE(HasPendingChanges(w.form->Items()));
    EXPECT_TRUE(w.form->close());
    EXPECT_EQ(w.scripted.Messages().size(), 1u); // no second question
}

TEST(MainFormChanges, RefreshAsksBeforeItDropsChanges) {
    test::SandboxRoot root;
    FillMachine(root);
    test::FixedClock clock{{2024, 3, 7, 18, 5, 9}};
    test::MainWindow w(root.System(), {.clock = &clock});
    test::ClickCheckBox(w.List(), w.Row("Good"));
    w.scripted.Answer(DialogResult::No);
    test::Press(w.Find<QAbstractButton>("ToolButtonRefresh"));
    EXPECT_EQ(w.form->Items().Items[0]->State, ItemState::Disabled);
    EXPECT_EQ(w.Row("Good").checkState(0), Qt::Unchecked);
    w.scripted.Answer(DialogResult::Yes);
    test::Press(w.Find<QAbstractButton>("ToolButtonRefresh"));
    EXPECT_EQ(w.form->Items().Items[0]->State, ItemState::Enabled);
    EXPECT_EQ(w.Row("Good").checkState(0), Qt::Checked);
    EXPECT_THAT(w.Messages(), ElementsAre(std::string(kDiscardAndRefreshQuestion),
                                          std::string(kDiscardAndRefreshQuestion)));
}

TEST(MainFormChanges, ADeletedRowStaysStruckThroughUntilApplyAndUndoTakesItBack) {
    test::SandboxRoot root;
    FillMachine(root);
    test::FixedClock clock{{2024, 3, 7, 18, 5, 9}};
    test::MainWindow w(root.System(), {.clock = &clock});
    EXPECT_FALSE(w.Find<QPushButton>("ButtonDelete")->isEnabled()); // nothing selected
    test::ClickRow(w.List(), w.Row("Gone"));             // its cell reads "[Invalid Path]C:\Gone\gone.exe"
    test::Press(w.Find<QPushButton>("ButtonDelete"));
    EXPECT_THAT(w.CaptionsAndChanges(), ElementsAre("Good|", "Bad|", "~Gone|Delete"));
    EXPECT_EQ(w.form->Items().Items[2]->State, ItemState::Deleted);
    EXPECT_EQ(w.StatusText(), "2 of 2 entries shown|1 change not applied");
    test::ClickRow(w.List(), w.Row("Bad"));
    test::ClickCheckBox(w.List(), w.Row("Bad")); // disabled first: the undo gives that back
    w.Choose("MenuDelete", "Bad");
    EXPECT_THAT(w.CaptionsAndChanges(), ElementsAre("Good|", "~Bad|Delete", "~Gone|Delete"));

    // A deleted row: its box no longer ticks, and of the row commands only Undo and the looking ones act.
    test::ClickRow(w.List(), w.Row("Bad"));
    test::ClickCheckBox(w.List(), w.Row("Bad"));
    QTest::keyClick(w.List(), Qt::Key_Space);
    EXPECT_EQ(w.form->Items().Items[1]->State, ItemState::Deleted);
    std::vector<std::string> available;
    for (const char* button :
         {"ButtonEdit", "ButtonDelete", "ButtonProperties", "ButtonBrowse", "SnButtonRun", "SnButtonClose"}) {
        if (w.Find<QPushButton>(button)->isEnabled()) {
            available.emplace_back(button);
        }
    }
    EXPECT_THAT(available, ElementsAre("ButtonProperties", "ButtonBrowse"));
    w.Choose("MenuUndo", "Bad");
    EXPECT_THAT(w.CaptionsAndChanges(), ElementsAre("Good|", "Bad|Disable", "~Gone|Delete"));
    EXPECT_EQ(w.Row("Bad").checkState(0), Qt::Unchecked);
    // Undo is offered on deleted rows only.
    test::RightClick(w.List(), w.Row("Good").Index());
    EXPECT_FALSE(w.Find<QAction>("MenuUndo")->isVisible());
    w.Find<QMenu>("SnPopupMenuStartup")->close();

    w.ApplyWithOk();
    EXPECT_THAT(w.CaptionsAndChanges(), ElementsAre("Good|", "Bad|"));
    EXPECT_EQ(w.Row("Bad").checkState(0), Qt::Unchecked);
    EXPECT_EQ(w.StatusText(), "2 of 2 entries shown|");
    EXPECT_TRUE(w.Messages().empty());
}

TEST(MainFormChanges, AfterApplyTheListKeepsItsOrderAndItsSelectedEntry) {
    test::SandboxRoot root;
    FillMachine(root);
    test::MainWindow w(root.System());
    test::ClickHeader(w.List(), 0); // by name, A to Z
    EXPECT_THAT(w.Captions(), ElementsAre("Bad", "Gone", "Good"));
    test::ClickCheckBox(w.List(), w.Row("Good"));
    test::ClickRow(w.List(), w.Row("Gone"));
    w.ApplyWithOk();
    EXPECT_THAT(w.CaptionsAndChanges(), ElementsAre("Bad|", "Gone|", "Good|"));
    EXPECT_THAT(w.SelectedCaptions(), ElementsAre("Gone"));
    EXPECT_EQ(w.HeaderText(0), "Program Name \u25B2");
    EXPECT_EQ(w.Row("Good").checkState(0), Qt::Unchecked);
}

TEST(MainFormChanges, BulkDeletesShowEverythingOrSayThereWasNothing) {
    test::SandboxRoot root;
    FillMachine(root);
    test::FixedClock clock{{2024, 3, 7, 18, 5, 9}};
    test::MainWindow w(root.System(), {.clock = &clock});
    w.Choose("MenuDeleteDisabled");
    EXPECT_THAT(w.Messages(), ElementsAre("No disabled startup item is found."));
    test::ClickCheckBox(w.List(), w.Row("Good"));
    test::ClickCheckBox(w.List(), w.Row("Bad"));
    w.scripted.Answer(DialogResult::No);
    w.Choose("MenuDeleteDisabled"); // refused: both stay
    EXPECT_THAT(w.Captions(), ElementsAre("Good", "Bad", "Gone"));
    test::ClickCheckBox(w.List(), w.Row("Good"));
    test::ClickCheckBox(w.List(), w.Row("Bad"));
    w.scripted.Answer(DialogResult::Yes);
    w.Choose("MenuDeleteHarmful", "Good");
    EXPECT_THAT(w.CaptionsAndChanges(), ElementsAre("Good|", "~Bad|Delete", "Gone|"));
    EXPECT_EQ(w.form->SelectedNodePosition(), 0);
    w.Choose("MenuDeleteHarmful"); // the deleted record is no longer there to delete
    w.scripted.Answer(DialogResult::Yes);
    w.Choose("MenuDeleteInvaild");
    EXPECT_THAT(w.CaptionsAndChanges(), ElementsAre("Good|", "~Bad|Delete", "~Gone|Delete"));
    EXPECT_THAT(w.Messages(),
                ElementsAre("No disabled startup item is found.", "Delete 2 entries?", "Delete 1 entry?",
                            "No harmful startup item is found.", "Delete 1 entry?"));
}

TEST(MainFormChanges, ProgramsWindowsFindsAreNotInvalidAndSurviveTheBulkDelete) {
    test::SandboxRoot root;
    FillMachine(root);
    root.File("C:\\Program Files\\Padnote\\padnote.exe")
        .File("C:\\Apps\\Pad\\pad.exe")
        .Value(RegistryRoot::LocalMachine,
               "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\padnote.exe", "",
               "C:\\Apps\\Pad\\pad.exe")
        .Value(RegistryRoot::CurrentUser, CV + "Run", "NoExtension", "C:\\Program Files\\Padnote\\padnote")
        .Value(RegistryRoot::CurrentUser, CV + "Run", "Slashes", "C:/Program Files/Padnote/padnote.exe /min")
        .Value(RegistryRoot::CurrentUser, CV + "Run", "Registered", "padnote -tray");
    test::MainWindow w(root.System());
    const auto red = [&] {
        std::vector<std::string> out;
        for (int i = 0; i < w.RowCount(); ++i) {
            if (w.RowAt(i).data(1, Qt::ForegroundRole).isValid()) {
                out.push_back(w.RowAt(i).text(0).toStdString());
            }
        }
        return out;
    };
    EXPECT_THAT(red(), ElementsAre("Gone"));
    EXPECT_THAT(w.CaptionsAndCommands(),
                ElementsAre("Good|C:\\Apps\\good.exe", "Bad|C:\\Apps\\good.exe /evil",
                            "Gone|[Invalid Path]C:\\Gone\\gone.exe",
                            "NoExtension|C:\\Program Files\\Padnote\\padnote",
                            "Slashes|C:/Program Files/Padnote/padnote.exe /min", "Registered|padnote -tray"));
    w.scripted.Answer(DialogResult::Yes);
    w.Choose("MenuDeleteInvaild");
    EXPECT_THAT(w.CaptionsAndChanges(),
                ElementsAre("Good|", "Bad|", "~Gone|Delete", "NoExtension|", "Slashes|", "Registered|"));
}

TEST(MainFormChanges, ABackupLoadsAsPendingChanges) {
    test::SandboxRoot root;
    FillMachine(root);
    test::FixedClock clock{{2024, 3, 7, 18, 5, 9}};
    test::MainWindow w(root.System(), {.clock = &clock});
    // Saved with New Backup; then another program removes "Bad" and the list is refreshed.
    TDlgBackup* dialog = w.form->BackupDialog();
    const auto press = [dialog](const char* name) { test::PressIn(dialog, name); };
    w.scripted.ChooseFile("C:\\saved.qbk");
    QTimer::singleShot(0, dialog, [&] {
        press("SnButtonNew");
        press("ButtonClose");
    });
    test::Press(w.Find<QAbstractButton>("ToolButtonBackup"));
    root.Services().registry.OpenForWriting(RegistryRoot::CurrentUser, CV + "Run", false)->DeleteValue("Bad");
    test::Press(w.Find<QAbstractButton>("ToolButtonRefresh"));
    EXPECT_THAT(w.Captions(), ElementsAre("Good", "Gone"));

    // Load Setting closes the dialog and the window shows the backup's setting as changes to apply. Over a
    // change not applied it asks first, as Refresh does; No keeps the change and loads nothing.
    const auto load = [&] {
        QTimer::singleShot(0, dialog, [&] {
            auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("ListViewBackup"));
            test::ClickRow(list, list->topLevelItem(0));
            press("SnButtonLoad");
        });
        test::Press(w.Find<QAbstractButton>("ToolButtonBackup"));
    };
    test::ClickCheckBox(w.List(), w.Row("Gone"));
    w.scripted.Answer(DialogResult::No);
    load();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_THAT(w.Captions(), ElementsAre("Good", "Gone"));
    EXPECT_EQ(w.Row("Gone").checkState(0), Qt::Unchecked);
    w.scripted.Answer(DialogResult::Yes);
    load();
    EXPECT_THAT(w.Captions(), UnorderedElementsAre("Good", "Gone", "Bad"));
    EXPECT_EQ(w.Row("Gone").checkState(0), Qt::Checked); // the backup's state
    EXPECT_TRUE(w.Row("Bad").font(0).bold());            // to be added again
    EXPECT_EQ(w.form->windowTitle(), "Quillbrook *");
    EXPECT_TRUE(HasPendingChanges(w.form->Items()));
    EXPECT_THAT(w.Messages(),
                ElementsAre(std::string(kDiscardAndRefreshQuestion), std::string(kDiscardAndRefreshQuestion),
                            std::string(kRestoredNotAppliedMessage)));
}

TEST(BackupDialog, NewBackupRecordsTheSystemNotTheChangesNotApplied) {
    test::SandboxRoot root;
    FillMachine(root);
    test::FixedClock clock{{2024, 3, 7, 18, 5, 9}};
    test::MainWindow w(root.System(), {.clock = &clock});
    TDlgBackup* dialog = w.form->BackupDialog();
    const auto press = [dialog](const char* name) { test::PressIn(dialog, name); };
    test::ClickCheckBox(w.List(), w.Row("Good"));
    test::ClickRow(w.List(), w.Row("Bad"));
    test::Press(w.Find<QPushButton>("ButtonDelete"));
    w.scripted.ChooseFile("C:\\saved.qbk");
    QTimer::singleShot(0, dialog, [&] {
        press("SnButtonNew");
        press("ButtonClose");
    });
    test::Press(w.Find<QAbstractButton>("ToolButtonBackup"));
    w.scripted.Answer(DialogResult::Yes);
    test::Press(w.Find<QAbstractButton>("ToolButtonRefresh")); // the changes are dropped

    // Loading the backup onto the unchanged system changes nothing.
    QTimer::singleShot(0, dialog, [&] {
        auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("ListViewBackup"));
        test::ClickRow(list, list->topLevelItem(0));
        press("SnButtonLoad");
    });
    test::Press(w.Find<QAbstractButton>("ToolButtonBackup"));
    EXPECT_THAT(w.CaptionsAndCommands(),
                ElementsAre("Good|C:\\Apps\\good.exe", "Bad|C:\\Apps\\good.exe /evil",
                            "Gone|[Invalid Path]C:\\Gone\\gone.exe"));
    EXPECT_EQ(w.Row("Good").checkState(0), Qt::Checked);
    EXPECT_FALSE(HasPendingChanges(w.form->Items()));
    EXPECT_THAT(w.Messages(), ElementsAre(std::string(kDiscardAndRefreshQuestion)));
}

TEST(BackupDialog, ListsCreatesLoadsAndDeletesBackups) {
    test::SandboxRoot root;
    FillMachine(root);
    test::FixedClock clock{{2024, 3, 7, 18, 5, 9}};
    test::MainWindow w(root.System(), {.clock = &clock});
    TDlgBackup* dialog = w.form->BackupDialog();
    ASSERT_NE(dialog, nullptr);
    auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("ListViewBackup"));
    const auto press = [&](const char* name) { test::PressIn(dialog, name); };
    const auto times = [&] {
        std::vector<std::string> out;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            out.push_back(list->topLevelItem(i)->text(1).toStdString() + "|" +
                          list->topLevelItem(i)->text(2).toStdString());
        }
        return out;
    };
    // Runs `act` in the dialog the Backup button opens, then closes it with its Close button.
    const auto inDialog = [&](std::function<void()> act) {
        QTimer::singleShot(0, dialog, [&, act] {
            act();
            if (dialog->isVisible()) {
                press("ButtonClose");
            }
        });
        test::Press(w.Find<QAbstractButton>("ToolButtonBackup"));
    };

    inDialog([&] {
        EXPECT_EQ(dialog->windowTitle(), "Backup & Restore");
        EXPECT_TRUE(times().empty());
        w.scripted.ChooseFile("C:\\later");
        press("SnButtonNew");
        clock.time.hour = 9; // an earlier time, written later
        w.scripted.ChooseFile("C:\\earlier.qbk");
        press("SnButtonNew");
        press("SnButtonNew"); // cancelled: nothing written, the list still rebuilt
        EXPECT_EQ(times().size(), 2u);
        EXPECT_THAT(times(), ElementsAre("C:\\later.qbk|3", "C:\\earlier.qbk|3")); // by time, newest first
    });
    EXPECT_EQ(w.scripted.FileDialogs().front().filter, "Quillbrook Backup Files (*.qbk)|*.QBK");
    // Windows' dialog adds the filter's "QBK" to a bare name unless the dialog names its own extension.
    EXPECT_EQ(w.scripted.FileDialogs().front().defaultExtension, "qbk");

    inDialog([&] { // opening sorts by time
        EXPECT_THAT(times(), ElementsAre("C:\\later.qbk|3", "C:\\earlier.qbk|3"));
        press("SnButtonLoad");
        press("SnButtonView");
        test::ClickRow(list, list->topLevelItem(1));
        std::filesystem::remove(root.Host("C:\\earlier.qbk"));
        press("SnButtonLoad");
        press("SnButtonView");
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_TRUE(dialog->ChosenFile().empty());
        EXPECT_THAT(w.Messages(), ElementsAre("Please select an item.", "Please select a file.",
                                              "Backup file not exist.", "Backup file not exist."));

        test::ClickRow(list, list->topLevelItem(1));
        w.scripted.Answer(DialogResult::No);
        press("SnButtonDelete"); // refused: the entry stays
        EXPECT_THAT(times(), ElementsAre("C:\\later.qbk|3", "C:\\earlier.qbk|3"));
        w.scripted.Answer(DialogResult::Yes);
        press("SnButtonDelete"); // its file is gone already; the entry goes anyway
        EXPECT_THAT(times(), ElementsAre("C:\\later.qbk|3"));
        EXPECT_THAT(w.Messages(),
                    ElementsAre("Please select an item.", "Please select a file.", "Backup file not exist.",
                                "Backup file not exist.", "Delete the backup file C:\\earlier.qbk?",
                                "Delete the backup file C:\\earlier.qbk?"));
        w.scripted.Answer(DialogResult::No);
        press("SnButtonDeleteAll");
        EXPECT_EQ(times().size(), 1u);
        w.scripted.Answer(DialogResult::Yes);
        press("SnButtonDeleteAll");
        EXPECT_TRUE(times().empty());
    });
    EXPECT_TRUE(dialog->ChosenFile().empty()); // Close loads nothing
    EXPECT_FALSE(root.Services().files.FileExists("C:\\later.qbk"));
    EXPECT_FALSE(HasPendingChanges(w.form->Items()));
}

namespace {

// The backup list as the user reads it: each row's file and count, or the line the empty list shows.
std::vector<std::string> BackupListShown(TDlgBackup* dialog) {
    auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("ListViewBackup"));
    auto* empty = dialog->findChild<QLabel*>(QStringLiteral("LabelNoBackups"));
    std::vector<std::string> out;
    if (empty != nullptr && empty->isVisible()) {
        out.push_back("(" + empty->text().toStdString() + ")");
    }
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        out.push_back(list->topLevelItem(i)->text(1).toStdString() + "|" +
                      list->topLevelItem(i)->text(2).toStdString());
    }
    return out;
}

} // namespace

// The dialog says when there is nothing to list, puts each new backup at the top, and keeps its size while
// the list changes under the user's pointer, however long a file's name.
TEST(BackupDialog, KeepsItsSizeWhileUsedListsTheNewestFirstAndSaysWhenThereAreNone) {
    test::SandboxRoot root;
    FillMachine(root);
    test::FixedClock clock{{2024, 3, 7, 18, 5, 9}};
    test::MainWindow w(root.System(), {.clock = &clock});
    TDlgBackup* dialog = w.form->BackupDialog();
    const auto press = [dialog](const char* name) { test::PressIn(dialog, name); };
    const std::string longName = "C:\\Backups of the startup list\\before the new printer and the new "
                                 "scanner were installed on the office computer.qbk";
    root.Folder("C:\\Backups of the startup list");
    std::vector<std::vector<std::string>> seen;
    test::WhenShown(dialog, [&] {
        const QSize opened = dialog->size();
        seen.push_back(BackupListShown(dialog));
        w.scripted.ChooseFile("C:\\first.qbk");
        press("SnButtonNew");
        seen.push_back(BackupListShown(dialog));
        clock.time.hour = 19;
        w.scripted.ChooseFile(longName);
        press("SnButtonNew");
        seen.push_back(BackupListShown(dialog));
        EXPECT_EQ(dialog->size(), opened);
        w.scripted.Answer(DialogResult::Yes);
        press("SnButtonDeleteAll");
        seen.push_back(BackupListShown(dialog));
        EXPECT_EQ(dialog->size(), opened);
    });
    w.Press("ToolButtonBackup");
    EXPECT_THAT(seen, ElementsAre(ElementsAre("(No backups yet.)"), ElementsAre("C:\\first.qbk|3"),
                                  ElementsAre(longName + "|3", "C:\\first.qbk|3"),
                                  ElementsAre("(No backups yet.)")));
}

// Open file takes any backup file, listed or not, and restores it as Load Setting does: the dialog closes
// and the window shows the file's setting as changes to apply.
TEST(BackupDialog, OpenFileRestoresABackupTheListDoesNotHold) {
    test::SandboxRoot root;
    FillMachine(root);
    test::FixedClock clock{{2024, 3, 7, 18, 5, 9}};
    test::MainWindow w(root.System(), {.clock = &clock});
    TDlgBackup* dialog = w.form->BackupDialog();
    const auto press = [dialog](const char* name) { test::PressIn(dialog, name); };
    // A backup made here and carried to another folder, whose entry in the list was then deleted.
    w.scripted.ChooseFile("C:\\saved.qbk");
    test::WhenShown(dialog, [&] { press("SnButtonNew"); });
    w.Press("ToolButtonBackup");
    root.Folder("C:\\Carried");
    std::filesystem::copy_file(root.Host("C:\\saved.qbk"), root.Host("C:\\Carried") / "Mine.qbk");
    w.scripted.Answer(DialogResult::Yes);
    test::WhenShown(dialog, [&] { press("SnButtonDeleteAll"); });
    w.Press("ToolButtonBackup");
    root.Services().registry.OpenForWriting(RegistryRoot::CurrentUser, CV + "Run", false)->DeleteValue("Bad");
    w.Press("ToolButtonRefresh");
    ASSERT_THAT(w.Captions(), ElementsAre("Good", "Gone"));

    test::WhenShown(dialog, [&] {
        press("SnButtonOpenFile"); // cancelled: the dialog stays
        w.scripted.ChooseFile("C:\\Carried\\Missing.qbk");
        press("SnButtonOpenFile");
        EXPECT_TRUE(dialog->isVisible());
        w.scripted.ChooseFile("C:\\Carried\\Mine.qbk");
        press("SnButtonOpenFile");
        EXPECT_FALSE(dialog->isVisible());
    });
    w.Press("ToolButtonBackup");
    EXPECT_THAT(w.Captions(), ElementsAre("Good", "Gone", "Bad"));
    EXPECT_TRUE(w.Row("Bad").font(0).bold()); // to be added again
    EXPECT_TRUE(HasPendingChanges(w.form->Items()));
    std::vector<std::string> asked;
    for (const auto& shown : w.scripted.FileDialogs()) {
        asked.push_back(shown.filter + " in " + shown.initialDirectory);
    }
    const std::string inBackupFolder = "Quillbrook Backup Files (*.qbk)|*.QBK in " + kTool + "\\backup";
    EXPECT_THAT(asked, ElementsAre(inBackupFolder, inBackupFolder, inBackupFolder, inBackupFolder));
    EXPECT_THAT(w.Messages(), ElementsAre(std::string(kDeleteAllQuestion), "Backup file not exist.",
                                          std::string(kRestoredNotAppliedMessage)));
}

} // namespace qb

namespace qb {

// The accepted setting lies among the user's backups, a file of the tool's own: the real file dialog of
// Open file... lists the backups and not it.
TEST(BackupDialog, TheFileDialogListsTheUsersBackupsOnly) {
    test::SandboxRoot root;
    FillMachine(root);
    root.File(kTool + "\\backup\\mine.qbk", "[General Info]\r\nNumber of Startup Items=0\r\n");
    sandbox::SandboxSystem& system = root.System();
    QtDialogs dialogs(PathMapping{
        [&](std::string_view windows) -> std::optional<std::string> {
            const auto host = system.Paths().ToHost(windows);
            return host ? std::optional(host->string()) : std::nullopt;
        },
        [&](std::string_view local) { return system.Paths().ToWindows(std::filesystem::path(local)); }});
    test::MainWindow w(system, &dialogs);
    ASSERT_TRUE(std::filesystem::exists(root.Host(kTool + "\\backup\\Accepted Setting.qbk")));
    TDlgBackup* backups = w.form->BackupDialog();
    dialogs.SetOwner(backups);

    std::vector<std::string> listed;
    QTimer::singleShot(0, backups, [&] {
        QTimer::singleShot(0, [&] {
            auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(files, nullptr) << "no file dialog";
            auto* view = files->findChild<QListView*>(QStringLiteral("listView"));
            ASSERT_NE(view, nullptr);
            // The folder is read in the background: wait for its files.
            for (int i = 0; i < 200 && view->model()->rowCount(view->rootIndex()) < 1; ++i) {
                QTest::qWait(10);
            }
            for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
                listed.push_back(
                    view->model()->index(row, 0, view->rootIndex()).data().toString().toStdString());
            }
            files->reject();
        });
        test::PressIn(backups, "SnButtonOpenFile");
        if (backups->isVisible()) {
            test::PressIn(backups, "ButtonClose");
        }
    });
    w.Press("ToolButtonBackup");
    EXPECT_EQ(listed, std::vector<std::string>{"mine.qbk"});
}

} // namespace qb
