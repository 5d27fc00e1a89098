// The tests of the graphical manager run inside one QApplication on Qt's
// offscreen platform, so they need no display, in the language the build
// gives (GUI_TEST_LANGUAGE: "C" for English, or the pseudo language "xx").
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    ::setenv("LC_ALL", GUI_TEST_LANGUAGE, 1);
    // The offscreen platform's notes about what it cannot do are noise here.
    ::setenv("QT_LOGGING_RULES", "qt.qpa.*=false", 0);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
