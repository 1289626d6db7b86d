// What the main window shows: the tree's filter, the information pane, the columns, the status bar and
// the title, the size of the first window and what is kept between runs.
#include "app/t_dlg_apply.h"
#include "app/t_dlg_backup.h"
#include "app/t_form_add.h"
#include "app/window_settings.h"
#include "main_window_fixture.h"
#include "support/paths.h"
#include "support/sandbox_root.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>
#include <QToolTip>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace qb {

using ::testing::ElementsAre;

namespace {

using namespace test::paths;

// One entry in each of four places; Tool runs.
void FillMachine(test::SandboxRoot& root) {
    root.File("C:\\Apps\\agent.exe")
        .File("C:\\Apps\\tool.exe")
        .File(kTool + "\\infotpl.dat",
              "<html><body><p><!--name--></p><p><!--path--></p><p><!--locate--></p>"
              "<p><!--rate--></p><p><!--comment--></p><p><!--Memory--></p></body></html>")
        .File(kTool + "\\mess.htm", "<html><body>Welcome</body></html>")
        .Value(HKLM, CV + "Run", "Agent", "C:\\Apps\\agent.exe /q")
        .Value(HKLM, CV + "RunOnceEx", "Setup", "C:\\Apps\\agent.exe /setup")
        .Value(HKCU, CV + "Run", "Tool", "C:\\Apps\\tool.exe")
        .Value(HKCU, CV + "RunOnce", "Once", "C:\\Apps\\agent.exe /once")
        .Processes("900\ttool.exe\t3670016\t4194304\n");
}

// The pane's text for a page of the machine's template.
QString Page(const char* name, const char* command, const char* location, const char* memory) {
    return QString::fromUtf8(name) + "\n" + command + "\n" + location + "\nUnknown\nUnknown Application\n" +
           memory;
}

constexpr const char* kNotRunning = "N/A (This program is not running)";

} // namespace

TEST(MainFormTree, AClickAnywhereOnANodesLabelFiltersAndSoDoTheArrowKeys) {
    test::SandboxRoot root;
    FillMachine(root);
    test::MainWindow w(root.System());
    ASSERT_THAT(w.Captions(), ElementsAre("Agent", "Setup", "Tool", "Once"));

    // The last letters of a label, where a click used to highlight the node and leave the list alone.
    const struct {
        const char* node;
        int occurrence;
        std::vector<std::string> rows;
    } clicks[] = {
        {"RunOnceEx", 0, {"Setup"}}, {"Run", 1, {"Tool"}}, // Current User › Registry › Run
        {"Run", 0, {"Agent"}},       {"Current User", 0, {"Tool", "Once"}},
        {"RunOnce", 1, {"Once"}},
    };
    for (const auto& click : clicks) {
        SCOPED_TRACE(click.node);
        w.ClickNodeLabelEnd(QString::fromUtf8(click.node), click.occurrence);
        EXPECT_EQ(w.Tree()->currentItem(), w.Node(QString::fromUtf8(click.node), click.occurrence));
        EXPECT_EQ(w.Captions(), click.rows);
    }

    // The arrow keys walk the tree and the list follows: RunOnce (Current User) -> RunOnceEx -> RunOnce.
    w.Tree()->setFocus();
    QTest::keyClick(w.Tree(), Qt::Key_Down);
    EXPECT_EQ(w.Tree()->currentItem(), w.Node("RunOnceEx", 1));
    EXPECT_TRUE(w.Captions().empty());
    QTest::keyClick(w.Tree(), Qt::Key_Up);
    QTest::keyClick(w.Tree(), Qt::Key_Up);
    EXPECT_EQ(w.Tree()->currentItem(), w.Node("Run", 1));
    EXPECT_THAT(w.Captions(), ElementsAre("Tool"));

    // The empty rest of a node's line neither highlights it nor filters.
    QTreeWidgetItem* allUsers = w.Node("All Users");
    const QRect line = w.Tree()->visualItemRect(allUsers);
    QTest::mouseClick(w.Tree()->viewport(), Qt::LeftButton, {}, QPoint(line.right() - 2, line.center().y()));
    EXPECT_EQ(w.Tree()->currentItem(), w.Node("Run", 1));
    EXPECT_THAT(w.Captions(), ElementsAre("Tool"));
    // Its expand button still folds it, and the list stays.
    QTest::mouseClick(w.Tree()->viewport(), Qt::LeftButton, {},
                      QPoint(line.left() - w.Tree()->indentation() / 2, line.center().y()));
    EXPECT_FALSE(allUsers->isExpanded());
    EXPECT_THAT(w.Captions(), ElementsAre("Tool"));
}

