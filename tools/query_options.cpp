#include "tools/query_options.h"

#include <algorithm>
#include <cstring>

#include "dac/mysql/client/wire/protocol.h"

namespace tools {

namespace {

enum class Kind { kFlag, kValue, kRepeated };

struct OptionSpec {
  const char* name;  // long name; "e" and "f" are only short
  Kind kind;
  const char* value_name;
  const char* help;
};

// Every option, in the order the usage lists them.
const OptionSpec kOptions[] = {
    {"e", Kind::kValue, "SQL", "run the statements of SQL"},
    {"f", Kind::kValue, "FILE", "run the statements in FILE"},
    {"api", Kind::kValue, "API", "direct (default), client, embedded, components"},
    {"over", Kind::kValue, "API", "with --api components: direct (default), client"},
    {"host", Kind::kValue, "HOST", "the server's host (default localhost)"},
    {"port", Kind::kValue, "PORT", "the server's TCP port (default 3306)"},
    {"user", Kind::kValue, "USER", "the user to log in as"},
    {"password", Kind::kValue, "PASSWORD", "the password (hidden from the process list)"},
    {"db", Kind::kValue, "DATABASE", "the database to use"},
    {"socket", Kind::kValue, "PATH", "connect through the server's Unix socket PATH"},
    {"protocol", Kind::kValue, "NAME", "tcp, socket, pipe or ssl (TLS)"},
    {"ca", Kind::kValue, "FILE", "TLS, trusting the certificates in FILE"},
    {"cert", Kind::kValue, "FILE", "TLS, with the client certificate in FILE"},
    {"key", Kind::kValue, "FILE", "TLS, with the client key in FILE"},
    {"cipher", Kind::kValue, "LIST", "TLS, with the ciphers of LIST"},
    {"compress", Kind::kFlag, nullptr, "compress what goes to and from the server"},
    {"local-infile", Kind::kFlag, nullptr, "allow LOAD DATA LOCAL INFILE"},
    {"prepare", Kind::kFlag, nullptr, "prepare and execute; print the binary rows"},
    {"charset", Kind::kValue, "NAME", "the session's character set (default utf8mb4)"},
    {"connect-timeout", Kind::kValue, "SECONDS", "wait at most SECONDS for greeting and login"},
    {"read-timeout", Kind::kValue, "SECONDS", "wait at most SECONDS for each answer"},
    {"server-arg", Kind::kRepeated, "ARGUMENT", "with --api embedded: a server start-up argument"},
    {"help", Kind::kFlag, nullptr, "display this help and exit"},
};

const OptionSpec* FindOption(const std::string& name) {
  for (const OptionSpec& spec : kOptions)
    if (name == spec.name) return &spec;
  return nullptr;
}

bool IsShort(const OptionSpec& spec) { return std::strlen(spec.name) == 1; }

// "  -e SQL", "  -h, --help", "      --host HOST".
std::string OptionColumn(const OptionSpec& spec) {
  const std::string value = spec.value_name ? std::string(" ") + spec.value_name : "";
  if (IsShort(spec)) return std::string("  -") + spec.name + value;
  const std::string lead = std::string(spec.name) == "help" ? "  -h, " : "      ";
  return lead + "--" + spec.name + value;
}

std::string TextOf(const char* value) { return value ? value : ""; }

// The option's value goes; what the process list shows is "x".
void HideValue(char* value) {
  if (*value == '\0') return;
  std::memset(value, 0, std::strlen(value));
  value[0] = 'x';
}

// What the components take: --over, and none of the pipe, LOAD DATA and
// embedded-server settings.
void CheckComponentOptions(const QueryOptions& options) {
  const std::string over = TextOf(options.Get("over"));
  if (options.Get("over") && !options.ThroughComponents()) throw UsageError("--over goes with --api components");
  if (options.Get("over") && over != "direct" && over != "client")
    throw UsageError("unknown API to go over: " + over);
  if (!options.ThroughComponents()) return;
  const std::string protocol = TextOf(options.Get("protocol"));
  if (options.local_infile || !options.server_args.empty() || protocol == "pipe")
    throw UsageError("--api components goes over TCP, TLS or a Unix socket only");
  if (options.Get("read-timeout")) throw UsageError("--read-timeout goes with --api direct, client or embedded");
}

// The library's own protocol and the components carry TLS over TCP only.
void CheckTlsWay(const QueryOptions& options) {
  const std::optional<uint32_t> protocol = ProtocolOf(options);
  const bool tls = protocol == dac::MYSQL_PROTOCOL_SSL || options.Get("ca") || options.Get("cert") ||
                   options.Get("key") || options.Get("cipher");
  const bool local = protocol == dac::MYSQL_PROTOCOL_SOCKET || protocol == dac::MYSQL_PROTOCOL_PIPE;
  const std::string api = TextOf(options.Get("api"));
  if (tls && local && api != "client") throw UsageError("TLS over a Unix socket needs --api client");
}

void CheckOptions(const QueryOptions& options) {
  if ((options.Get("e") != nullptr) == (options.Get("f") != nullptr)) throw UsageError("give one of -e and -f");
  const std::string api = TextOf(options.Get("api"));
  if (options.Get("api") && api != "direct" && api != "client" && api != "embedded" && api != "components")
    throw UsageError("unknown API: " + api);
  CheckComponentOptions(options);
  PortOf(options);
  ProtocolOf(options);
  SecondsOf(options, "connect-timeout");
  SecondsOf(options, "read-timeout");
  CheckTlsWay(options);
}

// The option an argument names, its value split off when given after "=".
const OptionSpec& OptionOf(const std::string& argument, std::optional<std::string>& inline_value) {
  std::string name;
  if (argument == "-h") {
    name = "help";
  } else if (argument == "-e" || argument == "-f") {
    name = argument.substr(1);
  } else if (argument.starts_with("--") && argument.size() > 2) {
    name = argument.substr(2);
    if (const size_t equals = name.find('='); equals != std::string::npos) {
      inline_value = name.substr(equals + 1);
      name.erase(equals);
    }
  } else if (argument.starts_with("-") && argument != "-" && argument != "--") {
    throw UsageError("invalid option -- '" + argument.substr(1) + "'");
  } else {
    throw UsageError("unexpected argument '" + argument + "'");
  }
  const OptionSpec* spec = FindOption(name);
  if (!spec || (IsShort(*spec) && argument.starts_with("--")))
    throw UsageError("unrecognized option '" + argument.substr(0, argument.find('=')) + "'");
  if (inline_value && spec->kind == Kind::kFlag)
    throw UsageError("option '--" + name + "' doesn't allow an argument");
  return *spec;
}

void SetFlag(QueryOptions& options, const std::string& name) {
  if (name == "help") options.help = true;
  if (name == "compress") options.compress = true;
  if (name == "local-infile") options.local_infile = true;
  if (name == "prepare") options.prepare = true;
}

}  // namespace

std::string QueryUsage() {
  std::string usage =
      "Usage: dac-query [OPTION]... (-e SQL | -f FILE)\n"
      "Run SQL through the library and print every result set as 'mariadb -N -B'\n"
      "prints it: a line per row, values separated by TAB.\n\n";
  constexpr size_t kColumn = 33;
  for (const OptionSpec& spec : kOptions) {
    const std::string column = OptionColumn(spec);
    usage += column + std::string(std::max(kColumn, column.size() + 2) - column.size(), ' ') + spec.help + "\n";
  }
  usage +=
      "\nThe APIs: direct is the library's own protocol, client the MariaDB client\n"
      "library, embedded a server in this process (give no host), components the\n"
      "library's TMyConnection and TMyQuery. Through the components the text is cut\n"
      "into statements as the mariadb client cuts it, DELIMITER lines included; the\n"
      "other APIs send it whole. --socket connects through the socket unless\n"
      "--protocol, a later --port or a host other than localhost says otherwise.\n"
      "\nExit status: 0 when every statement ran, 1 at the first error (one line\n"
      "'ERROR code (state): message' on standard error), 2 for a usage error.\n";
  return usage;
}

QueryOptions ParseQueryOptions(int argc, char** argv) {
  QueryOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    std::optional<std::string> inline_value;
    const OptionSpec& spec = OptionOf(argument, inline_value);
    const std::string name = spec.name;
    if (spec.kind == Kind::kFlag) {
      SetFlag(options, name);
      if (options.help) return options;
      continue;
    }
    if (!inline_value && i + 1 >= argc) throw UsageError("option '" + argument + "' requires an argument");
    char* value = inline_value ? argv[i] + argument.find('=') + 1 : argv[++i];
    if (spec.kind == Kind::kRepeated) {
      options.server_args.emplace_back(value);
      continue;
    }
    options.values[name] = value;
    if (name == "password") HideValue(value);
    if (name == "socket" || name == "port") options.port_or_socket = name;
  }
  CheckOptions(options);
  return options;
}

