// The round-trip cases (api_round_trip_cases.h) through the library's own
// protocol and through the client library over TCP and the socket.
#include "tests/dac/mysql/client/api/api_round_trip_cases.h"

namespace dac::testing {
namespace {

INSTANTIATE_TEST_SUITE_P(Api, ApiRoundTripTest, ::testing::Values(DirectApi(), ClientApi(false), ClientApi(true)),
                         ApiName);

}  // namespace
}  // namespace dac::testing
