#include "app/t_main_form.h"
#include "inventory/process_scan.h"
#include "support/paths.h"
#include "support/process_guard.h"
#include "support/recording_fakes.h"
#include "support/sandbox_root.h"
#include "window_driver.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <thread>

namespace qb {

using ::testing::ElementsAre;

namespace {

using namespace test::paths;

class RecordingDesktop : public sandbox::DesktopHandoff {
public:
    bool Open(std::string_view target) override {
        opened.emplace_back(target);
        return true;
    }
    bool ShowProperties(std::string_view windowsPath, const std::filesystem::path&) override {
        properties.emplace_back(windowsPath);
        return true;
    }
    std::vector<std::string> opened, properties;
};

// A machine with one entry in most places, and the window on it.
struct Window {
    Window() {
        root.File("C:\\Apps\\agent.exe")
            .File("C:\\Apps\\tool.exe")
            .File("C:\\Apps\\runner.exe")
            .File("C:\\Program Files\\Quillbrook\\infotpl.dat",
                  "<html><body><!--name--> <!--Memory--></body></html>")
            .File("C:\\Program Files\\Quillbrook\\mess.htm", "<html><body>Start</body></html>")
            .Value(HKLM, CV + "Run", "Agent", "C:\\Apps\\agent.exe /q")
            .Value(HKLM, CV + "Run", "Broken", "C:\\Gone\\broken.exe")
            .Value(HKLM, CV + "RunServices", "Service", "C:\\Apps\\tool.exe")
            .Value(HKLM, CV + "Policies\\Explorer\\Run", "Hidden", "C:\\Apps\\tool.exe")
            .Value(HKCU, CV + "Run", "Tool", "C:\\Apps\\runner.exe")
            .Processes("900\trunner.exe\t3670016\t4194304\n");
    }
    void Open() {
        root.System().SetDialogs(dialogs);
        root.System().SetDesktop(desktop);
        const sandbox::PathMap& map = root.System().Paths();
        PathMapping paths{[&map](std::string_view w) -> std::optional<std::string> {
                              auto h = map.ToHost(w);
                              return h ? std::optional(h->string()) : std::nullopt;
                          },
                          [&map](std::string_view l) { return map.ToWindows(l); }};
        form = std::make_unique<TMainForm>(root.Services(), paths);
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    template <typename T> T* Find(const char* name) {
        T* widget = form->findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QTreeWidget* List() { return Find<QTreeWidget>("ListViewFix"); }
    std::vector<std::string> Captions() {
        std::vector<std::string> out;
        for (int i = 0; i < List()->topLevelItemCount(); ++i) {
            out.push_back(List()->topLevelItem(i)->text(0).toStdString());
        }
        return out;
    }
    QTreeWidgetItem* Row(const std::string& caption) {
        for (int i = 0; i < List()->topLevelItemCount(); ++i) {
            if (List()->topLevelItem(i)->text(0).toStdString() == caption) {
                return List()->topLevelItem(i);
            }
        }
        ADD_FAILURE() << "no row " << caption;
        return nullptr;
    }
    // A click on the row, as a person selects it.
    void SelectRow(const std::string& caption) { test::ClickRow(List(), Row(caption)); }
    void Press(const char* name) { test::Press(Find<QAbstractButton>(name)); }
    void Choose(const char* action, const std::string& row) {
        test::RightClick(List(), Row(row));
        test::ChooseMenuItem(Find<QMenu>("SnPopupMenuStartup"), action);
    }
    // A mouse release over the label of the tree node with this caption (the first one).
    void ClickNode(const QString& caption, int occurrence = 0) {
        QTreeWidget* tree = Find<QTreeWidget>("TreeViewMain");
        const auto items = tree->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_GT(items.size(), occurrence);
        const QRect rect = tree->visualItemRect(items[occurrence]);
        const QPoint point(rect.left() + 25, rect.center().y());
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, point);
    }
    std::vector<std::string> Messages() {
        std::vector<std::string> out;
        for (const auto& m : dialogs.Messages()) {
            out.push_back(m.text);
        }
        return out;
    }

    test::SandboxRoot root;
    test::ScriptedDialogs dialogs;
    RecordingDesktop desktop;
    std::unique_ptr<TMainForm> form;
};

} // namespace

TEST(TMainForm, StartsWithEveryListedLocationAndTheStartPage) {
    Window w;
    w.Open();
    EXPECT_EQ(w.form->windowTitle(), "Quillbrook");
    EXPECT_THAT(w.Captions(), ElementsAre("Agent", "Broken", "Service", "Tool")); // never Hidden
    EXPECT_EQ(w.form->SelectedNodePosition(), 0);
    EXPECT_EQ(w.Find<QTreeWidget>("TreeViewMain")->selectedItems().size(), 0);
    EXPECT_EQ(w.form->Pane().LastUrl(), "file:///C:\\Program Files\\Quillbrook\\mess.htm");
    EXPECT_TRUE(std::filesystem::is_directory(w.root.Host("C:\\Program Files\\Quillbrook\\backup")));
    QTreeWidgetItem* header = w.List()->headerItem();
    EXPECT_EQ(header->text(0), "Program Name");
    EXPECT_EQ(header->text(4), "Memory");
    // Cells as the list shows them.
    QTreeWidgetItem* broken = w.List()->topLevelItem(1);
    EXPECT_EQ(broken->text(1), "[Invalid Path]C:\\Gone\\broken.exe");
    EXPECT_EQ(broken->foreground(1).color(), QColor(255, 0, 0));
    EXPECT_EQ(broken->checkState(0), Qt::Checked);
    QTreeWidgetItem* tool = w.List()->topLevelItem(3);
    EXPECT_EQ(tool->text(4), "3.5 MB");
    EXPECT_EQ(tool->background(3).color(), QColor(0xF8, 0xFA, 0xF9));
    for (const char* name : {"ToolButtonApply",  "ToolButtonRefresh",  "ToolButtonBackup",  "ToolButtonHelp",
                             "ToolButtonAbout",  "ButtonAdd",          "ButtonEdit",        "ButtonDelete",
                             "ButtonProperties", "ButtonBrowse",       "SnButtonRun",       "SnButtonClose",
                             "RadioButtonGroup", "CppWebBrowserInfo",  "ImageLogo",         "ImageDonate",
                             "ImageTell",        "SnPopupMenuStartup", "MenuDeleteInvaild", "ToolBarMain"}) {
        EXPECT_NE(w.form->findChild<QObject*>(QLatin1String(name)), nullptr) << name;
    }
}

TEST(TMainForm, TheTreeFiltersOnAMouseReleaseOverANodeOnly) {
    Window w;
    w.Open();
    w.ClickNode("Services");
    EXPECT_THAT(w.Captions(), ElementsAre("Service"));
    w.ClickNode("Run", 1); // Current User › Registry › Run
    EXPECT_THAT(w.Captions(), ElementsAre("Tool"));
    // Moving the selection with the keyboard leaves the list as it was.
    QTreeWidget* tree = w.Find<QTreeWidget>("TreeViewMain");
    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_Up);
    EXPECT_THAT(w.Captions(), ElementsAre("Tool"));
    w.ClickNode("All Users");
    EXPECT_THAT(w.Captions(), ElementsAre("Agent", "Broken", "Service"));
}

TEST(TMainForm, TheRatingItemCombinesWithTheNode) {
    Window w;
    w.root.File("C:\\Program Files\\Quillbrook\\st.dat",
                "[Agent]\r\nConfirmed=X\r\n[Tool]\r\nConfirmed=X\r\n");
    w.Open();
    w.Press("RadioRating4"); // Harmful
    EXPECT_THAT(w.Captions(), ElementsAre("Agent", "Tool"));
    EXPECT_EQ(w.List()->topLevelItem(0)->text(3), "Hamful");
    w.ClickNode("All Users");
    EXPECT_THAT(w.Captions(), ElementsAre("Agent"));
    w.Press("RadioRating0");
    EXPECT_THAT(w.Captions(), ElementsAre("Agent", "Broken", "Service"));
}

TEST(TMainForm, SelectingARowShowsItsPageAndSetsStartAndStop) {
    Window w;
    w.Open();
    auto* start = w.Find<QPushButton>("SnButtonRun");
    auto* stop = w.Find<QPushButton>("SnButtonClose");
    auto* edit = w.Find<QPushButton>("ButtonEdit");
    EXPECT_FALSE(start->isEnabled());
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_FALSE(edit->isEnabled());
    w.SelectRow("Agent");
    EXPECT_TRUE(start->isEnabled());
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_TRUE(edit->isEnabled());
    EXPECT_EQ(w.form->Pane().LastUrl(), "file:///C:\\Program Files\\Quillbrook\\info.htm");
    w.SelectRow("Tool"); // running
    EXPECT_FALSE(start->isEnabled());
    EXPECT_TRUE(stop->isEnabled());
    const std::string page = test::ReadText(w.root.Host("C:\\Program Files\\Quillbrook\\info.htm"));
    EXPECT_NE(page.find("3.5 MB / 4 MB (Current / Peak)"), std::string::npos);
    // A click on the list's empty part clears the selection.
    QTest::mouseClick(w.List()->viewport(), Qt::LeftButton, {},
                      QPoint(w.List()->viewport()->width() / 2, w.List()->viewport()->height() - 3));
    EXPECT_TRUE(w.List()->selectedItems().isEmpty());
    EXPECT_FALSE(start->isEnabled());
    EXPECT_FALSE(stop->isEnabled());
}

TEST(TMainForm, ColumnTitlesSortBothWays) {
    Window w;
    w.Open();
    test::ClickHeader(w.List(), 0);
    EXPECT_EQ(w.List()->headerItem()->text(0), QString::fromUtf8("Program Name \u25B2"));
    EXPECT_THAT(w.Captions(), ElementsAre("Agent", "Broken", "Service", "Tool"));
    test::ClickHeader(w.List(), 0);
    EXPECT_EQ(w.List()->headerItem()->text(0), QString::fromUtf8("Program Name \u25BC"));
    EXPECT_THAT(w.Captions(), ElementsAre("Tool", "Service", "Broken", "Agent"));
    test::ClickHeader(w.List(), 1);
    EXPECT_EQ(w.List()->headerItem()->text(0), "Program Name");
    EXPECT_THAT(w.Captions(), ElementsAre("Agent", "Tool", "Service", "Broken")); // "[" after the letters
    w.Press("ToolButtonRefresh");
    EXPECT_THAT(w.Captions(), ElementsAre("Agent", "Broken", "Service", "Tool"));
    EXPECT_EQ(w.List()->headerItem()->text(1), "Command Path");
    test::ClickHeader(w.List(), 1); // continues from its own last direction
    EXPECT_EQ(w.List()->headerItem()->text(1), QString::fromUtf8("Command Path \u25BC"));
}

TEST(TMainForm, RowCommandsTellWhatIsWrongAndHandTheRestToTheShell) {
    Window w;
    w.Open();
    EXPECT_FALSE(w.Find<QPushButton>("ButtonBrowse")->isEnabled()); // no row selected
    w.SelectRow("Broken");
    w.Press("ButtonBrowse");
    w.Press("ButtonProperties");
    w.SelectRow("Agent");
    w.Press("ButtonBrowse");
    w.Press("ButtonProperties");
    w.Choose("MenuSearch", "Agent");
    EXPECT_THAT(w.Messages(), ElementsAre("Cannot find the folder of an invalid item.",
                                          "Cannot open the properties of an invalid item."));
    ASSERT_EQ(w.desktop.opened.size(), 2u);
    EXPECT_EQ(w.desktop.opened[0], w.root.Host("C:\\Apps").string());
    EXPECT_EQ(w.desktop.opened[1], "https://www.google.com/search?as_q=Agent&as_epq=AGENT%2EEXE");
    EXPECT_THAT(w.desktop.properties, ElementsAre("C:\\APPS\\AGENT.EXE"));
}

TEST(TMainForm, StartsAndStopsARealProgram) {
    Window w;
    const test::FolderProcessGuard started(w.root.Path());
    std::filesystem::remove(w.root.Path() / "processes.txt"); // the host's own processes
    const std::string program = "C:\\Apps\\qbguiprobe.exe";
    w.root.File(program, "#!/bin/sh\ntrap 'exit 0' TERM\nwhile :; do sleep 1; done\n")
        .Value(HKCU, CV + "Run", "Probe", program);
    std::filesystem::permissions(w.root.Host(program), std::filesystem::perms::owner_all);
    w.Open();
    w.SelectRow("Probe");
    w.Press("SnButtonRun");
    // The process needs a moment before the scan can see it: refresh until its row shows it running.
    for (int i = 0; i < 100 && w.Row("Probe")->text(4).isEmpty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        w.Press("ToolButtonRefresh");
    }
    w.SelectRow("Probe");
    ASSERT_TRUE(w.Find<QPushButton>("SnButtonClose")->isEnabled());
    w.Press("SnButtonClose");
    w.SelectRow("Probe");
    EXPECT_TRUE(w.Find<QPushButton>("SnButtonRun")->isEnabled());
    EXPECT_TRUE(w.Messages().empty());
}

} // namespace qb
