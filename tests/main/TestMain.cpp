// The main of every test program. It differs from GoogleTest's own in one thing: a run in
// which a case was skipped and none failed ends with kSkippedStatus, which CTest reports as
// a skipped test. CTest runs a whole suite in one process, where a skipped case would
// otherwise hide behind its suite's pass.
#include <gtest/gtest.h>

namespace {
constexpr int kSkippedStatus = 77;
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    if (status == 0 && testing::UnitTest::GetInstance()->skipped_test_count() > 0)
        return kSkippedStatus;
    return status;
}
