#pragma once

// The main window on a sandbox machine, with the helpers the window tests share: find a control, read
// what the list, the pane and the status bar show, and drive the window through window_driver.h.

#include "app/t_dlg_apply.h"
#include "app/t_main_form.h"
#include "platform/sandbox/sandbox_system.h"
#include "support/recording_fakes.h"
#include "support/temp_dir.h"
#include "window_driver.h"

#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTextBrowser>
#include <QTreeView>
#include <QTreeWidget>
#include <memory>

namespace qb::test {

// A desktop that records what it was asked to open, and can play one that opens nothing.
class RecordingDesktop : public sandbox::DesktopHandoff {
public:
    bool Open(std::string_view target) override {
        opened.emplace_back(target);
        return opens;
    }
    bool ShowProperties(std::string_view windowsPath, const std::filesystem::path&) override {
        properties.emplace_back(windowsPath);
        return opens;
    }
    bool opens = true;
    std::vector<std::string> opened, properties;
};

// The demo system, seeded afresh into a temporary folder.
class DemoMachine {
public:
    DemoMachine() {
        std::string error;
        root_ = dir_.Path() / "system";
        EXPECT_TRUE(sandbox::SeedDemoSystem(root_, error)) << error;
        auto opened = sandbox::SandboxSystem::Open(root_);
        EXPECT_TRUE(std::holds_alternative<std::unique_ptr<sandbox::SandboxSystem>>(opened));
        system_ = std::move(std::get<std::unique_ptr<sandbox::SandboxSystem>>(opened));
    }
    sandbox::SandboxSystem& System() { return *system_; }
    // The root's folder on the host, where another program may edit its files.
    const std::filesystem::path& Root() const { return root_; }
    // The same root opened again, as a second run of the tool sees it.
    void Reopen() {
        system_.reset();
        system_ =
            std::move(std::get<std::unique_ptr<sandbox::SandboxSystem>>(sandbox::SandboxSystem::Open(root_)));
    }

private:
    TempDir dir_;
    std::filesystem::path root_;
    std::unique_ptr<sandbox::SandboxSystem> system_;
};

// The main window on a machine, as a person meets it: scripted dialogs (or the ones given), a recording
// desktop, and stand-ins for the process list and the clock where a test needs them.
class MainWindow {
public:
    struct Options {
        Dialogs* dialogs = nullptr;     // the scripted ones when null
        Processes* processes = nullptr; // the machine's own when null
        Clock* clock = nullptr;         // the machine's own when null
        // False leaves the event loop alone after show(): the test sees the window before its first turn.
        bool settle = true;
    };

    explicit MainWindow(sandbox::SandboxSystem& system, Options options) {
        system.SetDialogs(options.dialogs ? *options.dialogs : scripted);
        system.SetDesktop(desktop);
        const sandbox::PathMap& map = system.Paths();
        PathMapping paths{[&map](std::string_view w) -> std::optional<std::string> {
                              auto h = map.ToHost(w);
                              return h ? std::optional(h->string()) : std::nullopt;
                          },
                          [&map](std::string_view l) { return map.ToWindows(l); }};
        const PlatformServices s = system.Services();
        form = std::make_unique<TMainForm>(
            PlatformServices{s.registry, s.profiles, s.files, s.shell,
                             options.processes ? *options.processes : s.processes, s.system, s.dialogs,
                             s.browser, options.clock ? *options.clock : s.clock},
            paths);
        form->show();
        if (options.settle) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
            Activate();
        }
    }
    explicit MainWindow(sandbox::SandboxSystem& system, Dialogs* dialogs = nullptr,
                        Processes* processes = nullptr)
        : MainWindow(system, Options{dialogs, processes}) {}

