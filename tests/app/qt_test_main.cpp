#include "app/offscreen_screen.h"

#include <QApplication>
#include <gtest/gtest.h>

// GUI tests need an application object for their widgets; they run on the offscreen platform's one screen.
int main(int argc, char** argv) {
    const qb::test::OffscreenScreen screen(QStringLiteral("qb_app_tests"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
