#include "app/t_dlg_apply.h"

#include "app/dialog_list.h"
#include "app/qt_text.h"
#include "changes/backup_choice.h"
#include "inventory/row_texts.h"
#include "inventory/startup_location.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace qb {

TDlgApply::TDlgApply(PlatformServices services, QWidget* parent) : QDialog(parent), services_(services) {
    setObjectName(QStringLiteral("TDlgApply"));
    setWindowTitle(QStringLiteral("Apply Changes"));
    setModal(true);
    setFixedSize(523, 344); // with a line for the count above the list
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->setSpacing(6);

    auto* band = new QLabel(QStringLiteral("Apply Changes to Startup Setting"), this);
    band->setObjectName(QStringLiteral("LabelHeader"));
    band->setFixedHeight(43);
    band->setIndent(12);
    band->setAutoFillBackground(true);
    QPalette palette = band->palette();
    palette.setColor(QPalette::Window, QColor(0x87, 0xCE, 0xEB)); // sky blue
    palette.setColor(QPalette::WindowText, Qt::white);
    band->setPalette(palette);
    QFont font = band->font();
    font.setPixelSize(13);
    font.setBold(true);
    band->setFont(font);
    layout->addWidget(band);

    checkBoxBackup_ = new QCheckBox(
        QStringLiteral("Automatically backup the current startup setting before applying the changes"), this);
    checkBoxBackup_->setObjectName(QStringLiteral("CheckBoxBackup"));
    checkBoxBackup_->setChecked(true);
    auto* boxRow = new QHBoxLayout();
    boxRow->setContentsMargins(8, 0, 8, 0);
    boxRow->addWidget(checkBoxBackup_);
    layout->addLayout(boxRow);

    // How many changes of which kinds, above the list: a long list need not be scrolled to be counted.
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("LabelChangeCount"));
    auto* countRow = new QHBoxLayout();
    countRow->setContentsMargins(8, 0, 8, 0);
    countRow->addWidget(count_);
    layout->addLayout(countRow);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("SnListViewChanges"));
    list_->setColumnCount(5);
    list_->setHeaderLabels({QStringLiteral("Changes"), QStringLiteral("Program Name"),
                            QStringLiteral("Command Path"), QStringLiteral("Location"),
                            QStringLiteral("Status")});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->header()->setSectionsClickable(false);
    const int widths[] = {80, 120, 150, 100, 55};
    for (int i = 0; i < 5; ++i) {
        list_->header()->resizeSection(i, widths[i]);
    }
    auto* listRow = new QHBoxLayout();
    listRow->setContentsMargins(8, 0, 8, 0);
    listRow->addWidget(list_);
    layout->addLayout(listRow, 1);

    auto* buttons = new QHBoxLayout();
    buttons->setContentsMargins(8, 0, 8, 0);
    buttons->addStretch(1);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("SnButtonOK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("SnButtonCancel"));
    connect(ok, &QPushButton::clicked, this, &TDlgApply::SnButtonOKClick);
    connect(cancel, &QPushButton::clicked, this, &TDlgApply::SnButtonCancelClick);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
}

bool TDlgApply::BackupTicked() const {
    return checkBoxBackup_->isChecked();
}

void TDlgApply::FormShow(const Inventory& inventory) {
    accepted_ = false;
    list_->clear();
    count_->setText(Q(ApplyDialogSummary(inventory)));
    for (const auto& row : ApplyDialogRows(inventory)) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, Q(row.changes));
        item->setText(1, Q(ShownName(row.name)));
        item->setText(2, Q(row.command));
        item->setText(3, Q(ShownLocation(row.location)));
        item->setText(4, Q(row.status));
    }
    FitDialogList(*this, *list_, {80, 120, 150, 100, 55});
    if (!StoredAutoBackupChoice(services_.registry)) {
        checkBoxBackup_->setChecked(false);
    }
}

std::optional<bool> TDlgApply::ConfirmWithBackupChoice(const Inventory& inventory) {
    FormShow(inventory);
    exec();
    return accepted_ ? std::optional(BackupTicked()) : std::nullopt;
}

void TDlgApply::SnButtonOKClick() {
    accepted_ = true;
    accept();
}

void TDlgApply::SnButtonCancelClick() {
    reject();
}

} // namespace qb
