// The answer to a failed login, the learner's and the administrator's alike.
#pragma once

#include <string_view>

namespace server {

inline constexpr std::string_view kLoginFailedReply =
    "<movie error=\"1\" errortext=\"Invalid login name or password.\" />";

}  // namespace server
