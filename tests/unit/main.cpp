// Test entry: builds the engine's tables and the reference table once before
// any test runs.
#include <gtest/gtest.h>

#include "reference/reference.h"
#include "tables/init.h"

int main(int argc, char** argv) {
    Init();
    InitReference();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
