// Test entry point for the core layers.
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    zentra::test::PrepareTestProcess();
    return RUN_ALL_TESTS();
}