TEST(MainFormTree, TheWindowOpensOnAllProgramsWithTheKeysInTheListAndAllProgramsStaysOpen) {
    test::SandboxRoot root;
    FillMachine(root);
    test::MainWindow w(root.System());
    QTreeWidgetItem* all = w.Node("All Programs");
    EXPECT_EQ(w.Tree()->currentItem(), all);
    EXPECT_TRUE(all->isSelected());
    EXPECT_EQ(QApplication::focusWidget(), w.List());
    QTest::keyClick(w.List(), Qt::Key_Down);
    EXPECT_THAT(w.SelectedCaptions(), ElementsAre("Agent"));

    // Left on All Programs, and a double click on it, fold nothing: every place stays in sight.
    w.ClickNode("All Programs");
    w.Tree()->setFocus();
    QTest::keyClick(w.Tree(), Qt::Key_Left);
    const QRect line = w.Tree()->visualItemRect(all);
    QTest::mouseDClick(w.Tree()->viewport(), Qt::LeftButton, {}, QPoint(line.left() + 25, line.center().y()));
    EXPECT_TRUE(all->isExpanded());
    EXPECT_EQ(w.Tree()->currentItem(), all);
    EXPECT_FALSE(w.Node("Current User")->isHidden());
    EXPECT_GT(w.Tree()->visualItemRect(w.Node("Current User")).height(), 0);
    EXPECT_THAT(w.Captions(), ElementsAre("Agent", "Setup", "Tool", "Once"));
}

TEST(MainFormPane, ThePaneShowsTheSelectedRowAsItIsNowOrTheWelcomePage) {
    test::SandboxRoot root;
    FillMachine(root);
    test::MainWindow w(root.System());
    EXPECT_EQ(w.PaneText(), "Welcome");
    w.SelectRow("Agent");
    EXPECT_EQ(w.PaneText(), Page("Agent", "C:\\Apps\\agent.exe /q", "All Users\\Registry\\Run", kNotRunning));

    // Renamed in the editor: the page names it by its new name.
    TFormAdd* editor = w.form->EntryEditor();
    QTimer::singleShot(0, editor, [editor] {
        auto* name = editor->findChild<QLineEdit*>(QStringLiteral("EditName"));
        name->selectAll();
        QTest::keyClicks(name, QStringLiteral("Agent Two"));
        test::Press(editor->findChild<QPushButton*>(QStringLiteral("ButtonOK")));
    });
    w.Press("ButtonEdit");
    EXPECT_THAT(w.SelectedCaptions(), ElementsAre("Agent Two"));
    EXPECT_EQ(w.PaneText(),
              Page("Agent Two", "C:\\Apps\\agent.exe /q", "All Users\\Registry\\Run", kNotRunning));

    // A filter change, Refresh: no row is selected any more, so the welcome page.
    w.Press("RadioRating5");
    EXPECT_TRUE(w.SelectedCaptions().empty());
    EXPECT_EQ(w.PaneText(), "Welcome");
    w.SelectRow("Tool");
    EXPECT_EQ(w.PaneText(), Page("Tool", "C:\\Apps\\tool.exe", "Current User\\Registry\\Run",
                                 "3.5 MB / 4 MB (Current / Peak)"));
    w.scripted.Answer(DialogResult::Yes); // drop the rename
    w.Press("ToolButtonRefresh");
    EXPECT_EQ(w.PaneText(), "Welcome");

    // Stop: the program has ended, the row stays selected and its page says so.
    w.SelectRow("Tool");
    w.scripted.Answer(DialogResult::Yes);
    w.Press("SnButtonClose");
    EXPECT_THAT(w.SelectedCaptions(), ElementsAre("Tool"));
    EXPECT_EQ(w.PaneText(), Page("Tool", "C:\\Apps\\tool.exe", "Current User\\Registry\\Run", kNotRunning));

    // About shows the welcome page: then no row is selected, and a click on the row shows its page again.
    w.scripted.Answer(DialogResult::Ok);
    w.Press("ToolButtonAbout");
    EXPECT_TRUE(w.SelectedCaptions().empty());
    EXPECT_FALSE(w.Find<QPushButton>("ButtonDelete")->isEnabled());
    EXPECT_EQ(w.PaneText(), "Welcome");
    w.SelectRow("Tool");
    EXPECT_EQ(w.PaneText(), Page("Tool", "C:\\Apps\\tool.exe", "Current User\\Registry\\Run", kNotRunning));
}

