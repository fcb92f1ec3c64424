#include <gtest/gtest.h>

#include "PrivateNetwork.h"

int main(int argc, char** argv) {
    // First, before any thread exists: the namespace applies to threads created afterwards.
    aravistest::EnterPrivateNetwork(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
