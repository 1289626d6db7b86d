// The desktop tool's main window on Windows' own services, under Wine: what reg.exe and Wine's shell put
// where Windows starts programs is what the window lists; what the window applies is what reg.exe then
// reads back. The window, its dialogs and its message boxes are the program's own (QtDialogs); the test
// clicks and types as a user would.
#include "app/app_host.h"
#include "app/qt_dialogs.h"
#include "app/t_main_form.h"
#include "platform/text.h"
#include "platform/win32/win32_api.h"
#include "win32/child_process.h"
#include "win32/gui_driver.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <objidl.h>
#include <shlobj.h>

namespace qb::test {

namespace {

using ::testing::ElementsAre;

const std::string kRun = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kRunDisabled = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\RunDisabled";
const std::string kToolKey = "HKCU\\Software\\Quillbrook";
const char* const kLinkName = "Qb Gui Link";

ProgramOutput Reg(const std::string& arguments) {
    auto result = RunProgram("reg.exe " + arguments);
    EXPECT_TRUE(result.has_value()) << "reg.exe " << arguments;
    return result.value_or(ProgramOutput{1, {}});
}

// What `reg query KEY /v NAME` prints for the value, as "TYPE DATA"; "" when reg.exe finds none.
std::string RegQuery(const std::string& key, const std::string& name) {
    const ProgramOutput out = Reg("query \"" + key + "\" /v " + name);
    if (out.exitCode != 0) {
        return {};
    }
    std::size_t start = 0;
    while (start < out.output.size()) {
        const auto end = std::min(out.output.find('\n', start), out.output.size());
        std::string line = out.output.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.pop_back();
        }
        const auto first = line.find_first_not_of(' ');
        if (first == std::string::npos || line.compare(first, name.size() + 1, name + " ") != 0) {
            continue;
        }
        // NAME, then the type, then the data, separated by runs of spaces.
        std::string rest = line.substr(first + name.size());
        rest.erase(0, rest.find_first_not_of(' '));
        const auto typeEnd = rest.find(' ');
        if (typeEnd == std::string::npos) {
            return rest;
        }
        const std::string type = rest.substr(0, typeEnd);
        rest.erase(0, typeEnd);
        rest.erase(0, rest.find_first_not_of(' '));
        return type + " " + rest;
    }
    return {};
}

std::string WindowsPathOf(int csidl) {
    char path[MAX_PATH] = {};
    EXPECT_EQ(::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path), S_OK);
    return path;
}

std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.rfind('\\'));
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    ASSERT_TRUE(out.good()) << path;
}

std::string Replaced(std::string text, char from, char to) {
    std::replace(text.begin(), text.end(), from, to);
    return text;
}

// The subkeys `reg query HKCU\...` lists, as full names.
std::vector<std::string> RegSubkeys(const std::string& key) {
    const std::string full = "HKEY_CURRENT_USER" + key.substr(4) + "\\";
    std::vector<std::string> keys;
    const ProgramOutput out = Reg("query \"" + key + "\"");
    std::size_t start = 0;
    while (start < out.output.size()) {
        const auto end = std::min(out.output.find('\n', start), out.output.size());
        std::string line = out.output.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.pop_back();
        }
        if (line.size() > full.size() && EqualsIgnoreCase(line.substr(0, full.size()), full)) {
            keys.push_back(line);
        }
    }
    return keys;
}

bool Exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A shortcut saved by the system's own shell (IShellLink and IPersistFile), as an installer makes one.
void SaveShellLink(const std::string& path, const std::string& target, const std::string& arguments) {
    IShellLinkA* link = nullptr;
    ASSERT_EQ(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link)),
              S_OK);
    link->SetPath(target.c_str());
    link->SetArguments(arguments.c_str());
    IPersistFile* file = nullptr;
    HRESULT saved = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(saved)) {
        const std::wstring wide(path.begin(), path.end()); // the test's paths are ASCII
        saved = file->Save(wide.c_str(), TRUE);
        file->Release();
    }
    link->Release();
    ASSERT_EQ(saved, S_OK) << path;
}

// A shortcut's target and arguments as the system's shell reads them: "TARGET | ARGUMENTS".
std::string LoadShellLink(const std::string& path) {
    IShellLinkA* link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&link)))) {
        return "(no shell link object)";
    }
    std::string result = "(cannot load " + path + ")";
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        const std::wstring wide(path.begin(), path.end());
        if (SUCCEEDED(file->Load(wide.c_str(), STGM_READ))) {
            char target[MAX_PATH] = {};
            char arguments[MAX_PATH] = {};
            link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
            link->GetArguments(arguments, MAX_PATH);
            result = std::string(target) + " | " + arguments;
        }
        file->Release();
    }
    link->Release();
    return result;
}

