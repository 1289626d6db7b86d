#include "app/t_dlg_backup.h"
#include "app/t_main_form.h"
#include "backup/backup_file.h"
#include "changes/pending_changes.h"
#include "support/recording_fakes.h"
#include "support/sandbox_root.h"

#include <QAction>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qb {

using ::testing::ElementsAre;

namespace {

const std::string CV = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
const std::string kTool = "C:\\Program Files\\Quillbrook";

struct Window {
    Window() {
        root.File(kTool + "\\st.dat", "[Bad]\r\nConfirmed=X\r\n")
            .File(kTool + "\\infotpl.dat", "<html><body><!--name--></body></html>")
            .File(kTool + "\\mess.htm", "<html><body>Start</body></html>")
            .File("C:\\Apps\\good.exe")
            .Value(RegistryRoot::CurrentUser, CV + "Run", "Good", "C:\\Apps\\good.exe")
            .Value(RegistryRoot::CurrentUser, CV + "Run", "Bad", "C:\\Apps\\good.exe /evil")
            .Value(RegistryRoot::CurrentUser, CV + "Run", "Gone", "C:\\Gone\\gone.exe");
    }
    void Open() {
        root.System().SetDialogs(dialogs);
        const sandbox::PathMap& map = root.System().Paths();
        PathMapping paths{[&map](std::string_view w) -> std::optional<std::string> {
                              auto h = map.ToHost(w);
                              return h ? std::optional(h->string()) : std::nullopt;
                          },
                          [&map](std::string_view l) { return map.ToWindows(l); }};
        PlatformServices s = root.Services();
        form =
            std::make_unique<TMainForm>(PlatformServices{s.registry, s.profiles, s.files, s.shell,
                                                         s.processes, s.system, s.dialogs, s.browser, clock},
                                        paths);
        form->show();
    }
    QTreeWidget* List() { return form->findChild<QTreeWidget*>(QStringLiteral("ListViewFix")); }
    QTreeWidgetItem* Row(const std::string& caption) {
        for (int i = 0; i < List()->topLevelItemCount(); ++i) {
            if (List()->topLevelItem(i)->text(0).toStdString() == caption) {
                return List()->topLevelItem(i);
            }
        }
        return nullptr;
    }
    std::vector<std::string> Captions() {
        std::vector<std::string> out;
        for (int i = 0; i < List()->topLevelItemCount(); ++i) {
            out.push_back(List()->topLevelItem(i)->text(0).toStdString());
        }
        return out;
    }
    std::vector<std::string> Messages() {
        std::vector<std::string> out;
        for (const auto& m : dialogs.Messages()) {
            out.push_back(m.text);
        }
        return out;
    }
    void Trigger(const char* action) { form->findChild<QAction*>(QLatin1String(action))->trigger(); }

    test::SandboxRoot root;
    test::ScriptedDialogs dialogs;
    test::FixedClock clock{{2024, 3, 7, 18, 5, 9}};
    std::unique_ptr<TMainForm> form;
};

} // namespace

TEST(MainFormChanges, TheCheckBoxMarksTheRecordAndClosingAsksFirst) {
    Window w;
    w.Open();
    w.Row("Good")->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(w.form->Items().Items[0]->State, ItemState::Disabled);
    EXPECT_TRUE(HasPendingChanges(w.form->Items()));

    w.dialogs.Answer(DialogResult::No);
    EXPECT_FALSE(w.form->close()); // refused: the changes stay
    EXPECT_TRUE(w.form->isVisible());
    EXPECT_THAT(w.Messages(), ElementsAre(std::string(kDiscardAndExitQuestion)));

    w.Row("Good")->setCheckState(0, Qt::Checked); // toggled back: nothing pending
    EXPECT_FALSE(HasPendingChanges(w.form->Items()));
    EXPECT_TRUE(w.form->close());
    EXPECT_EQ(w.dialogs.Messages().size(), 1u); // no second question
}

TEST(MainFormChanges, RefreshAsksBeforeItDropsChanges) {
    Window w;
    w.Open();
    w.Row("Good")->setCheckState(0, Qt::Unchecked);
    auto* refresh = w.form->findChild<QObject*>(QStringLiteral("ToolButtonRefresh"));
    ASSERT_NE(refresh, nullptr);
    w.dialogs.Answer(DialogResult::No);
    QMetaObject::invokeMethod(refresh, "click");
    EXPECT_EQ(w.form->Items().Items[0]->State, ItemState::Disabled);
    w.dialogs.Answer(DialogResult::Yes);
    QMetaObject::invokeMethod(refresh, "click");
    EXPECT_EQ(w.form->Items().Items[0]->State, ItemState::Enabled);
    EXPECT_THAT(w.Messages(), ElementsAre(std::string(kDiscardAndRefreshQuestion),
                                          std::string(kDiscardAndRefreshQuestion)));
}

