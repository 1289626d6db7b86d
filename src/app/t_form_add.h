#pragma once

#ifndef Q_MOC_RUN
#include "changes/entry_editor.h"
#include "platform/platform_services.h"
#endif

#include <QDialog>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;

namespace qb {

// The entry editor: a startup entry's name, command line and place. OK takes the texts only when they
// pass the editor's checks; the main window then adds or changes the record.
class TFormAdd : public QDialog {
    Q_OBJECT

public:
    TFormAdd(PlatformServices services, const Inventory& inventory, QWidget* parent = nullptr);

    // Prepares the dialog for a new entry or for the record at editIndex (-1: adding).
    void PrepareAdd();
    void PrepareEdit(const std::string& name, const std::string& command, const std::string& location,
                     int editIndex);

    bool Accepted() const { return accepted_; }
    int EditIndex() const { return editIndex_; }
    std::string NameText() const;
    std::string CommandText() const;
    std::string LocationText() const;

    void FormShow();

public slots:
    void ButtonOKClick();
    void ButtonCancelClick();
    void ButtonFindClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void SetLocationText(const std::string& location);

    PlatformServices services_;
    const Inventory& inventory_;
    bool adding_ = true; // a new entry, rather than one on the list
    int editIndex_ = -1;
    // The texts the editor opened with: a box the user leaves alone gives them back as they were.
    std::string shownName_;
    std::string shownCommand_;
    bool accepted_ = false;
    QLineEdit* editName_ = nullptr;
    QLineEdit* editPath_ = nullptr;
    QComboBox* comboLocation_ = nullptr;
};

} // namespace qb
