#include "app/t_form_add.h"

#include "app/dialog_header.h"
#include "app/qt_text.h"
#include "inventory/field_text.h"
#include "platform/text.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qb {

namespace {

// A record's name holds 259 bytes: the box takes no more, cut at a whole character. The command box takes
// any length, so that it shows a longer command whole; the checks refuse a longer one typed in.
void LimitTo259Bytes(QLineEdit* edit) {
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit](const QString& text) {
        const std::string bytes = text.toStdString();
        if (bytes.size() > FieldText::kLimit) {
            const int cursor = edit->cursorPosition();
            edit->setText(Q(CutAtCharBoundary(bytes, FieldText::kLimit)));
            edit->setCursorPosition(std::min(cursor, static_cast<int>(edit->text().size())));
        }
    });
}

} // namespace

TFormAdd::TFormAdd(PlatformServices services, const Inventory& inventory, QWidget* parent)
    : QDialog(parent), services_(services), inventory_(inventory) {
    setObjectName(QStringLiteral("TFormAdd"));
    setWindowTitle(QStringLiteral("Adding a startup program"));
    setModal(true);
    resize(470, 230);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);

    layout->addWidget(MakeHeaderBand(this, QStringLiteral("Startup Program Setting"), Qt::white,
                                     QColor(0x1F, 0x3A, 0x68), 1.3));

    auto* form = new QFormLayout();
    form->setContentsMargins(10, 4, 10, 4);
    editName_ = new QLineEdit(Q(kNewEntryName), this);
    editName_->setObjectName(QStringLiteral("EditName"));
    LimitTo259Bytes(editName_);
    form->addRow(QStringLiteral("Program Name:"), editName_);

    auto* pathRow = new QHBoxLayout();
    editPath_ = new QLineEdit(this);
    editPath_->setObjectName(QStringLiteral("EditPath"));
    auto* find = new QPushButton(QStringLiteral("Find..."), this);
    find->setObjectName(QStringLiteral("ButtonFind"));
    find->setAutoDefault(false);
    connect(find, &QPushButton::clicked, this, &TFormAdd::ButtonFindClick);
    pathRow->addWidget(editPath_, 1);
    pathRow->addWidget(find);
    form->addRow(QStringLiteral("Command Path:"), pathRow);

    comboLocation_ = new QComboBox(this);
    comboLocation_->setObjectName(QStringLiteral("ComboBoxLocation"));
    comboLocation_->setEditable(false);
    for (const auto label : EditorLocations(services_.system.Version())) {
        comboLocation_->addItem(Q(label));
    }
    comboLocation_->setCurrentIndex(0);
    form->addRow(QStringLiteral("Location:"), comboLocation_);
    layout->addLayout(form);
    layout->addStretch(1);

    auto* buttons = new QHBoxLayout();
    buttons->setContentsMargins(10, 0, 10, 0);
    buttons->addStretch(1);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ButtonOK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("ButtonCancel"));
    connect(ok, &QPushButton::clicked, this, &TFormAdd::ButtonOKClick);
    connect(cancel, &QPushButton::clicked, this, &TFormAdd::ButtonCancelClick);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
}

std::string TFormAdd::NameText() const {
    return editName_->text().toStdString();
}
std::string TFormAdd::CommandText() const {
    return editPath_->text().toStdString();
}
std::string TFormAdd::LocationText() const {
    return comboLocation_->currentText().toStdString();
}

void TFormAdd::SetLocationText(const std::string& location) {
    // Any label may stand in the box, also one the list does not offer.
    int index = comboLocation_->findText(Q(location), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        comboLocation_->addItem(Q(location));
        index = comboLocation_->count() - 1;
    }
    comboLocation_->setCurrentIndex(index);
}

void TFormAdd::PrepareAdd() {
    setWindowTitle(QStringLiteral("Adding a startup program"));
    adding_ = true;
    editIndex_ = -1;
    shownName_.clear();
    shownCommand_.clear();
    editName_->setText(Q(kNewEntryName));
    editPath_->clear(); // the location keeps what it had when the dialog last closed
}

void TFormAdd::PrepareEdit(const std::string& name, const std::string& command, const std::string& location,
                           int editIndex) {
    setWindowTitle(QStringLiteral("Editing a startup program"));
    adding_ = false;
    editName_->setText(Q(name));
    editPath_->setText(Q(command));
    SetLocationText(location);
    editIndex_ = editIndex;
    shownName_ = NameText(); // as the box holds it, cut to what it takes
    shownCommand_ = CommandText();
}

void TFormAdd::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TFormAdd::FormShow() {
    accepted_ = false;
    editName_->setFocus();
}

void TFormAdd::ButtonOKClick() {
    editName_->setText(Q(EditorText(shownName_, NameText())));
    editPath_->setText(Q(EditorText(shownCommand_, CommandText())));
    if (const auto problem =
            EditorInputProblem(inventory_, NameText(), CommandText(), LocationText(), editIndex_)) {
        services_.dialogs.ShowMessage(*problem, MessageKind::Information, MessageButtons::Ok);
        return;
    }
    accepted_ = true;
    accept();
}

void TFormAdd::ButtonCancelClick() {
    accepted_ = false;
    reject();
}

void TFormAdd::ButtonFindClick() {
    FileDialogOptions options;
    options.filter = std::string(kFindFilter);
    // On the system's drive, where the programs are; the folder the tool was started from may not be.
    const std::string windows = services_.system.WindowsDirectory();
    options.initialDirectory =
        windows.size() >= 2 && windows[1] == ':' ? windows.substr(0, 2) + "\\" : "C:\\";
    if (const auto chosen = services_.dialogs.ChooseFileToOpen(options)) {
        editPath_->setText(Q(FoundCommand(*chosen)));
        // A name the user gave stays; an empty box, or the new entry's name as the editor preset it, takes
        // the file's.
        const std::string name = TrimEditorText(NameText());
        if (name.empty() || (adding_ && name == kNewEntryName)) {
            editName_->setText(Q(FoundName(*chosen)));
        }
    }
}

} // namespace qb
