// The tests of the graphical manager run inside one QApplication on Qt's
// offscreen platform, so they need no display, in the language the build
// gives (GUI_TEST_LANGUAGE: "C" for English, or the pseudo language "xx").
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

#include "QuietOffscreen.h"

int main(int argc, char** argv) {
    guitest::UseQuietOffscreen();
    ::setenv("LC_ALL", GUI_TEST_LANGUAGE, 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
