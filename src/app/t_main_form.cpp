// The main window's list: filling it from the inventory, the filters of the tree and the rating, sorting,
// the check boxes, the selection, and the signs of changes not applied yet.
#include "app/t_main_form.h"

#include "app/change_notice.h"
#include "app/command_availability.h"
#include "app/entry_list_model.h"
#include "app/t_dlg_apply.h"
#include "app/t_dlg_backup.h"
#include "app/t_form_add.h"
#include "baseline/change_watch.h"
#include "changes/pending_changes.h"
#include "inventory/process_scan.h"
#include "inventory/row_texts.h"
#include "platform/platform_error.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>
#include <QTreeWidget>

namespace qb {

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
        // All Programs is what the list shows first, and the keys go to the list: Down picks the first row.
        treeSync_ = true;
        treeViewMain_->setCurrentItem(treeViewMain_->topLevelItem(0));
        treeSync_ = false;
        listViewFix_->setFocus();
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

TMainForm::~TMainForm() {
    // The rows' icons and records belong to members that go before the child widgets do: the list lets
    // go of its rows first.
    listViewFix_->setModel(nullptr);
}

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

void TMainForm::RefreshList() {
    // Every entry on the system or pending has its row; the filter decides which are shown.
    std::vector<EntryListModel::Row> rows;
    rows.reserve(session_.Items().Items.size());
    for (const auto& item : session_.Items().Items) {
        if (auto row = AddListRow(*item, 0)) {
            rows.push_back({std::move(*row), IsPending(*item), false});
        }
    }
    model_->Reset(std::move(rows));
    ApplyFilter();
}

void TMainForm::ApplyFilter() {
    if (CountChangeMarks(session_.Items()).marked() == 0) {
        changesOnly_ = false; // nothing left to show only: every row comes back
    }
    {
        // As a list filled anew: no row stays selected. The pane and the commands follow below.
        const QSignalBlocker quiet(listViewFix_->selectionModel());
        listViewFix_->selectionModel()->clear();
    }
    model_->ForgetAdded();
    filter_->Unsort();
    filter_->SetFilter(TreeFilter(SelectedNodePosition()), std::max(0, ratingButtons_->checkedId()),
                       changesOnly_);
    ResetColumnTitles();
    FitColumns();
    UpdateCommandAvailability();
    UpdatePendingSigns();
    UpdateChangeNotice();
    ShowCurrentPage();
}

void TMainForm::UpdateChangeNotice() {
    changeNotice_->Update(CountChanges(session_.Items(), session_.Watch()), changesOnly_);
}

void TMainForm::UpdatePendingSigns() {
    // An entry added and deleted again never reaches the system: its row goes. The others show their state.
    for (int i = model_->rowCount() - 1; i >= 0; --i) {
        const StartupItem* record = model_->At(i).shown.item;
        if (record != nullptr && record->State == ItemState::Deleted &&
            record->LoadedState == ItemState::Deleted) {
            model_->Remove(i);
        }
    }
    std::vector<RowState> states(static_cast<std::size_t>(model_->rowCount()));
    for (int i = 0; i < model_->rowCount(); ++i) {
        if (const StartupItem* record = model_->At(i).shown.item) {
            states[static_cast<std::size_t>(i)] = RowStateOf(*record);
        }
    }
    if (model_->UpdateStates(states)) {
        FitColumns(); // bold text is wider: a changed row's cells are not to be cut off
    }
    int shown = 0;
    for (int i = 0; i < filter_->rowCount(); ++i) {
        shown += model_->At(filter_->mapToSource(filter_->index(i, 0)).row()).shown.deleted ? 0 : 1;
    }
    int changes = 0;
    int total = 0;
    const auto labels = TreeFilter(0);
    for (const auto& item : session_.Items().Items) {
        changes += IsPending(*item) ? 1 : 0;
        total +=
            item->State != ItemState::Deleted &&
                    std::find(labels.begin(), labels.end(), std::string_view(item->Location)) != labels.end()
                ? 1
                : 0;
    }
    // Deleted rows are in sight until Apply, but no longer count as entries.
    statusRows_->setText(QStringLiteral("%1 of %2 entries shown").arg(shown).arg(total));
    statusPending_->setText(changes == 0   ? QString()
                            : changes == 1 ? QStringLiteral("1 change not applied")
                                           : QStringLiteral("%1 changes not applied").arg(changes));
    setWindowTitle(changes == 0 ? QStringLiteral("Quillbrook") : QStringLiteral("Quillbrook *"));
}

void TMainForm::ResetColumnTitles() {
    model_->SetTitles(ColumnTitles(IsWin9xFamily(services_.system)));
}

const StartupItem* TMainForm::FindShownRecord(const ListRow& wanted) const {
    for (int i = 0; i < model_->rowCount(); ++i) {
        const ListRow& row = model_->At(i).shown;
        if (row.caption == wanted.caption && row.location == wanted.location &&
            row.commandCell == wanted.commandCell) {
            return row.item;
        }
    }
    return nullptr;
}

bool TMainForm::SelectRecordRow(const StartupItem* record) {
    for (int i = 0; record != nullptr && i < filter_->rowCount(); ++i) {
        const QModelIndex shown = filter_->index(i, kNameColumn);
        if (model_->At(filter_->mapToSource(shown).row()).shown.item == record) {
            listViewFix_->setCurrentIndex(shown);
            listViewFix_->scrollTo(shown);
            return true;
        }
    }
    return false;
}

bool TMainForm::SelectRow(const std::string& caption) {
    for (int i = 0; i < filter_->rowCount(); ++i) {
        if (model_->At(filter_->mapToSource(filter_->index(i, kNameColumn)).row()).shown.caption == caption) {
            return SelectRecordRow(
                model_->At(filter_->mapToSource(filter_->index(i, kNameColumn)).row()).shown.item);
        }
    }
    return false;
}

int TMainForm::SelectedModelRow() const {
    const QModelIndexList selected = listViewFix_->selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : filter_->mapToSource(selected.front()).row();
}

int TMainForm::SelectedModelRowOrSay() {
    const int row = SelectedModelRow();
    if (row < 0) {
        SaySelectARow();
    }
    return row;
}

void TMainForm::SaySelectARow() {
    services_.dialogs.ShowMessage("Please select an item.", MessageKind::Information, MessageButtons::Ok);
}

const ListRow* TMainForm::SelectedRow() const {
    const int row = SelectedModelRow();
    return row < 0 ? nullptr : &model_->At(row).shown;
}

void TMainForm::UpdateCommandAvailability() {
    actions_->SetAvailability(AvailableCommands(SelectedRow(), IsLegacyNT(services_.system)));
}

void TMainForm::TreeViewMainMouseUp(QTreeWidgetItem*) {
    Guard([&] { ApplyFilter(); });
}

void TMainForm::RadioButtonGroupClick() {
    Guard([&] { ApplyFilter(); });
}

void TMainForm::TreeSelectionMoved() {
    // A mouse press moves the selection too, but filters only when it is released over the node.
    if (!treeMouseDown_ && !treeSync_) {
        Guard([&] { ApplyFilter(); });
    }
}

void TMainForm::ListViewFixSelectItem() {
    Guard([&] { ShowCurrentPage(); });
}

void TMainForm::ListViewFixColumnClick(int column) {
    Guard([&] {
        // The selected row stays selected, where it now is.
        model_->SetTitles(sort_.Toggle(column, IsWin9xFamily(services_.system)));
        filter_->sort(column, sort_.Direction(column) > 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
        FitColumns();
        UpdateCommandAvailability();
    });
}

void TMainForm::ListViewFixChange() {
    Guard([&] { UpdateCommandAvailability(); });
}

void TMainForm::CheckBoxChanged(int modelRow, bool checked) {
    Guard([&] {
        const ListRow& row = model_->At(modelRow).shown;
        SetCheckedState(session_.Items(), {row.caption, row.location, RowCommand(row.commandCell)}, checked);
        UpdatePendingSigns();
        UpdateCommandAvailability();
    });
}

void TMainForm::ToggleCurrentCheck() {
    const QModelIndex current = listViewFix_->currentIndex();
    if (current.isValid()) {
        const QModelIndex box = current.siblingAtColumn(kNameColumn);
        filter_->setData(box,
                         box.data(Qt::CheckStateRole).toInt() == Qt::Checked ? Qt::Unchecked : Qt::Checked,
                         Qt::CheckStateRole);
    }
}

void TMainForm::ShowRowMenu() {
    const QModelIndex current = listViewFix_->currentIndex();
    const QPoint at =
        current.isValid()
            ? listViewFix_->visualRect(current.siblingAtColumn(kNameColumn)).bottomLeft() + QPoint(24, 0)
            : QPoint(4, 4);
    popupMenu_->popup(listViewFix_->viewport()->mapToGlobal(at));
}

void TMainForm::ShowEverything() {
    treeSync_ = true;
    treeViewMain_->setCurrentItem(treeViewMain_->topLevelItem(0));
    treeSync_ = false;
    ratingButtons_->button(0)->setChecked(true);
}

void TMainForm::Reload() {
    session_.Load();
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
            if (SelectedRow() == nullptr) {
                SaySelectARow();
            }
            return true;
        }
        // With no row selected, the first arrow selects the row that has the focus frame (the first, after
        // a fill) rather than moving past it.
        const QModelIndex current = listViewFix_->currentIndex();
        if ((key->key() == Qt::Key_Down || key->key() == Qt::Key_Up) && key->modifiers() == Qt::NoModifier &&
            current.isValid() && !listViewFix_->selectionModel()->hasSelection()) {
            listViewFix_->selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect |
                                                                         QItemSelectionModel::Rows);
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
