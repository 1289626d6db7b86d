#include "app/t_main_form.h"

#include "app/auxiliary_commands.h"
#include "app/command_availability.h"
#include "app/help_window.h"
#include "app/qt_text.h"
#include "app/rating_colours.h"
#include "app/t_dlg_apply.h"
#include "app/t_dlg_backup.h"
#include "app/t_form_add.h"
#include "baseline/change_watch.h"
#include "changes/apply_engine.h"
#include "changes/entry_editor.h"
#include "changes/pending_changes.h"
#include "inventory/process_scan.h"
#include "inventory/program_control.h"
#include "inventory/row_texts.h"
#include "inventory/startup_scan.h"
#include "knowledge/info_page.h"
#include "knowledge/ratings.h"
#include "platform/platform_error.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTextBrowser>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>

namespace qb {

namespace {

QColor ToColor(const Rgb& rgb) {
    return QColor(rgb.red, rgb.green, rgb.blue);
}

SelectedRow ToSelectedRow(const ListRow& row) {
    return {row.caption, row.commandCell, row.location};
}

bool SameRow(const ListRow& a, const ListRow& b) {
    return a.caption == b.caption && a.location == b.location && a.commandCell == b.commandCell;
}

// The unnamed default value of a key has no name of its own; the list calls it as the command line does.
QString CaptionText(const std::string& caption) {
    return Q(ShownName(caption));
}

} // namespace

TMainForm::TMainForm(PlatformServices services, PathMapping paths, QWidget* parent)
    : QMainWindow(parent), paths_(paths),
      pane_(paths), services_{services.registry,  services.profiles, services.files,   services.shell,
                              services.processes, services.system,   services.dialogs, pane_,
                              services.clock},
      session_(services_, icons_) {
    setObjectName(QStringLiteral("TMainForm"));
    setWindowTitle(QStringLiteral("Quillbrook"));
    resize(778, 593);
    BuildLayout();
    pane_.Attach(browser_);
    Guard([&] {
        treeViewMain_->expandAll();
        treeViewMain_->setCurrentItem(nullptr);
        treeViewMain_->clearSelection();
        // An apply cut off by a kill or a crash is finished or rolled back before anything is read.
        // What was done is said once the window is up, so that the message stands over what it is about.
        if (auto recovered = session_.Recover()) {
            QTimer::singleShot(0, this, [this, notice = std::move(*recovered)] {
                services_.dialogs.ShowMessage(notice.message, notice.kind, MessageButtons::Ok);
            });
        }
        Reload();
        RefreshList(); // with no row selected, the pane shows the start page
    });
    // The dialogs live as long as the window, made in this order; they are shown when needed.
    formAdd_ = new TFormAdd(services_, session_.Items(), this);
    dlgBackup_ = new TDlgBackup(services_, session_, this);
    dlgApply_ = new TDlgApply(services_, this);
    RestoreSettings();
}

TMainForm::~TMainForm() = default;

void TMainForm::Guard(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const PlatformError& error) {
        services_.dialogs.ShowMessage(error.what(), MessageKind::Error, MessageButtons::Ok);
    } catch (const std::exception& error) {
        services_.dialogs.ShowMessage(error.what(), MessageKind::Error, MessageButtons::Ok);
    }
}

int TMainForm::SelectedNodePosition() const {
    const QTreeWidgetItem* item = treeViewMain_->currentItem();
    if (item == nullptr || !item->isSelected()) {
        return 0;
    }
    return item->data(0, kPositionRole).toInt();
}

// While the whole list is painted, every row's record comes from one index instead of a walk of the
// inventory per row; the inventory does not change meanwhile.
class TMainForm::RowRecordsScope {
public:
    explicit RowRecordsScope(TMainForm& form) : form_(form) {
        if (form_.rowRecords_ == nullptr) {
            records_.emplace(form_.session_.Items());
            form_.rowRecords_ = &*records_;
        }
    }
    RowRecordsScope(const RowRecordsScope&) = delete;
    RowRecordsScope& operator=(const RowRecordsScope&) = delete;
    ~RowRecordsScope() {
        if (records_) {
            form_.rowRecords_ = nullptr;
        }
    }

private:
    TMainForm& form_;
    std::optional<RowRecords> records_;
};

