#include "platform/open_file_limit.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

namespace plat {
namespace {

TEST(OpenFileLimitTest, RaisesTheSoftLimitToTheHardLimit) {
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  if (saved.rlim_max != RLIM_INFINITY && saved.rlim_max > 64) {
    rlimit lowered{64, saved.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
  }
  const uint64_t now = RaiseOpenFileLimit();
  rlimit after{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &after), 0);
  EXPECT_EQ(now, after.rlim_cur);
  if (saved.rlim_max != RLIM_INFINITY) {
    EXPECT_EQ(after.rlim_cur, saved.rlim_max);
  }
  ::setrlimit(RLIMIT_NOFILE, &saved);
}

}  // namespace
}  // namespace plat
