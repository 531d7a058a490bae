#include "dac/mysql/client/client_errors.h"

#include <gtest/gtest.h>

namespace dac {
namespace {

TEST(ClientErrorsTest, Placeholder) { EXPECT_EQ(GetError(2014), "Commands out of sync;  You can't run this command now"); }

}  // namespace
}  // namespace dac