TEST(MainFormList, DeleteLeavesNoRowSelected) {
    test::SandboxRoot root;
    FillMachine(root);
    test::MainWindow w(root.System());
    w.SelectRow("Agent");
    w.Press("ButtonDelete");
    EXPECT_THAT(w.CaptionsAndChanges(), ElementsAre("~Agent|Delete", "Setup|", "Tool|", "Once|"));
    EXPECT_TRUE(w.SelectedCaptions().empty());
    EXPECT_FALSE(w.Find<QPushButton>("ButtonDelete")->isEnabled()); // a second quick click marks nothing
    EXPECT_EQ(w.PaneText(), "Welcome");
    EXPECT_EQ(w.form->Items().Items[1]->State, ItemState::Enabled);
}

TEST(MainFormList, ChangedRowsTitleAndStatusBarShowWhatIsNotApplied) {
    test::SandboxRoot root;
    FillMachine(root);
    test::MainWindow w(root.System());
    EXPECT_EQ(w.form->windowTitle(), "Quillbrook");
    EXPECT_EQ(w.StatusText(), "4 of 4 entries shown|");

    test::ClickCheckBox(w.List(), w.Row("Tool"));
    EXPECT_EQ(w.form->windowTitle(), "Quillbrook *");
    EXPECT_EQ(w.StatusText(), "4 of 4 entries shown|1 change not applied");
    std::vector<bool> bold;
    for (int i = 0; i < w.RowCount(); ++i) {
        bold.push_back(w.RowAt(i).font(0).bold());
    }
    EXPECT_THAT(bold, ElementsAre(false, false, true, false));
    // The changed row's tooltip names the change.
    const QRect toolRect = w.List()->visualRect(w.Row("Tool"));
    const QPoint at(w.List()->header()->sectionViewportPosition(2) + 4, toolRect.center().y());
    QHelpEvent help(QEvent::ToolTip, at, w.List()->viewport()->mapToGlobal(at));
    QApplication::sendEvent(w.List()->viewport(), &help);
    EXPECT_EQ(QToolTip::text(), "Not applied yet: Disable\nRight click for more operation.");

    w.SelectRow("Setup");
    w.Press("ButtonDelete");
    w.ClickNodeLabelEnd("Current User");
    EXPECT_EQ(w.StatusText(), "2 of 3 entries shown|2 changes not applied");

    test::PressSpaceOn(w.List(), w.Row("Tool")); // ticked again
    EXPECT_EQ(w.StatusText(), "2 of 3 entries shown|1 change not applied");
    EXPECT_FALSE(w.Row("Tool").font(0).bold());
    EXPECT_EQ(w.form->windowTitle(), "Quillbrook *");
}

TEST(MainFormList, TheUnnamedValueIsCalledDefault) {
    test::SandboxRoot root;
    FillMachine(root);
    root.Value(HKCU, CV + "Run", "", "C:\\Apps\\agent.exe /default");
    test::MainWindow w(root.System());
    EXPECT_THAT(w.Captions(), ElementsAre("Agent", "Setup", "Tool", "(Default)", "Once"));
    // Still the same record behind it: its check box marks it.
    test::ClickCheckBox(w.List(), w.Row("(Default)"));
    EXPECT_EQ(w.form->Items().Items[3]->Name, "");
    EXPECT_EQ(w.form->Items().Items[3]->State, ItemState::Disabled);
}

