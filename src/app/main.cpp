#include "app/app_host.h"
#include "app/qt_dialogs.h"
#include "app/t_main_form.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillbrook"));
    // No display name: the desktop would append it to every title ("Quillbrook * - Quillbrook").
    QApplication::setApplicationVersion(QStringLiteral(QB_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Quillbrook: what Windows starts automatically."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption rootOption(QStringLiteral("system-root"),
                                        QStringLiteral("The sandbox system to work on."),
                                        QStringLiteral("DIR"));
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshot"), QStringLiteral("Save a picture of the main window to FILE and quit."),
        QStringLiteral("FILE"));
    const QCommandLineOption selectOption(
        QStringLiteral("select"), QStringLiteral("Select the entry NAME before the picture is taken."),
        QStringLiteral("NAME"));
    parser.addOption(rootOption);
    parser.addOption(screenshotOption);
    parser.addOption(selectOption);
    parser.process(app);

    std::string error;
    std::optional<std::string> root;
    if (parser.isSet(rootOption)) {
        root = parser.value(rootOption).toStdString();
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
    if (parser.isSet(screenshotOption)) {
        if (parser.isSet(selectOption)) {
            form.SelectRow(parser.value(selectOption).toStdString());
        }
        QApplication::processEvents();
        return form.grab().save(parser.value(screenshotOption)) ? 0 : 1;
    }
    return QApplication::exec();
}