// The tool's folder is this test program's: the program database, the page template and the start page
// lie beside it, and the tool's backups and disabled shortcuts go there.
class WindowOnWindows : public ::testing::Test {
protected:
    void SetUp() override {
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        tool_ = ProgramFolder();
        startup_ = WindowsPathOf(CSIDL_STARTUP);
        CleanUp();
        // A database of our own, so that every rating below is known: one entry by name, one by its
        // program file, the shortcut by its name; QbGuiBeta is in none.
        WriteFile(tool_ + "\\st.dat", "[QbGuiAlpha]\r\nConfirmed=N\r\nDescription=Alpha helper\r\n"
                                      "[Qb Gui Link]\r\nConfirmed=U\r\nDescription=Link helper\r\n");
        WriteFile(tool_ + "\\sn.dat", "");
        WriteFile(tool_ + "\\fn.dat", "[QBGUIOFF.EXE]\r\nConfirmed=X\r\nDescription=Off helper\r\n");
        WriteFile(tool_ + "\\sp.dat", "[general]\r\ncount=0\r\n");
        WriteFile(tool_ + "\\infotpl.dat", "<html><body><h3><!--name--></h3><p><!--path--></p><p><!--locate--></p>"
                                           "<p><!--rate--></p><p><!--comment--></p><p><!--Memory--></p></body></html>");
        WriteFile(tool_ + "\\mess.htm", "<html><body><p>Start page</p></body></html>");

        ASSERT_EQ(Reg("add \"" + kRun + "\" /v QbGuiAlpha /t REG_SZ /d \"C:\\windows\\notepad.exe /alpha\" /f")
                      .exitCode,
                  0u);
        ASSERT_EQ(Reg("add \"" + kRun + "\" /v QbGuiBeta /t REG_EXPAND_SZ /d \"%SystemRoot%\\system32\\cmd.exe /c "
                                        "beta\" /f")
                      .exitCode,
                  0u);
        ASSERT_EQ(Reg("add \"" + kRunDisabled + "\" /v QbGuiOff /t REG_SZ /d \"C:\\Gone\\qbguioff.exe\" /f").exitCode,
                  0u);
        SaveShellLink(startup_ + "\\" + kLinkName + ".lnk", "C:\\windows\\notepad.exe", "/link");
    }

    void TearDown() override {
        form_.reset();
        dialogs_.reset();
        host_.reset();
        CleanUp();
        ::CoUninitialize();
    }

    void CleanUp() {
        for (const std::string& key : {kRun, kRunDisabled}) {
            for (const char* name : {"QbGuiAlpha", "QbGuiBeta", "QbGuiOff", "QbGuiNew"}) {
                Reg("delete \"" + key + "\" /v " + name + " /f");
            }
        }
        Reg("delete \"" + kToolKey + "\" /f");
        ::DeleteFileA((startup_ + "\\" + kLinkName + ".lnk").c_str());
        ::DeleteFileA((tool_ + "\\ShortCutCurrUser\\" + kLinkName + ".lnk").c_str());
        ::DeleteFileA((tool_ + "\\backup\\Gui Backup.qbk").c_str());
        // Every test starts as the tool's first run: no setting accepted before.
        ::DeleteFileA((tool_ + "\\backup\\Accepted Setting.qbk").c_str());
        ::DeleteFileA((tool_ + "\\info.htm").c_str());
    }

    // The window as main() makes it: the host of this computer, the program's own dialogs.
    void Open() {
        std::string error;
        host_ = OpenAppHost(std::nullopt, error);
        ASSERT_NE(host_, nullptr) << error;
        dialogs_ = std::make_unique<QtDialogs>(host_->Paths());
        host_->SetDialogs(*dialogs_);
        form_ = std::make_unique<TMainForm>(host_->Services(), host_->Paths());
        dialogs_->SetOwner(form_.get());
        form_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
    }

    QTreeView* List() { return form_->findChild<QTreeView*>(QStringLiteral("ListViewFix")); }
    QAbstractButton* Button(const char* name) { return form_->findChild<QAbstractButton*>(QLatin1String(name)); }

    // The list's row at this position, top to bottom, read through the list's model as it paints it.
    test::ShownRow RowAt(int position) { return test::ShownRow(List(), List()->model()->index(position, 0)); }
    // The first row with this name; empty when there is none.
    test::ShownRow Row(const std::string& caption) {
        for (int i = 0; i < List()->model()->rowCount(); ++i) {
            if (RowAt(i).text(0).toStdString() == caption) {
                return RowAt(i);
            }
        }
        return {};
    }

