#include "app/app_host.h"
#include "app/qt_dialogs.h"
#include "app/t_main_form.h"
#include "platform/running_mark.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <string_view>

namespace {

// The options every start understands; the parser is set up the same for the text answers and the window.
struct StartOptions {
    QCommandLineOption root{QStringLiteral("system-root"), QStringLiteral("The sandbox system to work on."),
                            QStringLiteral("DIR")};
    QCommandLineOption screenshot{QStringLiteral("screenshot"),
                                  QStringLiteral("Save a picture of the main window to FILE and quit."),
                                  QStringLiteral("FILE")};
    QCommandLineOption select{QStringLiteral("select"),
                              QStringLiteral("Select the entry NAME before the picture is taken."),
                              QStringLiteral("NAME")};
};

void NameTheApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("Quillbrook"));
    // No display name: the desktop would append it to every title ("Quillbrook * - Quillbrook").
    QCoreApplication::setApplicationVersion(QStringLiteral(QB_VERSION));
}

void SetUpParser(QCommandLineParser& parser, const StartOptions& options) {
    parser.setApplicationDescription(QStringLiteral("Quillbrook: what Windows starts automatically."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(options.root);
    parser.addOption(options.screenshot);
    parser.addOption(options.select);
}

// Help and the version are text on the console: asked for, they are answered before the window's
// application exists, which needs a display and ends the program where there is none (a build machine, a
// remote shell).
bool AsksForTextOnly(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") {
            break;
        }
        if (arg == "-h" || arg == "--help" || arg == "-?" || arg == "--help-all" || arg == "-v" ||
            arg == "--version") {
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    const qb::RunningMark running; // the installer waits while any copy runs: its DLLs are in use
    const StartOptions options;
    if (AsksForTextOnly(argc, argv)) {
        QCoreApplication console(argc, argv);
        NameTheApplication();
        QCommandLineParser parser;
        SetUpParser(parser, options);
        parser.process(console); // answers and ends the program
        return 0;
    }
    QApplication app(argc, argv);
    NameTheApplication();

    QCommandLineParser parser;
    SetUpParser(parser, options);
    parser.process(app);

    std::string error;
    std::optional<std::string> root;
    if (parser.isSet(options.root)) {
        root = parser.value(options.root).toStdString();
    }
    auto host = qb::OpenAppHost(root, error);
    if (!host) {
        QMessageBox::critical(nullptr, QStringLiteral("Quillbrook"), QString::fromStdString(error));
        return 1;
    }
    qb::QtDialogs dialogs(host->Paths());
    host->SetDialogs(dialogs);
    qb::TMainForm form(host->Services(), host->Paths());
    dialogs.SetOwner(&form);
    form.show();
    if (parser.isSet(options.screenshot)) {
        if (parser.isSet(options.select)) {
            form.SelectRow(parser.value(options.select).toStdString());
        }
        QApplication::processEvents();
        return form.grab().save(parser.value(options.screenshot)) ? 0 : 1;
    }
    return QApplication::exec();
}