namespace {

// Add opens the editor; "Newcomer" for C:\Apps\tool.exe is typed in and OK pressed.
void AddNewcomer(test::MainWindow& w) {
    TFormAdd* editor = w.form->EntryEditor();
    QTimer::singleShot(0, editor, [editor] {
        auto* name = editor->findChild<QLineEdit*>(QStringLiteral("EditName"));
        name->selectAll();
        QTest::keyClicks(name, QStringLiteral("Newcomer"));
        QTest::keyClicks(editor->findChild<QLineEdit*>(QStringLiteral("EditPath")),
                         QStringLiteral("C:\\Apps\\tool.exe"));
        test::Press(editor->findChild<QPushButton*>(QStringLiteral("ButtonOK")));
    });
    w.Press("ButtonAdd");
}

} // namespace

TEST(MainFormList, ANewEntryIsSelectedAndInSight) {
    test::SandboxRoot root;
    FillMachine(root);
    for (int i = 0; i < 60; ++i) {
        root.Value(HKCU, CV + "Run", "Filler " + std::to_string(100 + i),
                   "C:\\Apps\\tool.exe /n" + std::to_string(i));
    }
    test::MainWindow w(root.System());
    AddNewcomer(w);
    EXPECT_THAT(w.SelectedCaptions(), ElementsAre("Newcomer"));
    const QRect shown = w.List()->visualRect(w.Row("Newcomer"));
    EXPECT_TRUE(w.List()->viewport()->rect().contains(shown)) << "the new row is out of sight";
    EXPECT_EQ(w.PaneText(),
              Page("Newcomer", "C:\\Apps\\tool.exe", "Current User\\Registry\\Run", kNotRunning));
}

// A new entry is shown under whatever node is selected, so that the user sees what was added; the next
// filter lists what the node lists.
TEST(MainFormList, ANewEntryShowsUnderAnyNodeUntilTheListIsFilteredAgain) {
    test::SandboxRoot root;
    FillMachine(root);
    test::MainWindow w(root.System());
    w.ClickNodeLabelEnd("RunOnceEx");
    ASSERT_THAT(w.Captions(), ElementsAre("Setup"));
    AddNewcomer(w);
    EXPECT_THAT(w.Captions(), ElementsAre("Setup", "Newcomer"));
    EXPECT_THAT(w.SelectedCaptions(), ElementsAre("Newcomer"));
    w.ClickNodeLabelEnd("RunOnceEx"); // the same node again
    EXPECT_THAT(w.Captions(), ElementsAre("Setup"));
    w.ClickNodeLabelEnd("Run", 1); // Current User › Registry › Run, where it was added
    EXPECT_THAT(w.Captions(), ElementsAre("Tool", "Newcomer"));
}

} // namespace qb

