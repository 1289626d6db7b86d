#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>

namespace qb::test {

// Qt's offscreen platform with one screen of 1600 × 1000 pixels at 96 dots per inch, the size of display
// the window is judged on, at a display scale of `scale` (1.5: 150 %, the screen then 1067 × 667 of the
// window's pixels). Asks for it before the application object is made; the screen's description is removed
// again once this goes.
class OffscreenScreen {
public:
    explicit OffscreenScreen(const QString& program, double scale = 1.0)
        : config_(QDir::temp().filePath(
              QStringLiteral("%1_screen_%2.json").arg(program).arg(QCoreApplication::applicationPid()))) {
        QFile file(config_);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(R"({"screens": [{"name": "Screen", "x": 0, "y": 0, "width": 1600, "height": 1000,
                           "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": )" +
                       QByteArray::number(scale) + "}]}");
            file.close();
            qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config_).toLocal8Bit());
        } else {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
    }
    ~OffscreenScreen() { QFile::remove(config_); }
    OffscreenScreen(const OffscreenScreen&) = delete;
    OffscreenScreen& operator=(const OffscreenScreen&) = delete;

private:
    QString config_;
};

} // namespace qb::test
