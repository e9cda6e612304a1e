#include <gtest/gtest.h>

#include "umockdev_session.h"

int main(int argc, char** argv) {
    testing_support::run_under_umockdev(argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