void TMainForm::RefreshList() {
    const RowRecordsScope records(*this);
    if (CountChangeMarks(session_.Items()).total() == 0) {
        changesOnly_ = false; // nothing left to show only: every row comes back
    }
    {
        const QSignalBlocker quiet(listViewFix_);
        building_ = true;
        listViewFix_->clear();
        rows_.clear();
        building_ = false;
        const int ratingItem = std::max(0, ratingButtons_->checkedId());
        QList<QTreeWidgetItem*> items;
        for (auto& row : RefreshRows(session_.Items(), SelectedNodePosition(), ratingItem, changesOnly_)) {
            rows_.push_back(std::move(row));
            items.append(MakeRowItem(rows_.back()));
        }
        building_ = true;
        listViewFix_->addTopLevelItems(items); // one insertion for the whole list
        building_ = false;
    }
    ResetColumnTitles();
    FitColumns();
    UpdateCommandAvailability();
    UpdatePendingSigns();
    UpdateChangeNotice();
    ShowCurrentPage();
}

void TMainForm::UpdateChangeNotice() {
    const ChangeCounts counts = CountChangeMarks(session_.Items());
    if (counts.total() == 0) {
        buttonShowChanges_->setChecked(false);
        changesPanel_->hide();
        return;
    }
    QStringList parts;
    if (counts.newEntries > 0) {
        parts << QStringLiteral("%1 new").arg(counts.newEntries);
    }
    if (counts.returned > 0) {
        parts << QStringLiteral("%1 returned").arg(counts.returned);
    }
    if (counts.changed > 0) {
        parts << QStringLiteral("%1 changed").arg(counts.changed);
    }
    const QString entries = counts.total() == 1 ? QStringLiteral("entry") : QStringLiteral("entries");
    changesText_->setText(QStringLiteral("Since you last accepted the startup setting: %1 %2.")
                              .arg(parts.join(QStringLiteral(", ")), entries));
    buttonDisableReturned_->setVisible(counts.returned > 0);
    buttonShowChanges_->setChecked(changesOnly_);
    changesPanel_->show();
}

void TMainForm::ButtonShowChangesClick() {
    Guard([&] {
        changesOnly_ = buttonShowChanges_->isChecked();
        RefreshKeepingRow(SelectedRow());
    });
}

void TMainForm::ButtonDisableReturnedClick() {
    Guard([&] {
        for (const StartupItem* item : session_.Items().LoadedItems) {
            if (item->Change == ChangeMark::Returned && item->State == ItemState::Enabled) {
                SetCheckedState(session_.Items(), {item->Name, item->Location, item->Command}, false);
            }
        }
        RefreshKeepingRow(SelectedRow());
    });
}

void TMainForm::ButtonAcceptChangesClick() {
    Guard([&] {
        session_.Accept();
        RefreshKeepingRow(SelectedRow());
    });
}

void TMainForm::RefreshKeepingRow(const ListRow* row) {
    const std::optional<ListRow> kept = row ? std::optional(*row) : std::nullopt;
    RefreshList();
    if (!kept) {
        return;
    }
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (SameRow(rows_[i], *kept)) {
            listViewFix_->setCurrentItem(listViewFix_->topLevelItem(static_cast<int>(i)));
            return;
        }
    }
}

bool TMainForm::AddListRow(const StartupItem& item) {
    auto row = qb::AddListRow(item, std::max(0, ratingButtons_->checkedId()));
    if (!row) {
        return false;
    }
    rows_.push_back(std::move(*row));
    ShowRow(rows_.back());
    return true;
}

void TMainForm::ShowRow(const ListRow& row) {
    building_ = true;
    listViewFix_->addTopLevelItem(MakeRowItem(row));
    building_ = false;
}

QTreeWidgetItem* TMainForm::MakeRowItem(const ListRow& row) {
    // Painted before it joins the list: an item in a list announces each of its cells' changes to it.
    auto* item = new QTreeWidgetItem();
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    PaintRow(item, row);
    return item;
}

void TMainForm::PaintRow(QTreeWidgetItem* shown, const ListRow& row) {
    building_ = true;
    shown->setText(0, CaptionText(row.caption));
    shown->setIcon(0, MarkedIcon(icons_.At(row.iconIndex), row.change));
    const StartupItem* record = RecordOfRow(row);
    QFont font = listViewFix_->font();
    font.setBold(record != nullptr && IsPending(*record)); // a change not applied yet
    // A new item shows the list's font and colours without being told; only a shown one is set back.
    const bool fresh = shown->treeWidget() == nullptr;
    const bool setFont = !fresh || font.bold();
    if (setFont) {
        shown->setFont(0, font);
    }
    for (int column = 1; column < kColumnCount; ++column) {
        shown->setText(column, Q(row.Cell(column)));
        if (setFont) {
            shown->setFont(column, font);
        }
        const CellStyle style = StyleOfCell(row, column);
        if (!fresh || style.text) {
            shown->setData(column, Qt::ForegroundRole,
                           style.text ? QVariant(QBrush(ToColor(*style.text))) : QVariant());
        }
        if (!fresh || style.background) {
            shown->setData(column, Qt::BackgroundRole,
                           style.background ? QVariant(QBrush(ToColor(*style.background))) : QVariant());
        }
    }
    shown->setCheckState(0, row.checked ? Qt::Checked : Qt::Unchecked);
    building_ = false;
}