namespace qb {

namespace {

// The widths a cell needs to show its whole text.
int NeededWidth(QTreeView* list, const QModelIndex& index) {
    QStyleOptionViewItem option;
    option.initFrom(list);
    option.widget = list;
    const QVariant font = index.data(Qt::FontRole);
    option.font = font.isValid() ? font.value<QFont>() : list->font();
    option.decorationSize = QSize(16, 16);
    return list->itemDelegate()->sizeHint(option, index).width();
}

std::vector<std::string> CutCells(QTreeView* list, std::initializer_list<int> columns) {
    std::vector<std::string> cut;
    for (int i = 0; i < list->model()->rowCount(); ++i) {
        for (const int column : columns) {
            const QModelIndex index = list->model()->index(i, column);
            if (NeededWidth(list, index) > list->columnWidth(column)) {
                cut.push_back(index.data().toString().toStdString());
            }
        }
    }
    return cut;
}

int TotalWidth(QTreeView* list) {
    int total = 0;
    for (int column = 0; column < list->model()->columnCount(); ++column) {
        total += list->columnWidth(column);
    }
    return total;
}

} // namespace

TEST(MainFormColumns, TheColumnsShareTheListsWidthAndCutCellsShowTheirTextInTheTooltip) {
    test::DemoMachine demo;
    test::MainWindow w(demo.System());
    w.form->resize(1450, 900);
    QApplication::processEvents();
    QTreeView* list = w.List();
    ASSERT_GT(w.RowCount(), 5);
    EXPECT_EQ(TotalWidth(list), list->viewport()->width());
    // At this size nothing is cut off, the titles included.
    EXPECT_TRUE(CutCells(list, {0, 1, 2, 3, 4}).empty())
        << ::testing::PrintToString(CutCells(list, {0, 1, 2, 3, 4}));
    for (int column = 0; column < list->model()->columnCount(); ++column) {
        EXPECT_GE(list->columnWidth(column), list->header()->sectionSizeHint(column)) << column;
    }

    // Narrow: the columns still fill the list, names and places stay whole, long commands give way and
    // their tooltip shows them whole.
    w.form->resize(1100, 700);
    QApplication::processEvents();
    EXPECT_EQ(TotalWidth(list), list->viewport()->width());
    EXPECT_TRUE(CutCells(list, {0, 3, 4}).empty()) << ::testing::PrintToString(CutCells(list, {0, 3, 4}));
    QModelIndex longest;
    for (int i = 0; i < w.RowCount(); ++i) {
        const QModelIndex command = w.RowAt(i).Index(1);
        if (!longest.isValid() || NeededWidth(list, command) > NeededWidth(list, longest)) {
            longest = command;
        }
    }
    ASSERT_GT(NeededWidth(list, longest), list->columnWidth(1)) << "no command is cut at this width";
    const QPoint at(list->header()->sectionViewportPosition(1) + 10, list->visualRect(longest).center().y());
    QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &help);
    EXPECT_EQ(QToolTip::text(), longest.data().toString() + "\nRight click for more operation.");
    // A cell shown whole keeps the plain hint.
    const QPoint rating(list->header()->sectionViewportPosition(3) + 4, at.y());
    QHelpEvent plain(QEvent::ToolTip, rating, list->viewport()->mapToGlobal(rating));
    QApplication::sendEvent(list->viewport(), &plain);
    EXPECT_EQ(QToolTip::text(), "Right click for more operation.");
}

// A changed row is drawn in bold, which is wider: the columns make room for it.
TEST(MainFormColumns, ARowInBoldIsCutNoMoreThanItWasBefore) {
    test::DemoMachine demo;
    test::MainWindow w(demo.System());
    QApplication::processEvents();
    QTreeView* list = w.List();
    const auto before = CutCells(list, {0, 2, 3, 4});
    for (int i = 0; i < w.RowCount(); ++i) {
        test::ClickCheckBox(list, w.RowAt(i));
    }
    ASSERT_TRUE(w.RowAt(0).font(0).bold());
    EXPECT_EQ(CutCells(list, {0, 2, 3, 4}), before);
}

// The columns' menu of a right click on their titles: a check mark for each shown column, Program Name
// always there; what the user leaves hidden stays hidden at the next start.
TEST(MainFormColumns, TheTitlesMenuHidesAndShowsColumnsAndTheNextStartKeepsThem) {
    test::DemoMachine demo;
    const auto menuState = [](QMenu* menu) {
        std::vector<std::string> state;
        for (QAction* action : menu->actions()) {
            state.push_back(action->text().toStdString() + (action->isChecked() ? " on" : " off") +
                            (action->isEnabled() ? "" : " fixed"));
        }
        return state;
    };
    {
        test::MainWindow w(demo.System());
        auto* menu = w.Find<QMenu>("PopupMenuColumns");
        test::RightClickHeader(w.List(), 2);
        ASSERT_TRUE(menu->isVisible());
        EXPECT_THAT(menuState(menu), ElementsAre("Program Name on fixed", "Command Path on", "Location on",
                                                 "Rating on", "Memory on", "Change on"));
        test::ChooseMenuItem(menu, "MenuColumnLocation");
        EXPECT_THAT(w.ShownTitles(),
                    ElementsAre("Program Name", "Command Path", "Rating", "Memory", "Change"));
        test::RightClickHeader(w.List(), 4);
        test::ChooseMenuItem(menu, "MenuColumnMemory");
        EXPECT_THAT(w.ShownTitles(), ElementsAre("Program Name", "Command Path", "Rating", "Change"));
        // The columns in sight still share the list's whole width.
        QApplication::processEvents();
        EXPECT_EQ(TotalWidth(w.List()), w.List()->viewport()->width());
        EXPECT_TRUE(w.form->close());
    }
    demo.Reopen();
    test::MainWindow again(demo.System());
    EXPECT_THAT(again.ShownTitles(), ElementsAre("Program Name", "Command Path", "Rating", "Change"));
    auto* menu = again.Find<QMenu>("PopupMenuColumns");
    test::RightClickHeader(again.List(), 1);
    EXPECT_THAT(menuState(menu), ElementsAre("Program Name on fixed", "Command Path on", "Location off",
                                             "Rating on", "Memory off", "Change on"));
    test::ChooseMenuItem(menu, "MenuColumnLocation");
    EXPECT_THAT(again.ShownTitles(),
                ElementsAre("Program Name", "Command Path", "Location", "Rating", "Change"));
    // A sort by a column keeps working after the columns moved in sight.
    test::ClickHeader(again.List(), 2);
    EXPECT_EQ(again.HeaderText(2), QString::fromUtf8("Location \u25B2"));
}

