// What each command of the main window does. The actions that trigger them are made and connected in
// main_form_actions.* and TMainForm::ConnectCommands; these handlers are the one place each command runs.
#include "app/auxiliary_commands.h"
#include "app/entry_list_model.h"
#include "app/help_window.h"
#include "app/removed_entries_dialog.h"
#include "app/t_dlg_apply.h"
#include "app/t_dlg_backup.h"
#include "app/t_form_add.h"
#include "app/t_main_form.h"
#include "changes/apply_engine.h"
#include "changes/entry_editor.h"
#include "changes/pending_changes.h"
#include "inventory/process_scan.h"
#include "inventory/program_control.h"
#include "inventory/row_texts.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QSignalBlocker>
#include <QTreeView>

namespace qb {

namespace {

SelectedRow ToSelectedRow(const ListRow& row) {
    return {row.caption, row.commandCell, row.location};
}

} // namespace

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
            const QSignalBlocker quiet(listViewFix_->selectionModel());
            listViewFix_->selectionModel()->clear();
        }
        listViewFix_->viewport()->update();
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
        const StartupItem* record = row ? row->item : nullptr;
        if (StartProgram(selected ? &*selected : nullptr, session_.Items(), services_) ==
            ProgramControlResult::Refresh) {
            RefreshList(); // the page shows the program running
            SelectRecordRow(record);
        }
    });
}

void TMainForm::SnButtonCloseClick() {
    Guard([&] {
        const ListRow* row = SelectedRow();
        const auto selected = row ? std::optional(ToSelectedRow(*row)) : std::nullopt;
        const StartupItem* record = row ? row->item : nullptr;
        // The window keeps painting while it waits for the program to close.
        const auto pump = [] { QApplication::processEvents(QEventLoop::ExcludeUserInputEvents); };
        if (StopProgram(selected ? &*selected : nullptr, session_.Items(), services_, pump) ==
            ProgramControlResult::Refresh) {
            RefreshList();
            SelectRecordRow(record);
        }
    });
}

void TMainForm::ButtonDeleteClick() {
    Guard([&] {
        const int selected = SelectedModelRowOrSay();
        if (selected < 0) {
            return;
        }
        const ListRow& row = model_->At(selected).shown;
        DeleteMatchingEntries(session_.Items(), {row.caption, row.location, RowCommand(row.commandCell)});
        // The row stays, struck through, until Apply; the list is not rebuilt. No other row takes its
        // selection: a second click on Delete must not mark the next entry too.
        {
            const QSignalBlocker quiet(listViewFix_->selectionModel());
            listViewFix_->selectionModel()->clear();
        }
        UpdatePendingSigns();
        UpdateCommandAvailability();
        ShowCurrentPage();
    });
}

void TMainForm::MenuUndoClick() {
    Guard([&] {
        const ListRow* row = SelectedRow();
        if (row == nullptr || row->item == nullptr) {
            return;
        }
        // The record is the inventory's; the row only points at it.
        UndoDelete(const_cast<StartupItem&>(*row->item));
        UpdatePendingSigns();
        UpdateCommandAvailability();
        ShowCurrentPage();
    });
}

void TMainForm::BulkDelete(int (*count)(const Inventory&), int (*remove)(Inventory&),
                           std::string_view nothingFound) {
    Guard([&] {
        const int found = count(session_.Items());
        if (found == 0) {
            services_.dialogs.ShowMessage(nothingFound, MessageKind::Information, MessageButtons::Ok);
            return;
        }
        if (services_.dialogs.ShowMessage(BulkDeleteQuestion(found), MessageKind::Confirmation,
                                          MessageButtons::YesNo) != DialogResult::Yes) {
            return;
        }
        remove(session_.Items());
        ShowEverything();
        RefreshList();
    });
}

void TMainForm::MenuDeleteInvaildClick() {
    BulkDelete(&CountAllInvalid, &DeleteAllInvalid, kNoInvalidMessage);
}

void TMainForm::MenuDeleteHarmfulClick() {
    BulkDelete(&CountAllHarmful, &DeleteAllHarmful, kNoHarmfulMessage);
}

