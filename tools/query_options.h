// dac-query's command line: the options it takes, their usage text, and the
// checks that make a bad command line a usage error (exit status 2) before
// anything is read or sent.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tools {

// A command line that cannot run; its message names what was wrong.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct QueryOptions {
  std::map<std::string, std::string> values;  // by option name, without the dashes
  bool help = false;                          // --help or -h: print the usage and nothing else
  bool compress = false;
  bool local_infile = false;
  bool prepare = false;
  // The later of --port and --socket ("port", "socket" or ""): without
  // --protocol it chooses TCP or the socket, as with the mariadb client.
  std::string port_or_socket;
  std::vector<std::string> server_args;  // for the embedded server, in order

  const char* Get(const std::string& name) const {
    const auto found = values.find(name);
    return found == values.end() ? nullptr : found->second.c_str();
  }
  bool ThroughComponents() const { return Get("api") && std::string(Get("api")) == "components"; }
};

// The usage text --help prints.
std::string QueryUsage();

// The options of argv, checked. A password given on the command line is
// copied and then overwritten in argv, so the process list no longer shows
// it. Raises UsageError.
QueryOptions ParseQueryOptions(int argc, char** argv);

uint32_t PortOf(const QueryOptions& options);
// A time-out option's seconds; none when it is not given.
std::optional<uint32_t> SecondsOf(const QueryOptions& options, const std::string& name);
// The protocol --protocol names; else, as the mariadb client chooses, TCP
// after --port, the socket after --socket to a local server (no host, or
// localhost); else none.
std::optional<uint32_t> ProtocolOf(const QueryOptions& options);

}  // namespace tools