TEST(MainFormColumns, TheBackupAndApplyDialogsShowTheirTextsWhole) {
    test::SandboxRoot root;
    FillMachine(root);
    const std::string longCommand =
        "C:\\Apps\\agent.exe /config "
        "\"C:\\Users\\User\\AppData\\Roaming\\Agent\\settings-for-every-day.ini\"";
    root.Value(HKCU, CV + "Run", "Long", longCommand);
    test::MainWindow w(root.System());
    const std::string longFile =
        kTool + "\\backup\\the-startup-list-before-the-new-printer-was-installed.qbk";

    TDlgBackup* backup = w.form->BackupDialog();
    auto* backupList = backup->findChild<QTreeWidget*>(QStringLiteral("ListViewBackup"));
    w.scripted.ChooseFile(longFile);
    QTimer::singleShot(0, backup, [&] {
        test::Press(backup->findChild<QPushButton*>(QStringLiteral("SnButtonNew")));
        backup->reject();
    });
    w.Press("ToolButtonBackup");
    // The dialog keeps its size while it is used: the next opening makes room for the new name.
    QTimer::singleShot(0, backup, [&] {
        EXPECT_TRUE(CutCells(backupList, {0, 1, 2}).empty())
            << ::testing::PrintToString(CutCells(backupList, {0, 1, 2}));
        EXPECT_LE(backupList->header()->length(), backupList->viewport()->width()); // no scrolling sideways
        backup->reject();
    });
    w.Press("ToolButtonBackup");
    ASSERT_EQ(backupList->topLevelItemCount(), 1);
    EXPECT_EQ(backupList->topLevelItem(0)->text(1).toStdString(), longFile);

    test::ClickCheckBox(w.List(), w.Row("Long"));
    TDlgApply* apply = w.form->ApplyDialog();
    QTimer::singleShot(0, apply, [&] {
        auto* changes = apply->findChild<QTreeWidget*>(QStringLiteral("SnListViewChanges"));
        ASSERT_EQ(changes->topLevelItemCount(), 1);
        EXPECT_EQ(changes->topLevelItem(0)->text(2).toStdString(), longCommand);
        EXPECT_TRUE(CutCells(changes, {0, 1, 2, 3, 4}).empty());
        // No scrolling sideways, and no more room than the columns and a scroll bar's width.
        EXPECT_LE(changes->header()->length(), changes->viewport()->width());
        EXPECT_LE(changes->viewport()->width() - changes->header()->length(),
                  changes->verticalScrollBar()->sizeHint().width());
        apply->reject();
    });
    w.Press("ToolButtonApply");
}

// A view shows or hides its scroll bars in a layout pass it runs later: let those passes run (a scroll
// bar that is needed stays), for at most half a second.
static void SettleScrollBars(QAbstractScrollArea& view) {
    for (int pass = 0; pass < 50 && view.verticalScrollBar()->isVisible(); ++pass) {
        QTest::qWait(10);
    }
}

