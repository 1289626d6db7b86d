#include <QApplication>
#include <gtest/gtest.h>

// The desktop tool's windows under test need an application object; they run on the offscreen platform,
// so that no display is needed.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
