// The reference side of the client benchmark: the MariaDB client library
// through its own C API and nothing of this project around it. Each line
// fails with std::runtime_error naming the library's error.
#pragma once

#include <string>

#include "bench/client_bench_work.h"

namespace bench {

// SELECT in use mode, every value folded with its length.
Outcome BareTextFetch(const Target& target, const std::string& sql, bool compress, Stopwatch& watch);
// The statement prepared and executed, its binary rows fetched into binds
// of the columns' own types.
Outcome BareBinaryFetch(const Target& target, const std::string& sql, Stopwatch& watch);
// count times: connect, log in, one query and its row, close.
Outcome BareConnectCycles(const Target& target, int count, Stopwatch& watch);
// count rows inserted through one prepared statement into a fresh table;
// the checksum is the server's over what arrived.
Outcome BarePreparedInsert(const Target& target, const std::string& table, int count, Stopwatch& watch);

}  // namespace bench