void TMainForm::MenuDeleteDisabledClick() {
    BulkDelete(&CountAllDisabled, &DeleteAllDisabled, kNoDisabledMessage);
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

void TMainForm::ToolButtonBackupClick() {
    Guard([&] {
        dlgBackup_->exec();
        if (!dlgBackup_->ChosenFile().empty()) {
            LoadBackupFile(dlgBackup_->ChosenFile());
        }
    });
}

void TMainForm::LoadBackupFile(const std::string& path) {
    Guard([&] {
        // A restore reloads the system first: the changes not yet applied go as they do with Refresh.
        if (HasPendingChanges(session_.Items()) &&
            services_.dialogs.ShowMessage(kDiscardAndRefreshQuestion, MessageKind::Confirmation,
                                          MessageButtons::YesNo) != DialogResult::Yes) {
            return;
        }
        if (session_.Restore(path).loaded) {
            RefreshList();
            if (HasPendingChanges(session_.Items())) {
                services_.dialogs.ShowMessage(kRestoredNotAppliedMessage, MessageKind::Information,
                                              MessageButtons::Ok);
            }
        }
    });
}

void TMainForm::ToolButtonApplyClick() {
    Guard([&] {
        // The list is filled anew from what the system now holds, in the order it was shown and with the
        // same entry selected, where it still is.
        const int sortColumn = filter_->sortColumn();
        const Qt::SortOrder sortOrder = filter_->sortOrder();
        const ListRow* row = SelectedRow();
        const std::optional<ListRow> selected = row ? std::optional(*row) : std::nullopt;
        // Also an apply that stops part-way reloads: the list shows what the system now holds.
        if (session_.Apply(*dlgApply_, true).outcome == ApplyOutcome::Applied) {
            RefreshList(); // the node and the rating filter stay as they were
            if (sortColumn >= 0) {
                filter_->sort(sortColumn, sortOrder);
                model_->SetTitles(sort_.Titles(sortColumn, IsWin9xFamily(services_.system)));
            }
            if (selected) {
                SelectRecordRow(FindShownRecord(*selected));
            }
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
        if (auto row = AddListRow(item, 0)) {
            model_->Append({std::move(*row), IsPending(item), true});
            SelectRecordRow(&item);
        }
        FitColumns();
        UpdatePendingSigns();
    });
}

void TMainForm::ButtonEditClick() {
    Guard([&] {
        const int selected = SelectedModelRowOrSay();
        if (selected < 0) {
            return;
        }
        const ListRow row = model_->At(selected).shown;
        const int index = FindRecordForEdit(session_.Items(), row.caption, row.location);
        if (index >= 0) {
            if (const auto refusal = EditRefusal(*session_.Items().Items[static_cast<std::size_t>(index)])) {
                services_.dialogs.ShowMessage(*refusal, MessageKind::Information, MessageButtons::Ok);
                return;
            }
        }
        formAdd_->PrepareEdit(ShownName(row.caption), std::string(RowCommand(row.commandCell)), row.location,
                              index);
        formAdd_->exec();
        if (!formAdd_->Accepted() || index < 0) {
            return;
        }
        EditEntry(session_.Items(), index, formAdd_->NameText(), formAdd_->CommandText(),
                  formAdd_->LocationText(), services_, session_.Database(), icons_);
        model_->UpdateTexts(selected, *session_.Items().Items[static_cast<std::size_t>(index)]);
        FitColumns();
        UpdatePendingSigns();
        ShowCurrentPage(); // the page describes the entry as it is now
    });
}

void TMainForm::ButtonShowChangesClick(bool only) {
    Guard([&] {
        const StartupItem* record = SelectedRow() ? SelectedRow()->item : nullptr;
        changesOnly_ = only;
        ApplyFilter();
        SelectRecordRow(record);
    });
}

void TMainForm::ButtonDisableReturnedClick() {
    Guard([&] {
        const StartupItem* record = SelectedRow() ? SelectedRow()->item : nullptr;
        for (const StartupItem* item : session_.Items().LoadedItems) {
            if (item->Change == ChangeMark::Returned && item->State == ItemState::Enabled) {
                SetCheckedState(session_.Items(), {item->Name, item->Location, ShownCommand(*item)}, false);
            }
        }
        RefreshList();
        SelectRecordRow(record);
    });
}

void TMainForm::ButtonShowRemovedClick() {
    Guard([&] { ShowRemovedEntries(this, session_.Watch().Removed()); });
}

void TMainForm::ButtonAcceptChangesClick() {
    Guard([&] {
        const StartupItem* record = SelectedRow() ? SelectedRow()->item : nullptr;
        session_.Accept();
        RefreshList();
        SelectRecordRow(record);
    });
}

} // namespace qb
