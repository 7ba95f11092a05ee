#include <gtest/gtest.h>

#include <thread>

#include "Platform/Foundation/Check.h"

namespace {

#ifdef NDEBUG
TEST(CheckTest, CompiledOutInRelease) {
    int evaluated = 0;
    PLAT_DCHECK(++evaluated == 0);
    EXPECT_EQ(evaluated, 0);
    std::thread([] { PLAT_DCHECK_MAIN_THREAD(); }).join();
}
#else
TEST(CheckTest, FailedChecksStopTheProcessWithWhatFailed) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    PLAT_DCHECK(1 + 1 == 2);
    PLAT_DCHECK_MAIN_THREAD();
    EXPECT_DEATH(PLAT_DCHECK(1 + 1 == 3), "check failed: 1 \\+ 1 == 3");
    EXPECT_DEATH(std::thread([] { PLAT_DCHECK_MAIN_THREAD(); }).join(), "called off the main thread");
}
#endif

}  // namespace
