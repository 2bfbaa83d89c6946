// Test main: a headless Qt application around GoogleTest (a core application for the tests of
// code without windows).
#include <gtest/gtest.h>

#include <cstdlib>
#ifdef LEDGRIX_TEST_WITHOUT_WIDGETS
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#else
#include <QApplication>
using TestApplication = QApplication;
#endif

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // English system locale unless a test asks for another.
    setenv("LC_ALL", "C.UTF-8", 1);
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