TEST(MainFormChanges, DeletingARowRemovesOnlyThatRow) {
    Window w;
    w.Open();
    w.form->findChild<QPushButton*>(QStringLiteral("ButtonDelete"))->setEnabled(true);
    w.form->findChild<QPushButton*>(QStringLiteral("ButtonDelete"))->click();
    EXPECT_THAT(w.Messages(), ElementsAre("Please select an item."));
    w.form->SelectRow("Gone"); // its cell reads "[Invalid Path]C:\Gone\gone.exe"
    w.form->findChild<QPushButton*>(QStringLiteral("ButtonDelete"))->click();
    EXPECT_THAT(w.Captions(), ElementsAre("Good", "Bad"));
    EXPECT_EQ(w.form->Items().Items[2]->State, ItemState::Deleted);
}

TEST(MainFormChanges, BulkDeletesShowEverythingOrSayThereWasNothing) {
    Window w;
    w.Open();
    w.Trigger("MenuDeleteDisabled");
    EXPECT_THAT(w.Messages(), ElementsAre("No disabled startup item is found."));
    w.Trigger("MenuDeleteHarmful");
    EXPECT_THAT(w.Captions(), ElementsAre("Good", "Gone"));
    EXPECT_EQ(w.form->SelectedNodePosition(), 0);
    w.Trigger("MenuDeleteHarmful"); // the deleted record still counts: no message, the list is rebuilt
    w.Trigger("MenuDeleteInvaild");
    EXPECT_THAT(w.Captions(), ElementsAre("Good"));
    EXPECT_EQ(w.Messages().size(), 1u);
}

TEST(MainFormChanges, ABackupLoadsAsPendingChanges) {
    Window w;
    w.Open();
    WriteBackup("C:\\saved.qbk", w.form->Items(), w.form->Services());
    w.form->LoadBackupFile("C:\\saved.qbk");
    EXPECT_THAT(w.Captions(), ElementsAre("Good", "Bad", "Gone")); // the backup's entries, as additions
    EXPECT_EQ(w.form->Items().Items.size(), 6u);
    EXPECT_TRUE(HasPendingChanges(w.form->Items()));
}

TEST(BackupDialog, ListsCreatesLoadsAndDeletesBackups) {
    Window w;
    w.Open();
    TDlgBackup* dialog = w.form->BackupDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Backup & Restore");
    dialog->FormShow();
    EXPECT_TRUE(dialog->Rows().empty());

    const auto click = [&](const char* name) {
        dialog->findChild<QPushButton*>(QLatin1String(name))->click();
    };
    w.dialogs.ChooseFile("C:\\later");
    click("SnButtonNew");
    w.clock.time.hour = 9; // an earlier time, written later
    w.dialogs.ChooseFile("C:\\earlier.qbk");
    click("SnButtonNew");
    click("SnButtonNew"); // cancelled: nothing written, the list still rebuilt
    ASSERT_EQ(dialog->Rows().size(), 2u);
    EXPECT_EQ(w.dialogs.FileDialogs().front().filter, "Quillbrook Backup Files (*.qbk)|*.QBK");
    dialog->FormShow(); // opening sorts by time
    EXPECT_EQ(dialog->Rows()[0].filePath, "C:\\earlier.qbk");
    EXPECT_EQ(dialog->Rows()[1].filePath, "C:\\later.qbk");
    auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("ListViewBackup"));
    EXPECT_EQ(list->topLevelItem(1)->text(2), "3");

    click("SnButtonLoad");
    click("SnButtonView");
    list->setCurrentItem(list->topLevelItem(0));
    std::filesystem::remove(w.root.Host("C:\\earlier.qbk"));
    click("SnButtonLoad");
    click("SnButtonView");
    EXPECT_TRUE(dialog->ChosenFile().empty());
    list->setCurrentItem(list->topLevelItem(1));
    click("SnButtonLoad");
    EXPECT_EQ(dialog->ChosenFile(), "C:\\later.qbk");
    EXPECT_THAT(w.Messages(), ElementsAre("Please select an item.", "Please select a file.",
                                          "Backup file not exist.", "Backup file not exist."));

    list->setCurrentItem(list->topLevelItem(0));
    click("SnButtonDelete"); // its file is gone already; the entry goes anyway
    ASSERT_EQ(dialog->Rows().size(), 1u);
    w.dialogs.Answer(DialogResult::No);
    click("SnButtonDeleteAll");
    EXPECT_EQ(dialog->Rows().size(), 1u);
    w.dialogs.Answer(DialogResult::Yes);
    click("SnButtonDeleteAll");
    EXPECT_TRUE(dialog->Rows().empty());
    EXPECT_FALSE(w.root.Services().files.FileExists("C:\\later.qbk"));
}

} // namespace qb
