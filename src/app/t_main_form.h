#pragma once

#include "app/app_icons.h"
#include "app/list_rows.h"
#include "app/list_sort.h"
#include "app/main_form_actions.h"
#include "app/path_mapping.h"
#include "app/text_browser_pane.h"
#include "app/window_settings.h"
#include "inventory/startup_item.h"
#include "knowledge/program_database.h"
#include "platform/platform_services.h"
#include "session/startup_session.h"

#include <QHash>
#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QButtonGroup;
class QLabel;
class QSplitter;
class QMenu;
class QTextBrowser;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;

namespace qb {

class ChangeNotice;
class EntryListFilter;
class EntryListModel;
class HelpWindow;
class TDlgApply;
class TDlgBackup;
class TFormAdd;

// The tool's main window: the location tree and rating filter on the left, the checkable list of startup
// entries with its button column, and the information pane below it. It owns the program database, the
// startup session and the program icons. Every control carries its design name as its object name.
//
// Its parts live in files by job: t_main_form.cpp (the list and its filters), t_main_form_commands.cpp (what
// each command does), t_main_form_pane.cpp (the information pane), t_main_form_layout.cpp (the controls),
// t_main_form_view.cpp (sizes, tooltips, what is kept between runs); entry_list_model.* holds the list's
// rows, main_form_actions.* the commands' actions, change_notice.* the notice of changed entries.
class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    // The dialogs come from the caller (the app's message boxes, or a script in tests); the browser pane
    // is the window's own.
    TMainForm(PlatformServices services, PathMapping paths, QWidget* parent = nullptr);
    ~TMainForm() override;

    Inventory& Items() { return session_.Items(); }
    ProgramDatabase& Database() { return session_.Database(); }
    PlatformServices Services() { return services_; }
    const TextBrowserPane& Pane() const { return pane_; }

    // Fills the list anew from the inventory, for the selected node and rating, in inventory order.
    void RefreshList();
    // Selects the first shown row with this caption, as a click on it would (the screenshot option).
    bool SelectRow(const std::string& caption);
    // The selected tree node's position, 0 when none is selected.
    int SelectedNodePosition() const;
    // The first window takes about two thirds of the screen; a stored placement wins when it is still on a
    // screen. Splitters and column widths come back as the user left them.
    void RestoreSettings();
    // The display scale of the window's screen, in percent (100, 150...).
    int ScalePercent() const;
    // The first window, placed by no setting, grows to show its content uncut, as far as the screen allows.
    void GrowToFitContent();

