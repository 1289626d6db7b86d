#include "app/t_dlg_backup.h"

#include "app/dialog_header.h"
#include "app/dialog_list.h"
#include "app/qt_text.h"
#include "backup/backup_file.h"
#include "platform/platform_error.h"
#include "platform/text.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace qb {

TDlgBackup::TDlgBackup(PlatformServices services, StartupSession& session, QWidget* parent)
    : QDialog(parent), services_(services), session_(session) {
    setObjectName(QStringLiteral("TDlgBackup"));
    setWindowTitle(QStringLiteral("Backup & Restore"));
    setModal(true);
    resize(560, 360);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);

    layout->addWidget(MakeHeaderBand(this, QStringLiteral("Backup and Restore Tools"), Qt::white,
                                     QColor(0x1F, 0x3A, 0x68), 1.4));

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("ListViewBackup"));
    list_->setColumnCount(3);
    list_->setHeaderLabels(
        {QStringLiteral("Time"), QStringLiteral("Full File Name"), QStringLiteral("Number of Items")});
    list_->setRootIsDecorated(false);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->header()->setSectionsClickable(false);
    list_->header()->resizeSection(0, 105);
    list_->header()->resizeSection(1, 300);
    list_->header()->resizeSection(2, 90);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { ListViewBackupDblClick(); });
    auto* listLayout = new QVBoxLayout();
    listLayout->setContentsMargins(8, 0, 8, 0);
    listLayout->addWidget(list_);
    layout->addLayout(listLayout, 1);

    auto* buttons = new QHBoxLayout();
    buttons->setContentsMargins(8, 0, 8, 0);
    const auto button = [&](const char* name, const QString& caption, void (TDlgBackup::*handler)()) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, handler);
        buttons->addWidget(b);
    };
    button("SnButtonNew", QStringLiteral("New Backup"), &TDlgBackup::SnButtonNewClick);
    button("SnButtonLoad", QStringLiteral("Load Setting"), &TDlgBackup::SnButtonLoadClick);
    button("SnButtonDelete", QStringLiteral("Delete"), &TDlgBackup::SnButtonDeleteClick);
    button("SnButtonDeleteAll", QStringLiteral("Delete All"), &TDlgBackup::SnButtonDeleteAllClick);
    button("SnButtonView", QStringLiteral("View"), &TDlgBackup::SnButtonViewClick);
    buttons->addStretch(1);
    button("ButtonClose", QStringLiteral("Close"), &TDlgBackup::ButtonCloseClick);
    layout->addLayout(buttons);
}

void TDlgBackup::Guard(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const PlatformError& error) {
        services_.dialogs.ShowMessage(error.what(), MessageKind::Error, MessageButtons::Ok);
    }
}

void TDlgBackup::Tell(std::string_view text) {
    services_.dialogs.ShowMessage(text, MessageKind::Information, MessageButtons::Ok);
}

void TDlgBackup::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TDlgBackup::FormShow() {
    Guard([&] {
        RefreshBackupList();
        // The names are fixed-width times: in text order the oldest backup comes first.
        std::stable_sort(rows_.begin(), rows_.end(), [](const BackupIndexRow& a, const BackupIndexRow& b) {
            return LessIgnoreCase(a.time, b.time);
        });
        ShowRows();
        chosenFile_.clear();
    });
}

void TDlgBackup::RefreshBackupList() {
    rows_ = ReadBackupIndex(services_.registry);
    ShowRows();
}

void TDlgBackup::ShowRows() {
    list_->clear();
    for (const auto& row : rows_) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, Q(row.time));
        item->setText(1, Q(row.filePath));
        item->setText(2, row.count ? QString::number(*row.count) : QString());
    }
    FitDialogList(*this, *list_, {105, 300, 90});
}

const BackupIndexRow* TDlgBackup::SelectedRow() const {
    const auto selected = list_->selectedItems();
    if (selected.isEmpty()) {
        return nullptr;
    }
    const int index = list_->indexOfTopLevelItem(selected.front());
    return index >= 0 && static_cast<std::size_t>(index) < rows_.size()
               ? &rows_[static_cast<std::size_t>(index)]
               : nullptr;
}

void TDlgBackup::SnButtonNewClick() {
    Guard([&] {
        FileDialogOptions options;
        options.filter = std::string(kBackupFilter);
        // The tool's backup folder, on the system's drive: a save there always works.
        options.initialDirectory = JoinPath(services_.files.ExecutableDirectory(), "backup");
        const auto chosen = services_.dialogs.ChooseFileToSave(options);
        // The list is built again in every case, even after Cancel or a failed write; it is sorted only at
        // the next opening.
        try {
            if (chosen) {
                // The system as it is, as the backup before an apply records it: changes not applied are
                // no setting of the system yet.
                session_.Backup(BackupFileName(*chosen), BackupContent::AsLoaded);
            }
        } catch (const PlatformError&) {
            RefreshBackupList();
            throw;
        }
        RefreshBackupList();
    });
}

void TDlgBackup::SnButtonLoadClick() {
    Guard([&] {
        const BackupIndexRow* row = SelectedRow();
        if (row == nullptr) {
            Tell("Please select an item.");
            return;
        }
        if (!services_.files.FileExists(row->filePath)) {
            Tell("Backup file not exist.");
            return;
        }
        chosenFile_ = row->filePath;
        accept();
    });
}

void TDlgBackup::SnButtonDeleteClick() {
    Guard([&] {
        const BackupIndexRow* row = SelectedRow();
        if (row == nullptr) {
            Tell("Please select a file.");
            return;
        }
        if (services_.dialogs.ShowMessage(DeleteBackupQuestion(row->filePath), MessageKind::Confirmation,
                                          MessageButtons::YesNo) != DialogResult::Yes) {
            return;
        }
        DeleteBackup(*row, services_);
        RefreshBackupList();
    });
}

void TDlgBackup::SnButtonDeleteAllClick() {
    Guard([&] {
        if (services_.dialogs.ShowMessage(kDeleteAllQuestion, MessageKind::Confirmation,
                                          MessageButtons::YesNo) != DialogResult::Yes) {
            return;
        }
        DeleteAllBackups(services_);
        RefreshBackupList();
    });
}

void TDlgBackup::SnButtonViewClick() {
    Guard([&] {
        const BackupIndexRow* row = SelectedRow();
        if (row == nullptr) {
            Tell("Please select a file.");
            return;
        }
        if (!services_.files.FileExists(row->filePath)) {
            Tell("Backup file not exist.");
            return;
        }
        View(row->filePath);
    });
}

void TDlgBackup::ListViewBackupDblClick() {
    Guard([&] {
        if (const BackupIndexRow* row = SelectedRow()) {
            View(row->filePath);
        }
    });
}

void TDlgBackup::View(const std::string& path) {
    // WinExec's result: above 31 the viewer started. Otherwise the user hears of it instead of waiting.
    if (services_.shell.RunCommand("notepad.exe " + path, kShowNormal) <= 31) {
        Tell("Could not open " + path + " in a text viewer.");
    }
}

void TDlgBackup::ButtonCloseClick() {
    reject();
}

} // namespace qb
