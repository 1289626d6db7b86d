#include "app/offscreen_screen.h"

#include <QApplication>
#include <gtest/gtest.h>

#ifndef QB_TEST_DISPLAY_SCALE
#define QB_TEST_DISPLAY_SCALE 1.0
#endif

// GUI tests need an application object for their widgets; they run on the offscreen platform's one screen.
int main(int argc, char** argv) {
    const qb::test::OffscreenScreen screen(QStringLiteral("qb_app_tests"), QB_TEST_DISPLAY_SCALE);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