    TDlgBackup* BackupDialog() { return dlgBackup_; }
    TDlgApply* ApplyDialog() { return dlgApply_; }
    TFormAdd* EntryEditor() { return formAdd_; }

public slots:
    void TreeViewMainMouseUp(QTreeWidgetItem* item);
    void RadioButtonGroupClick();
    void ListViewFixSelectItem();
    void ListViewFixColumnClick(int column);
    void ListViewFixChange();
    void ListViewFixDblClick() {}
    void ImageLogoClick() {}
    void ToolButtonHelpClick();
    void ToolButtonAboutClick();
    void ButtonPropertiesClick();
    void ButtonBrowseClick();
    void SnButtonRunClick();
    void SnButtonCloseClick();
    void MenuSearchClick();
    void ImageDonateClick();
    void ImageTellClick();
    void ButtonDeleteClick();
    void MenuUndoClick();
    void MenuDeleteInvaildClick();
    void MenuDeleteHarmfulClick();
    void MenuDeleteDisabledClick();
    void ToolButtonRefreshClick();
    void ToolButtonBackupClick();
    void ToolButtonApplyClick();
    void ButtonAddClick();
    void ButtonEditClick();
    // The notice of entries that changed behind the user's back: show only those, disable the returned ones
    // again (as pending changes), or accept them so the marks clear.
    void ButtonShowChangesClick(bool only);
    void ButtonDisableReturnedClick();
    void ButtonAcceptChangesClick();
    void ButtonShowRemovedClick();
    // Loads a backup file as pending changes and shows them.
    void LoadBackupFile(const std::string& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Closing asks before unapplied changes are thrown away (FormClose).
    void closeEvent(QCloseEvent* event) override;

private:
    static constexpr int kPositionRole = Qt::UserRole + 1; // a tree node's position in TreeNodes()

    void BuildLayout();
    QWidget* BuildTitlePanel();
    QWidget* BuildLeftPanel();
    QWidget* BuildListPanel();
    QWidget* BuildInfoPane(QWidget* parent);
    // A load of the system, as the window's start, Refresh and a restore make it: the entries get their
    // marks of what changed since the setting was last accepted.
    void Reload();
    // The notice above the list says how many entries are marked; it hides when none is.
    void UpdateChangeNotice();
    void BuildPopupMenu();
    // Each command's action runs its handler; the buttons, the menu, the toolbar and the keys share it.
    void ConnectCommands();
    // The keyboard's ways to the row: its check box (whichever cell was clicked to select it) and the menu.
    void ToggleCurrentCheck();
    void ShowRowMenu();
    // The rows the tree's node, the rating filter and "show only these" let through, shown in inventory
    // order with unmarked titles.
    void ApplyFilter();
    // The information pane shows the selected row as it is now, or the start page with no selection.
    void ShowCurrentPage();
    // The record of the first row with the same name, place and command as `row` (one of an earlier fill).
    const StartupItem* FindShownRecord(const ListRow& row) const;
    // The status bar, the title's " *" and the changed rows' marks.
    void UpdatePendingSigns();
    // The header's menu of columns: a check mark for each shown one; Program Name always stays.
    void BuildColumnMenu();
    void ShowColumnMenu(const QPoint& headerPos);
    void SetColumnShown(int column, bool shown);
    // The columns share the list's width: rating and memory fit their text, the rest goes to name, command
    // and place by what they hold. Left alone once the user has set a width.
    void FitColumns();
    // The widest cell of a column, among the rows a list view measures. A cell's width is kept by what
    // decides it, so that a refresh, a sort or a filter change of the same entries measures no text again.
    int ContentWidth(int column) const;
    // A cut-off cell's whole text, the pending change and the list's hint.
    QString RowToolTip(const QPoint& viewportPos) const;
    // The side pictures give way when the left panel is too short for the tree, the filter and them.
    void FitLeftPanel();
    void TreeSelectionMoved();
    bool OverNodeLabel(const QPoint& viewportPos) const;
    void SaveSettings();
    // Selects the row of this record, as a click on it would, and brings it into sight; false when the list
    // does not show it.
    bool SelectRecordRow(const StartupItem* record);
    void UpdateCommandAvailability();
    // The selected row's place in the model, -1 when none is selected.
    int SelectedModelRow() const;
    // The selected row, or -1 after saying that a row must be selected first.
    int SelectedModelRowOrSay();
    void SaySelectARow();
    const ListRow* SelectedRow() const;
    // After a bulk delete or a refresh the list shows all places and all ratings.
    void ShowEverything();
    void BulkDelete(int (*count)(const Inventory&), int (*remove)(Inventory&), std::string_view nothingFound);
    void CheckBoxChanged(int modelRow, bool checked);
    // Runs an event handler; a platform error ends it and is shown, as the window's general error display.
    void Guard(const std::function<void()>& handler);
    // The titles without a sort mark, as a refresh shows them.
    void ResetColumnTitles();

    PathMapping paths_;
    TextBrowserPane pane_;
    PlatformServices services_;
    QtIconSink icons_;
    StartupSession session_; // the entries, the database and the change watch; fills icons_
    SortState sort_;
    bool treeMouseDown_ = false; // a press in the tree: the release filters, not the selection change
    bool treeSync_ = false;      // the window moves the tree's selection itself
    bool fitting_ = false;       // the window sets the column widths itself
    bool userColumns_ = false;   // the user has set a column width
    bool fitToContent_ = false;  // no placement kept for this scale: the first show fits the content
    bool changesOnly_ = false;   // the list shows only the marked entries
    std::vector<std::string> keptHiddenColumns_; // hidden columns this version does not have
    mutable QHash<QString, int> cellWidths_;     // see ContentWidth

    std::unique_ptr<MainFormActions> actions_;
    EntryListModel* model_ = nullptr;
    EntryListFilter* filter_ = nullptr;
    TFormAdd* formAdd_ = nullptr;
    HelpWindow* helpWindow_ = nullptr;
    TDlgBackup* dlgBackup_ = nullptr;
    TDlgApply* dlgApply_ = nullptr;
    QTreeWidget* treeViewMain_ = nullptr;
    QWidget* leftPanel_ = nullptr;
    QWidget* ratingGroup_ = nullptr;
    std::vector<QWidget*> sideTiles_;
    QSplitter* sideSplitter_ = nullptr;
    QSplitter* listSplitter_ = nullptr;
    ChangeNotice* changeNotice_ = nullptr;
    QLabel* statusRows_ = nullptr;
    QLabel* statusPending_ = nullptr;
    QButtonGroup* ratingButtons_ = nullptr;
    QTreeView* listViewFix_ = nullptr;
    QTextBrowser* browser_ = nullptr;
    QMenu* popupMenu_ = nullptr;
    QMenu* columnMenu_ = nullptr;
};

} // namespace qb
