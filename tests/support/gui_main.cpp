// Test entry point for the Qt layers: one QApplication for the whole process.
#include "tests/support/test_support.h"

#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    zentra::test::IsolateUserFolders();
    // Headless always, also when ctest lists the tests outside its environment.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