uint32_t PortOf(const QueryOptions& options) {
  const char* port = options.Get("port");
  if (!port) return 0;
  const std::string text = port;
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos ||
      std::stoul(text) > 65535)
    throw UsageError("not a port: " + text);
  return static_cast<uint32_t>(std::stoul(text));
}

std::optional<uint32_t> SecondsOf(const QueryOptions& options, const std::string& name) {
  const char* value = options.Get(name);
  if (!value) return std::nullopt;
  const std::string text = value;
  if (text.empty() || text.size() > 7 || text.find_first_not_of("0123456789") != std::string::npos)
    throw UsageError("not a number of seconds: --" + name + "=" + text);
  return static_cast<uint32_t>(std::stoul(text));
}

std::optional<uint32_t> ProtocolOf(const QueryOptions& options) {
  const char* name = options.Get("protocol");
  if (!name) {
    const std::string host = TextOf(options.Get("host"));
    if (options.port_or_socket == "port") return dac::MYSQL_PROTOCOL_TCP;
    if (options.port_or_socket == "socket" && (host.empty() || host == "localhost")) return dac::MYSQL_PROTOCOL_SOCKET;
    return std::nullopt;
  }
  static const std::map<std::string, uint32_t> kProtocols = {{"tcp", dac::MYSQL_PROTOCOL_TCP},
                                                             {"socket", dac::MYSQL_PROTOCOL_SOCKET},
                                                             {"pipe", dac::MYSQL_PROTOCOL_PIPE},
                                                             {"ssl", dac::MYSQL_PROTOCOL_SSL}};
  const auto found = kProtocols.find(name);
  if (found == kProtocols.end()) throw UsageError("unknown protocol: " + std::string(name));
  return found->second;
}

}  // namespace tools