    // The window in front and holding the keyboard, as after a click on it (a dialog may have had it).
    void Activate() {
        // The offscreen platform does not hand activation back when a dialog closes.
        QApplication::setActiveWindow(form.get());
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    template <typename T> T* Find(const char* name) {
        T* widget = form->findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QTreeView* List() { return Find<QTreeView>("ListViewFix"); }
    QTreeWidget* Tree() { return Find<QTreeWidget>("TreeViewMain"); }

    int RowCount() { return List()->model()->rowCount(); }
    // The list's row at this position, top to bottom.
    ShownRow RowAt(int position) { return ShownRow(List(), List()->model()->index(position, 0)); }
    // The first row with this name; empty when there is none.
    ShownRow FindRow(const std::string& caption) {
        for (int i = 0; i < RowCount(); ++i) {
            if (RowAt(i).text(0).toStdString() == caption) {
                return RowAt(i);
            }
        }
        return {};
    }
    // The same, for a row the test counts on: its absence fails the test.
    ShownRow Row(const std::string& caption) {
        ShownRow row = FindRow(caption);
        if (!row) {
            ADD_FAILURE() << "no row " << caption;
        }
        return row;
    }
    QString HeaderText(int column) { return List()->model()->headerData(column, Qt::Horizontal).toString(); }
    // The titles of the columns in sight, left to right.
    std::vector<std::string> ShownTitles() {
        QHeaderView* header = List()->header();
        std::vector<std::string> out;
        for (int visual = 0; visual < header->count(); ++visual) {
            const int column = header->logicalIndex(visual);
            if (!header->isSectionHidden(column)) {
                out.push_back(HeaderText(column).toStdString());
            }
        }
        return out;
    }
    std::vector<std::string> Captions() {
        std::vector<std::string> out;
        for (int i = 0; i < RowCount(); ++i) {
            out.push_back(RowAt(i).text(0).toStdString());
        }
        return out;
    }
    // "caption|command" of every row.
    std::vector<std::string> CaptionsAndCommands() {
        std::vector<std::string> out;
        for (int i = 0; i < RowCount(); ++i) {
            out.push_back(RowAt(i).text(0).toStdString() + "|" + RowAt(i).text(1).toStdString());
        }
        return out;
    }
    // "caption|change" of every row, the Change column's text after the bar; a row struck through (deleted,
    // not applied yet) has a "~" before its caption.
    std::vector<std::string> CaptionsAndChanges() {
        std::vector<std::string> out;
        for (int i = 0; i < RowCount(); ++i) {
            const ShownRow row = RowAt(i);
            const bool struck = row.data(0, Qt::FontRole).value<QFont>().strikeOut();
            out.push_back((struck ? "~" : "") + row.text(0).toStdString() + "|" + row.text(5).toStdString());
        }
        return out;
    }
    // Apply, and OK in the dialog that lists the changes.
    void ApplyWithOk() {
        WhenShown<TDlgApply>(form->ApplyDialog(), [](TDlgApply* dialog) {
            test::Press(dialog->findChild<QPushButton*>(QStringLiteral("SnButtonOK")));
        });
        Press("ToolButtonApply");
    }
    std::vector<std::string> SelectedCaptions() {
        std::vector<std::string> out;
        for (const QModelIndex& index : List()->selectionModel()->selectedRows()) {
            out.push_back(index.data().toString().toStdString());
        }
        return out;
    }
    void SelectRow(const std::string& caption) { ClickRow(List(), Row(caption)); }
    void Press(const char* name) { test::Press(Find<QAbstractButton>(name)); }
    // Chooses an item of the list's menu, opened by a right click on the row (or the list's empty part).
    void Choose(const char* action, const std::string& row = {}) {
        RightClick(List(), row.empty() ? QModelIndex() : Row(row).Index());
        ChooseMenuItem(Find<QMenu>("SnPopupMenuStartup"), action);
    }
    QTreeWidgetItem* Node(const QString& caption, int occurrence = 0) {
        const auto items = Tree()->findItems(caption, Qt::MatchExactly | Qt::MatchRecursive);
        EXPECT_GT(items.size(), occurrence) << caption.toStdString();
        return items.size() > occurrence ? items[occurrence] : nullptr;
    }
    // A mouse click a little into the label of the tree node with this caption.
    void ClickNode(const QString& caption, int occurrence = 0) {
        QTreeWidgetItem* node = Node(caption, occurrence);
        ASSERT_NE(node, nullptr);
        const QRect rect = Tree()->visualItemRect(node);
        QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {},
                          QPoint(rect.left() + 25, rect.center().y()));
    }
    // A click on the last letter of a node's label: the right end of its text.
    void ClickNodeLabelEnd(const QString& caption, int occurrence = 0) {
        QTreeWidgetItem* node = Node(caption, occurrence);
        ASSERT_NE(node, nullptr);
        const QRect rect = Tree()->visualItemRect(node);
        // The text ends where the cell's size hint says; its last letter sits just before that.
        QStyleOptionViewItem option;
        option.initFrom(Tree());
        option.widget = Tree();
        option.decorationSize = QSize(16, 16);
        const int end =
            rect.left() + Tree()->itemDelegate()->sizeHint(option, Tree()->indexFromItem(node)).width();
        const int lastLetter = Tree()->fontMetrics().horizontalAdvance(caption.right(1));
        QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {},
                          QPoint(end - 4 - lastLetter / 2, rect.center().y()));
    }
    QString PaneText() { return Find<QTextBrowser>("CppWebBrowserInfo")->toPlainText(); }
    std::string StatusText() {
        return Find<QLabel>("LabelRowsShown")->text().toStdString() + "|" +
               Find<QLabel>("LabelPending")->text().toStdString();
    }
    std::vector<std::string> Messages() {
        std::vector<std::string> out;
        for (const auto& m : scripted.Messages()) {
            out.push_back(m.text);
        }
        return out;
    }

    ScriptedDialogs scripted;
    RecordingDesktop desktop;
    std::unique_ptr<TMainForm> form;
};

} // namespace qb::test
