#pragma once

// moc need not read the core's headers (its parser stops at some C++20 library headers).
#ifndef Q_MOC_RUN
#include "backup/backup_index.h"
#include "platform/platform_services.h"
#include "session/startup_session.h"
#endif

#include <QDialog>
#include <string>
#include <vector>

class QTreeWidget;

namespace qb {

// "Backup & Restore": the backups the tool wrote, listed from the backup index, with New Backup, Load
// Setting, Delete, Delete All, View and Close. Loading happens after the dialog closes: it only hands the
// chosen file back (ChosenFile).
class TDlgBackup : public QDialog {
    Q_OBJECT

public:
    TDlgBackup(PlatformServices services, StartupSession& session, QWidget* parent = nullptr);

    const std::string& ChosenFile() const { return chosenFile_; }
    const std::vector<BackupIndexRow>& Rows() const { return rows_; }

    // Runs when the dialog opens: the list sorted by time, oldest first, and no file chosen.
    void FormShow();
    void RefreshBackupList();

public slots:
    void SnButtonNewClick();
    void SnButtonLoadClick();
    void SnButtonDeleteClick();
    void SnButtonDeleteAllClick();
    void SnButtonViewClick();
    void ListViewBackupDblClick();
    void ButtonCloseClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowRows();
    const BackupIndexRow* SelectedRow() const;
    void Tell(std::string_view text);
    // Opens a backup file in the text viewer ("notepad.exe " and the path, as the backup index does).
    void View(const std::string& path);
    void Guard(const std::function<void()>& handler);

    PlatformServices services_;
    StartupSession& session_;          // writes the backups
    std::vector<BackupIndexRow> rows_; // row i is the list's item i
    std::string chosenFile_;
    QTreeWidget* list_ = nullptr;
};

} // namespace qb
