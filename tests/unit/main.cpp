// Test entry: builds the engine's tables once before any test runs.
#include <gtest/gtest.h>

#include "tables/init.h"

int main(int argc, char** argv) {
    Init();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
