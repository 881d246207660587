#include <csignal>

#include <gtest/gtest.h>

// A peer that closes its socket must show up as an error code, not kill the test.
int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
