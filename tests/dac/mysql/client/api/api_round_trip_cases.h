// Every data type the execute packet encodes, inserted through a prepared
// statement and read back by a text query and by a prepared SELECT: all
// three must agree. The cases are defined once (api_round_trip_cases.cpp);
// each test executable instantiates them for the APIs it runs.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "tests/dac/mysql/client/api_test_support.h"

namespace dac::testing {

struct RoundTrip {
  const char* name;
  const char* column;  // the column's SQL type
  uint16_t type;
  Variant value;
  std::optional<std::string> text;  // what the server holds, as text
  bool unicode = false;             // a UTF-8 connection, text sent as UTF-8
};

class ApiRoundTripTest : public ::testing::TestWithParam<ApiUnderTest> {
 protected:
  TMySQLAPI& api() { return GetParam().api(); }
  void Check(const RoundTrip& c);
  void SetUp() override;

  std::unique_ptr<ApiConnection> latin1_;
  std::unique_ptr<ApiConnection> utf8_;
};

}  // namespace dac::testing
