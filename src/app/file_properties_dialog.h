#pragma once

#include <QDialog>
#include <filesystem>
#include <string>

namespace qb {

// The properties of a file of the simulated system: name, location, size, dates and attributes, as the
// Windows properties sheet shows them.
class FilePropertiesDialog : public QDialog {
    Q_OBJECT
public:
    FilePropertiesDialog(const std::string& windowsPath, const std::filesystem::path& hostPath,
                         QWidget* parent = nullptr);
};

} // namespace qb