const StartupItem* TMainForm::RecordOfRow(const ListRow& row) const {
    return rowRecords_ != nullptr ? rowRecords_->Find(row) : qb::RecordOfRow(session_.Items(), row);
}

void TMainForm::ShowCurrentPage() {
    const ListRow* row = SelectedRow();
    if (row == nullptr) {
        services_.browser.Navigate(StartPageAddress(services_.files));
        return;
    }
    BuildInfoPage({row->caption, row->commandCell, row->location, row->rating}, session_.Items(),
                  session_.Database(), services_);
}

void TMainForm::UpdatePendingSigns() {
    const RowRecordsScope records(*this);
    bool repainted = false;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (QTreeWidgetItem* shown = listViewFix_->topLevelItem(static_cast<int>(i))) {
            const StartupItem* record = RecordOfRow(rows_[i]);
            const bool pending = record != nullptr && IsPending(*record);
            if (shown->font(0).bold() != pending) {
                PaintRow(shown, rows_[i]);
                repainted = true;
            }
        }
    }
    if (repainted) {
        FitColumns(); // bold text is wider: a changed row's cells are not to be cut off
    }
    const auto pending = std::count_if(session_.Items().Items.begin(), session_.Items().Items.end(),
                                       [](const auto& item) { return IsPending(*item); });
    const auto total = RefreshRows(session_.Items(), 0, 0).size();
    statusRows_->setText(QStringLiteral("%1 of %2 entries shown").arg(rows_.size()).arg(total));
    statusPending_->setText(pending == 0   ? QString()
                            : pending == 1 ? QStringLiteral("1 change not applied")
                                           : QStringLiteral("%1 changes not applied").arg(pending));
    setWindowTitle(pending == 0 ? QStringLiteral("Quillbrook") : QStringLiteral("Quillbrook *"));
}

void TMainForm::ResetColumnTitles() {
    QStringList titles;
    for (const auto& title : ColumnTitles(IsWin9xFamily(services_.system))) {
        titles << Q(title);
    }
    listViewFix_->setHeaderLabels(titles);
}

bool TMainForm::SelectRow(const std::string& caption) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].caption == caption) {
            listViewFix_->setCurrentItem(listViewFix_->topLevelItem(static_cast<int>(i)));
            return true;
        }
    }
    return false;
}

const ListRow* TMainForm::SelectedRow() const {
    const auto selected = listViewFix_->selectedItems();
    if (selected.isEmpty()) {
        return nullptr;
    }
    const int index = listViewFix_->indexOfTopLevelItem(selected.front());
    return index >= 0 && static_cast<std::size_t>(index) < rows_.size()
               ? &rows_[static_cast<std::size_t>(index)]
               : nullptr;
}

void TMainForm::UpdateCommandAvailability() {
    actions_->SetAvailability(AvailableCommands(SelectedRow(), IsLegacyNT(services_.system)));
}

void TMainForm::TreeViewMainMouseUp(QTreeWidgetItem*) {
    Guard([&] { RefreshList(); });
}

void TMainForm::RadioButtonGroupClick() {
    Guard([&] { RefreshList(); });
}

void TMainForm::TreeSelectionMoved() {
    // A mouse press moves the selection too, but filters only when it is released over the node.
    if (!treeMouseDown_ && !treeSync_) {
        Guard([&] { RefreshList(); });
    }
}

void TMainForm::ListViewFixSelectItem() {
    Guard([&] { ShowCurrentPage(); });
}

