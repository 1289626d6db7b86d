#pragma once

#ifndef Q_MOC_RUN
#include "changes/apply_dialog_rows.h"
#include "changes/apply_engine.h"
#include "platform/platform_services.h"
#endif

#include <QDialog>

class QCheckBox;
class QLabel;
class QTreeWidget;

namespace qb {

// "Apply Changes": every pending change, one row per entry, and whether to back up first. OK lets the
// apply go ahead. The window lives as long as the tool, so its box keeps its state between showings.
class TDlgApply : public QDialog, public ApplyConfirmation {
    Q_OBJECT

public:
    TDlgApply(PlatformServices services, QWidget* parent = nullptr);

    bool Accepted() const { return accepted_; }
    bool BackupTicked() const;
    // Fills the list and presets the box from the stored choice (it never ticks the box itself).
    void FormShow(const Inventory& inventory);
    // Shows the dialog modally for the inventory; the backup choice when OK was pressed.
    std::optional<bool> ConfirmWithBackupChoice(const Inventory& inventory) override;

public slots:
    void SnButtonOKClick();
    void SnButtonCancelClick();

private:
    PlatformServices services_;
    bool accepted_ = false;
    QCheckBox* checkBoxBackup_ = nullptr;
    QLabel* count_ = nullptr;
    QTreeWidget* list_ = nullptr;
};

} // namespace qb
