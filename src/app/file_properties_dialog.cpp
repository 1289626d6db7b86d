#include "app/file_properties_dialog.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

namespace qb {

FilePropertiesDialog::FilePropertiesDialog(const std::string& windowsPath,
                                           const std::filesystem::path& hostPath, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("FilePropertiesDialog"));
    const QString path = QString::fromStdString(windowsPath);
    const QFileInfo info(QString::fromStdString(hostPath.string()));
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('\\')) + 1);
    setWindowTitle(name + QStringLiteral(" Properties"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout();
    const auto add = [&](const QString& label, const QString& value) {
        auto* text = new QLabel(value, this);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(label, text);
    };
    const QLocale locale;
    add(QStringLiteral("Name:"), name);
    add(QStringLiteral("Type:"),
        info.isDir() ? QStringLiteral("File folder") : info.suffix().toUpper() + QStringLiteral(" File"));
    add(QStringLiteral("Location:"), path.left(path.lastIndexOf(QLatin1Char('\\'))));
    if (!info.isDir()) {
        add(QStringLiteral("Size:"), locale.formattedDataSize(info.size()) +
                                         QStringLiteral(" (%1 bytes)").arg(locale.toString(info.size())));
    }
    add(QStringLiteral("Modified:"), locale.toString(info.lastModified(), QLocale::LongFormat));
    add(QStringLiteral("Attributes:"),
        info.isWritable() ? QStringLiteral("Archive") : QStringLiteral("Read-only"));
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

} // namespace qb
