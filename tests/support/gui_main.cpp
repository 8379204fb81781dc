// Test entry point for the Qt layers: one QApplication for the whole process.
#include "tests/support/test_support.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    zentra::test::PrepareTestProcess();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