void TMainForm::ListViewFixColumnClick(int column) {
    Guard([&] {
        const ListRow* selected = SelectedRow();
        const std::optional<ListRow> kept = selected ? std::optional(*selected) : std::nullopt;
        const auto titles = sort_.Click(column, rows_, IsWin9xFamily(services_.system));
        {
            const RowRecordsScope records(*this);
            const QSignalBlocker quiet(listViewFix_);
            building_ = true;
            listViewFix_->clear();
            building_ = false;
            QList<QTreeWidgetItem*> items;
            for (const auto& row : rows_) {
                items.append(MakeRowItem(row));
            }
            building_ = true;
            listViewFix_->addTopLevelItems(items);
            building_ = false;
            for (std::size_t i = 0; kept && i < rows_.size(); ++i) {
                if (SameRow(rows_[i], *kept)) { // the selected row stays selected, where it now is
                    listViewFix_->setCurrentItem(listViewFix_->topLevelItem(static_cast<int>(i)));
                    break;
                }
            }
        }
        QStringList labels;
        for (const auto& title : titles) {
            labels << Q(title);
        }
        listViewFix_->setHeaderLabels(labels);
        FitColumns();
        UpdateCommandAvailability();
    });
}

void TMainForm::ListViewFixChange() {
    if (building_) {
        return;
    }
    Guard([&] {
        // Keep the rows' check marks as the list shows them.
        for (int i = 0; i < listViewFix_->topLevelItemCount() && static_cast<std::size_t>(i) < rows_.size();
             ++i) {
            rows_[static_cast<std::size_t>(i)].checked =
                listViewFix_->topLevelItem(i)->checkState(0) == Qt::Checked;
        }
        UpdateCommandAvailability();
    });
}

void TMainForm::ToolButtonHelpClick() {
    Guard([&] {
        if (OpenHelp(services_)) {
            return;
        }
        if (helpWindow_ == nullptr) {
            helpWindow_ = new HelpWindow(services_, this);
        }
        helpWindow_->show();
        helpWindow_->raise();
        helpWindow_->activateWindow();
    });
}

void TMainForm::ToolButtonAboutClick() {
    Guard([&] {
        // About shows the start page, which describes no entry: no row stays selected beside it, so the
        // buttons act on nothing unseen and a click on a row shows its page again.
        {
            const QSignalBlocker quiet(listViewFix_);
            listViewFix_->selectionModel()->clear();
        }
        UpdateCommandAvailability();
        ShowAbout(services_);
        services_.dialogs.ShowMessage(AboutText(QB_VERSION), MessageKind::Information, MessageButtons::Ok);
    });
}

void TMainForm::ButtonPropertiesClick() {
    Guard([&] { ShowProgramProperties(SelectedRow(), services_); });
}

void TMainForm::ButtonBrowseClick() {
    Guard([&] { OpenProgramFolder(SelectedRow(), services_); });
}

void TMainForm::MenuSearchClick() {
    Guard([&] { SearchWeb(SelectedRow(), services_); });
}

void TMainForm::ImageDonateClick() {
    Guard([&] { OpenDonationPage(services_); });
}

void TMainForm::ImageTellClick() {
    Guard([&] { OpenRecommendation(services_); });
}

void TMainForm::SnButtonRunClick() {
    Guard([&] {
        const ListRow* row = SelectedRow();
        const auto selected = row ? std::optional(ToSelectedRow(*row)) : std::nullopt;
        if (StartProgram(selected ? &*selected : nullptr, session_.Items(), services_) ==
            ProgramControlResult::Refresh) {
            RefreshKeepingRow(row); // the page shows the program running
        }
    });
}

void TMainForm::SnButtonCloseClick() {
    Guard([&] {
        const ListRow* row = SelectedRow();
        const auto selected = row ? std::optional(ToSelectedRow(*row)) : std::nullopt;
        // The window keeps painting while it waits for the program to close.
        const auto pump = [] { QApplication::processEvents(QEventLoop::ExcludeUserInputEvents); };
        if (StopProgram(selected ? &*selected : nullptr, session_.Items(), services_, pump) ==
            ProgramControlResult::Refresh) {
            RefreshKeepingRow(row);
        }
    });
}