    // Our rows, as the list shows them: name, command, location, rating, and the check box.
    std::vector<std::string> OurRows() {
        std::vector<std::string> rows;
        for (int i = 0; i < List()->model()->rowCount(); ++i) {
            const test::ShownRow item = RowAt(i);
            const std::string caption = item.text(0).toStdString();
            if (caption.rfind("QbGui", 0) != 0 && caption.rfind("Qb Gui", 0) != 0) {
                continue;
            }
            rows.push_back(caption + " | " + item.text(1).toStdString() + " | " + item.text(2).toStdString() +
                           " | " + item.text(3).toStdString() + " | " +
                           (item.checkState(0) == Qt::Checked ? "on" : "off"));
        }
        return rows;
    }

    std::string tool_;
    std::string startup_;
    std::unique_ptr<AppHost> host_;
    std::unique_ptr<QtDialogs> dialogs_;
    std::unique_ptr<TMainForm> form_;
};

TEST_F(WindowOnWindows, ListsWhatRegAndTheShellPutThere) {
    Open();
    // A shortcut is listed as Windows runs it: its target, then its arguments.
    EXPECT_THAT(
        OurRows(),
        ElementsAre("QbGuiAlpha | C:\\windows\\notepad.exe /alpha | Current User\\Registry\\Run | "
                    "Not Required | on",
                    // An expandable value is listed as stored.
                    "QbGuiBeta | %SystemRoot%\\system32\\cmd.exe /c beta | Current User\\Registry\\Run | "
                    "Unknown | on",
                    "QbGuiOff | [Invalid Path]C:\\Gone\\qbguioff.exe | Current User\\Registry\\Run | "
                    "Hamful | off",
                    "Qb Gui Link | C:\\windows\\notepad.exe /link | Current User\\Startup Menu | "
                    "User's Choice | on"));
}

TEST_F(WindowOnWindows, UntickingAndApplyMovesTheEntriesWhereRegAndTheFolderShowThem) {
    Open();
    ASSERT_EQ(RegQuery(kRun, "QbGuiAlpha"), "REG_SZ C:\\windows\\notepad.exe /alpha");
    test::ClickCheckBox(List(), Row("QbGuiAlpha"));
    test::ClickCheckBox(List(), Row("Qb Gui Link"));
    test::ClickCheckBox(List(), Row("QbGuiOff")); // ticked: enabled again
    ASSERT_EQ(Row("QbGuiAlpha").checkState(0), Qt::Unchecked);

    ModalScript script;
    std::vector<std::string> listed;
    script.WhenModal([&](QWidget* dialog) {
        EXPECT_EQ(dialog->objectName(), "TDlgApply");
        auto* changes = dialog->findChild<QTreeWidget*>(QStringLiteral("SnListViewChanges"));
        for (int i = 0; changes && i < changes->topLevelItemCount(); ++i) {
            listed.push_back(changes->topLevelItem(i)->text(0).toStdString() + " " +
                             changes->topLevelItem(i)->text(1).toStdString());
        }
        auto* backup = dialog->findChild<QCheckBox*>(QStringLiteral("CheckBoxBackup"));
        ASSERT_NE(backup, nullptr);
        ASSERT_TRUE(backup->isChecked()); // a first run: the automatic backup is on
        test::ClickIndicator(backup);      // not in this test
        EXPECT_FALSE(backup->isChecked());
        test::Press(dialog->findChild<QPushButton*>(QStringLiteral("SnButtonOK")));
    });
    test::Press(Button("ToolButtonApply"));

    EXPECT_THAT(listed, ElementsAre("Disable QbGuiAlpha", "Enable QbGuiOff", "Disable Qb Gui Link"));
    EXPECT_EQ(RegQuery(kRun, "QbGuiAlpha"), "");
    EXPECT_EQ(RegQuery(kRunDisabled, "QbGuiAlpha"), "REG_SZ C:\\windows\\notepad.exe /alpha");
    EXPECT_EQ(RegQuery(kRun, "QbGuiOff"), "REG_SZ C:\\Gone\\qbguioff.exe");
    EXPECT_EQ(RegQuery(kRunDisabled, "QbGuiOff"), "");
    EXPECT_EQ(RegQuery(kRun, "QbGuiBeta"), "REG_EXPAND_SZ %SystemRoot%\\system32\\cmd.exe /c beta"); // untouched
    EXPECT_FALSE(Exists(startup_ + "\\" + kLinkName + ".lnk"));
    // Kept aside whole: target and arguments.
    EXPECT_EQ(LoadShellLink(tool_ + "\\ShortCutCurrUser\\" + kLinkName + ".lnk"), "C:\\windows\\notepad.exe | /link");
    // The list is read again from the system after the apply: the run key's values first, then its
    // disabled twin's.
    EXPECT_THAT(
        OurRows(),
        ElementsAre("QbGuiBeta | %SystemRoot%\\system32\\cmd.exe /c beta | Current User\\Registry\\Run | "
                    "Unknown | on",
                    "QbGuiOff | [Invalid Path]C:\\Gone\\qbguioff.exe | Current User\\Registry\\Run | "
                    "Hamful | on",
                    "QbGuiAlpha | C:\\windows\\notepad.exe /alpha | Current User\\Registry\\Run | "
                    "Not Required | off",
                    "Qb Gui Link | C:\\windows\\notepad.exe /link | Current User\\Startup Menu | "
                    "User's Choice | off"));
}

