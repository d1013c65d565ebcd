// The platform tests also serve as their own helper processes: started with
// a helper argument they play the other program instead of running tests.
#include <gtest/gtest.h>

// Runs the helper that argv asks for and returns its exit code, or -1 when
// argv asks for no helper.
int runHelper(int argc, char** argv);

int main(int argc, char** argv) {
    if (const int code = runHelper(argc, argv); code >= 0) return code;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
