// The client library's version decides the layouts of its records.
#include <gtest/gtest.h>

#include <utility>

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/api/mysql_api.h"

namespace dac {
namespace {

TEST(ClientVersionTest, MapsVersionsToLayoutFamilies) {
  const std::pair<const char*, TClientStructVer> cases[] = {
      {"3.23.58", cv3}, {"4.0.20", cv4},      {"4.1.0", cv410},   {"4.1.7", cv411},
      {"5.0.1", cv411},  {"5.0.22-nt", cv411}, {"3.3.20", cv3}};  // the client library's own number
  for (const auto& [version, expected] : cases) EXPECT_EQ(ClientStructVerOf(version), expected) << version;
  for (const char* refused : {"6.0.0", "10.11.6", "2.0.1", "10.11.19", "11.4.2", "10.11.19-MariaDB"}) {
    try {
      ClientStructVerOf(refused);
      ADD_FAILURE() << refused;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "Invalid client version") << refused;
    }
  }
  EXPECT_THROW(ClientStructVerOf("4.1"), EConvertError);
  EXPECT_EQ(TMySQLAPI::CorrectFieldLen(16777215), 65535);
  EXPECT_EQ(TMySQLAPI::CorrectFieldLen(4294967295u), 65535);
  EXPECT_EQ(TMySQLAPI::CorrectFieldLen(255), 255);
}

}  // namespace
}  // namespace dac