TEST_F(WindowOnWindows, TheBackupDialogWritesABackupFileAndItsIndexEntry) {
    Open();
    const std::string file = tool_ + "\\backup\\Gui Backup.qbk";
    ModalScript script;
    std::vector<std::string> shown;
    script.WhenModal([&](QWidget* dialog) {
        EXPECT_EQ(dialog->objectName(), "TDlgBackup");
        test::Press(dialog->findChild<QPushButton*>(QStringLiteral("SnButtonNew"))); // opens the file dialog
        auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("ListViewBackup"));
        for (int i = 0; list && i < list->topLevelItemCount(); ++i) {
            shown.push_back(list->topLevelItem(i)->text(1).toStdString() + " | " +
                            list->topLevelItem(i)->text(2).toStdString());
        }
        test::Press(dialog->findChild<QPushButton*>(QStringLiteral("ButtonClose")));
    });
    script.WhenModal([&](QWidget* dialog) {
        auto* fileDialog = qobject_cast<QFileDialog*>(dialog);
        ASSERT_NE(fileDialog, nullptr) << dialog->metaObject()->className();
        auto* name = fileDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setFocus();
        QTest::keyClicks(name, QStringLiteral("Gui Backup"));
        QTest::keyClick(name, Qt::Key_Return);
    });
    test::Press(Button("ToolButtonBackup"));

    // The dialog's list, the index as reg.exe sees it, and the file: every entry the window knows.
    const std::size_t items = form_->Items().Items.size();
    ASSERT_GE(items, 4u);
    EXPECT_THAT(shown, ElementsAre(file + " | " + std::to_string(items)));
    const auto entries = RegSubkeys(kToolKey + "\\BackupIndex");
    ASSERT_EQ(entries.size(), 1u);
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%zx", items);
    EXPECT_EQ(RegQuery(entries[0], "FilePath"), "REG_SZ " + file);
    EXPECT_EQ(RegQuery(entries[0], "Count"), std::string("REG_DWORD ") + hex);
    ASSERT_TRUE(Exists(file));
}

TEST_F(WindowOnWindows, SelectingARowShowsItsInformationPage) {
    Open();
    auto* browser = form_->findChild<QTextBrowser*>(QStringLiteral("CppWebBrowserInfo"));
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->toPlainText().toStdString(), "Start page");
    test::ClickRow(List(), Row("QbGuiAlpha"));
    EXPECT_EQ(browser->source().toLocalFile().toStdString(), Replaced(tool_, '\\', '/') + "/info.htm");
    EXPECT_EQ(browser->toPlainText().toStdString(),
              "QbGuiAlpha\nC:\\windows\\notepad.exe /alpha\nCurrent User\\Registry\\Run\nNot Required\nAlpha helper\n"
              "N/A (This program is not running)");
    test::ClickRow(List(), Row("Qb Gui Link"));
    EXPECT_EQ(browser->toPlainText().toStdString(), "Qb Gui Link\nC:\\windows\\notepad.exe /link\nCurrent "
                                                    "User\\Startup Menu\nUser's Choice\nLink helper\n"
                                                    "N/A (This program is not running)");
}

// A program that adds itself while the tool is closed: the next start marks it, as reg.exe put it there.
TEST_F(WindowOnWindows, AValueAddedWhileTheToolWasClosedIsMarkedNew) {
    Open();
    ASSERT_FALSE(form_->findChild<QWidget*>(QStringLiteral("PanelChanges"))->isVisible()) << "a first run";
    form_.reset();
    ASSERT_EQ(Reg("add \"" + kRun + "\" /v QbGuiNew /t REG_SZ /d \"C:\\windows\\notepad.exe /new\" /f").exitCode, 0u);
    Open();
    Reg("delete \"" + kRun + "\" /v QbGuiNew /f");
    EXPECT_TRUE(form_->findChild<QWidget*>(QStringLiteral("PanelChanges"))->isVisible());
    EXPECT_EQ(form_->findChild<QLabel*>(QStringLiteral("LabelChanges"))->text().toStdString(),
              "Since you last accepted the startup setting: 1 new entry.");
    test::Press(form_->findChild<QAbstractButton*>(QStringLiteral("ButtonShowChanges")));
    EXPECT_THAT(OurRows(), ElementsAre("QbGuiNew | C:\\windows\\notepad.exe /new | Current User\\Registry\\Run | "
                                       "Unknown | on"));
}

} // namespace

} // namespace qb::test
