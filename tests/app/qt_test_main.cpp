#include <QApplication>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

// GUI tests need an application object for their widgets; they run on the offscreen platform, on one
// screen of 1600 × 1000 pixels at 96 dots per inch, the size of display the window is judged on.
int main(int argc, char** argv) {
    const QString config = QDir::temp().filePath(
        QStringLiteral("qb_app_tests_screen_%1.json").arg(QCoreApplication::applicationPid()));
    QFile file(config);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(R"({"screens": [{"name": "Screen", "x": 0, "y": 0, "width": 1600, "height": 1000,
                       "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        file.close();
        qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QFile::remove(config);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