void TMainForm::ToggleCurrentCheck() {
    if (QTreeWidgetItem* current = listViewFix_->currentItem()) {
        current->setCheckState(0, current->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
}

void TMainForm::ShowRowMenu() {
    QTreeWidgetItem* current = listViewFix_->currentItem();
    const QPoint at =
        current ? listViewFix_->visualItemRect(current).bottomLeft() + QPoint(24, 0) : QPoint(4, 4);
    popupMenu_->popup(listViewFix_->viewport()->mapToGlobal(at));
}

void TMainForm::CheckBoxChanged(QTreeWidgetItem* item, int column) {
    if (building_ || column != 0) {
        return;
    }
    const int index = listViewFix_->indexOfTopLevelItem(item);
    if (index < 0 || static_cast<std::size_t>(index) >= rows_.size()) {
        return;
    }
    ListRow& row = rows_[static_cast<std::size_t>(index)];
    const bool checked = item->checkState(0) == Qt::Checked;
    if (checked == row.checked) {
        return; // another change of the row, not its check box
    }
    row.checked = checked;
    SetCheckedState(session_.Items(), {row.caption, row.location, RowCommand(row.commandCell)}, checked);
    UpdatePendingSigns();
}

void TMainForm::ButtonDeleteClick() {
    Guard([&] {
        const ListRow* row = SelectedRow();
        if (row == nullptr) {
            services_.dialogs.ShowMessage("Please select an item.", MessageKind::Information,
                                          MessageButtons::Ok);
            return;
        }
        DeleteMatchingEntries(session_.Items(), {row->caption, row->location, RowCommand(row->commandCell)});
        // Only the row goes; the list is not rebuilt. No other row takes its selection: a second click on
        // Delete must not mark the next entry too.
        const auto index = static_cast<std::size_t>(row - rows_.data());
        {
            const QSignalBlocker quiet(listViewFix_);
            building_ = true;
            delete listViewFix_->takeTopLevelItem(static_cast<int>(index));
            rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(index));
            listViewFix_->selectionModel()->clear();
            building_ = false;
        }
        UpdateCommandAvailability();
        UpdatePendingSigns();
        ShowCurrentPage();
    });
}

void TMainForm::ShowEverything() {
    treeSync_ = true;
    treeViewMain_->setCurrentItem(treeViewMain_->topLevelItem(0));
    treeSync_ = false;
    ratingButtons_->button(0)->setChecked(true);
}

void TMainForm::BulkDelete(int (*remove)(Inventory&), std::string_view nothingFound) {
    Guard([&] {
        if (remove(session_.Items()) == 0) {
            services_.dialogs.ShowMessage(nothingFound, MessageKind::Information, MessageButtons::Ok);
            return;
        }
        ShowEverything();
        RefreshList();
    });
}

void TMainForm::MenuDeleteInvaildClick() {
    BulkDelete(&DeleteAllInvalid, kNoInvalidMessage);
}

void TMainForm::MenuDeleteHarmfulClick() {
    BulkDelete(&DeleteAllHarmful, kNoHarmfulMessage);
}

void TMainForm::MenuDeleteDisabledClick() {
    BulkDelete(&DeleteAllDisabled, kNoDisabledMessage);
}

void TMainForm::ToolButtonRefreshClick() {
    Guard([&] {
        if (HasPendingChanges(session_.Items()) &&
            services_.dialogs.ShowMessage(kDiscardAndRefreshQuestion, MessageKind::Confirmation,
                                          MessageButtons::YesNo) != DialogResult::Yes) {
            return;
        }
        ShowEverything();
        Reload();
        RefreshList();
    });
}

void TMainForm::Reload() {
    session_.Load();
}

void TMainForm::ToolButtonBackupClick() {
    Guard([&] {
        dlgBackup_->exec();
        if (!dlgBackup_->ChosenFile().empty()) {
            LoadBackupFile(dlgBackup_->ChosenFile());
        }
    });
}

void TMainForm::ToolButtonApplyClick() {
    Guard([&] {
        // Also an apply that stops part-way reloads: the list shows what the system now holds.
        if (session_.Apply(*dlgApply_, true).outcome == ApplyOutcome::Applied) {
            RefreshList(); // the node and the rating filter stay as they were
        }
    });
}

void TMainForm::ButtonAddClick() {
    Guard([&] {
        formAdd_->PrepareAdd();
        formAdd_->exec();
        if (!formAdd_->Accepted()) {
            return;
        }
        const StartupItem& item = AddEntry(session_.Items(), formAdd_->NameText(), formAdd_->CommandText(),
                                           formAdd_->LocationText(), services_, session_.Database(), icons_);
        // Shown whatever node is selected, unless the rating filter hides it; then selected and in sight.
        if (AddListRow(item)) {
            QTreeWidgetItem* shown = listViewFix_->topLevelItem(static_cast<int>(rows_.size() - 1));
            listViewFix_->setCurrentItem(shown);
            listViewFix_->scrollToItem(shown);
        }
        FitColumns();
        UpdatePendingSigns();
    });
}

void TMainForm::ButtonEditClick() {
    Guard([&] {
        const ListRow* row = SelectedRow();
        if (row == nullptr) {
            services_.dialogs.ShowMessage("Please select an item.", MessageKind::Information,
                                          MessageButtons::Ok);
            return;
        }
        const auto rowIndex = static_cast<std::size_t>(row - rows_.data());
        const int index = FindRecordForEdit(session_.Items(), row->caption, row->location);
        if (index >= 0) {
            if (const auto refusal = EditRefusal(*session_.Items().Items[static_cast<std::size_t>(index)])) {
                services_.dialogs.ShowMessage(*refusal, MessageKind::Information, MessageButtons::Ok);
                return;
            }
        }
        formAdd_->PrepareEdit(row->caption, std::string(RowCommand(row->commandCell)), row->location, index);
        formAdd_->exec();
        if (!formAdd_->Accepted() || index < 0) {
            return;
        }
        EditEntry(session_.Items(), index, formAdd_->NameText(), formAdd_->CommandText(),
                  formAdd_->LocationText(), services_, session_.Database(), icons_);
        UpdateRow(rowIndex, *session_.Items().Items[static_cast<std::size_t>(index)]);
        FitColumns();
        UpdatePendingSigns();
        ShowCurrentPage(); // the page describes the entry as it is now
    });
}

void TMainForm::UpdateRow(std::size_t index, const StartupItem& item) {
    if (index >= rows_.size()) {
        return;
    }
    ListRow& row = rows_[index];
    row.caption = item.Name;
    row.commandCell = CommandCellText(item);
    row.location = item.Location;
    row.rating = RatingText(item.Rating);
    row.iconIndex = item.IconIndex;
    PaintRow(listViewFix_->topLevelItem(static_cast<int>(index)), row);
}

void TMainForm::LoadBackupFile(const std::string& path) {
    Guard([&] {
        if (session_.Restore(path).loaded) {
            RefreshList();
        }
    });
}

void TMainForm::closeEvent(QCloseEvent* event) {
    bool close = true;
    Guard([&] {
        close = !HasPendingChanges(session_.Items()) ||
                services_.dialogs.ShowMessage(kDiscardAndExitQuestion, MessageKind::Confirmation,
                                              MessageButtons::YesNo) == DialogResult::Yes;
    });
    if (close) {
        SaveSettings();
        event->accept();
    } else {
        event->ignore();
    }
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (treeViewMain_ == nullptr || listViewFix_ == nullptr) {
        return QMainWindow::eventFilter(watched, event); // still being built
    }
    if (watched == treeViewMain_->viewport() &&
        (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ||
         type == QEvent::MouseButtonRelease)) {
        const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
        QTreeWidgetItem* item = treeViewMain_->itemAt(pos);
        const bool overLabel = item != nullptr && OverNodeLabel(pos);
        if (type == QEvent::MouseButtonRelease) {
            treeMouseDown_ = false;
            if (overLabel) {
                TreeViewMainMouseUp(item);
            }
        } else if (item != nullptr && !overLabel && pos.x() >= treeViewMain_->visualItemRect(item).left()) {
            // The empty rest of a node's line neither selects nor filters; the expand button on its left
            // keeps working.
            return true;
        } else {
            treeMouseDown_ = true;
        }
    }
    if (watched == listViewFix_ && type == QEvent::KeyPress) {
        // Edit and Delete are not available with no row selected, so their keys are not taken as
        // shortcuts; they still say why nothing happens, as the commands do.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (actions_->DisabledActionForKey(key->key(), key->modifiers()) != nullptr) {
            services_.dialogs.ShowMessage("Please select an item.", MessageKind::Information,
                                          MessageButtons::Ok);
            return true;
        }
    }
    if (watched == listViewFix_->viewport() && type == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString text = RowToolTip(help->pos());
        if (text.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), text, listViewFix_->viewport());
        }
        return true;
    }
    if (watched == listViewFix_->viewport() && type == QEvent::Resize) {
        FitColumns();
    }
    if (watched == leftPanel_ && type == QEvent::Resize) {
        FitLeftPanel();
    }
    if (type == QEvent::MouseButtonRelease) {
        if (watched->objectName() == QLatin1String("ImageDonate")) {
            ImageDonateClick();
        } else if (watched->objectName() == QLatin1String("ImageTell")) {
            ImageTellClick();
        } else if (watched->objectName() == QLatin1String("ImageLogo")) {
            ImageLogoClick();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace qb