TEST(MainFormSize, TheFirstWindowTakesTwoThirdsOfTheScreenOrWhatItsContentNeedsAndShowsTheWholeTree) {
    test::DemoMachine demo;
    test::MainWindow w(demo.System());
    QApplication::processEvents(); // it grows to its content once the first layout is done
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(w.form->height(), screen.height() * 2 / 3);
    EXPECT_GE(w.form->width(), screen.width() * 2 / 3);
    EXPECT_LE(w.form->width(), screen.width());
    EXPECT_LE((w.form->geometry().center() - screen.center()).manhattanLength(), 2); // centred
    // Wider than two thirds only as far as the columns need, in bold as a change shows them.
    for (int i = 0; i < w.RowCount(); ++i) {
        test::ClickCheckBox(w.List(), w.RowAt(i));
    }
    EXPECT_EQ(CutCells(w.List(), {0, 2, 3, 4, 5}), std::vector<std::string>{});
    SettleScrollBars(*w.Tree());
    EXPECT_FALSE(w.Tree()->verticalScrollBar()->isVisible());
    QTreeWidgetItemIterator node(w.Tree());
    int nodes = 0;
    for (; *node; ++node, ++nodes) {
        EXPECT_TRUE(w.Tree()->viewport()->rect().contains(w.Tree()->visualItemRect(*node)))
            << (*node)->text(0).toStdString();
    }
    EXPECT_GE(nodes, 19);

    // Shorter: the pictures below the filter give way before the tree scrolls.
    w.form->resize(w.form->width(), 620);
    SettleScrollBars(*w.Tree());
    EXPECT_FALSE(w.Tree()->verticalScrollBar()->isVisible());
    EXPECT_FALSE(w.Find<QLabel>("ImageTell")->isVisible());
}

TEST(MainFormSize, SizePlaceSplittersAndColumnsAreKeptBetweenRuns) {
    test::DemoMachine demo;
    QList<int> side, lower;
    std::vector<int> columns;
    {
        test::MainWindow w(demo.System());
        w.form->setGeometry(60, 50, 1200, 800);
        QApplication::processEvents();
        // Drag the splitter beside the tree 40 pixels right, and widen the name column by 30.
        auto* sideSplitter = w.Find<QSplitter>("SplitterSide");
        QSplitterHandle* handle = sideSplitter->handle(1);
        const QPoint grip = handle->rect().center();
        QTest::mousePress(handle, Qt::LeftButton, {}, grip);
        QTest::mouseMove(handle, grip + QPoint(40, 0));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, grip + QPoint(40, 0));
        QHeaderView* header = w.List()->header();
        const int edge = header->sectionViewportPosition(0) + header->sectionSize(0) - 1;
        const int nameWidth = header->sectionSize(0);
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(edge, 5));
        QTest::mouseMove(header->viewport(), QPoint(edge + 30, 5));
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(edge + 30, 5));
        EXPECT_EQ(header->sectionSize(0), nameWidth + 30);
        side = sideSplitter->sizes();
        lower = w.Find<QSplitter>("SplitterList")->sizes();
        for (int column = 0; column < 5; ++column) {
            columns.push_back(header->sectionSize(column));
        }
        EXPECT_TRUE(w.form->close());
    }
    const WindowSettings stored = ReadWindowSettings(demo.System().Services().registry);
    ASSERT_TRUE(stored.placement.has_value());
    EXPECT_EQ(*stored.placement, (WindowSettings::Placement{60, 50, 1200, 800, false}));

    demo.Reopen();
    test::MainWindow again(demo.System());
    QApplication::processEvents();
    EXPECT_EQ(again.form->geometry(), QRect(60, 50, 1200, 800));
    EXPECT_EQ(again.Find<QSplitter>("SplitterSide")->sizes(), side);
    EXPECT_EQ(again.Find<QSplitter>("SplitterList")->sizes(), lower);
    std::vector<int> shown;
    for (int column = 0; column < 5; ++column) {
        shown.push_back(again.List()->header()->sectionSize(column));
    }
    EXPECT_EQ(shown, columns);
}

} // namespace qb
