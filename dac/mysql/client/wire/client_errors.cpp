#include "dac/mysql/client/wire/client_errors.h"

#include <cinttypes>
#include <cstdio>

namespace dac {

const char* const ClientErrors[48] = {
    "Unknown MySQL error",
    "Can't create UNIX socket (%d)",
    "Can't connect to local MySQL server through socket '%-.64s' (%d)",
    "Can't connect to MySQL server on '%s' (%d)",
    "Can't create TCP/IP socket (%d)",
    "Unknown MySQL Server Host '%-.64s' (%d)",
    "MySQL server has gone away",
    "Protocol mismatch. Server Version = %d Client Version = %d",
    "MySQL client run out of memory",
    "Wrong host info",
    "Localhost via UNIX socket",
    "%-.64s via TCP/IP",
    "Error in server handshake",
    "Lost connection to MySQL server during query",
    "Commands out of sync;  You can't run this command now",
    "%-.64s via named pipe",
    "Can't wait for named pipe to host: %s  pipe: %s (%s)",
    "Can't open named pipe to host: %s  pipe: %s (%s)",
    "Can't set state of named pipe to host: %s  pipe: %s (%s)",
    "Can't initialize character set %s (path: %s)",
    "Got packet bigger than 'max_allowed_packet'",
    "Embedded server",
    "Error on SHOW SLAVE STATUS:",
    "Error on SHOW SLAVE HOSTS:",
    "Error connecting to slave:",
    "Error connecting to master:",
    "SSL connection error",
    "Malformed packet",
    "Invalid use of null pointer",
    "Statement not prepared",
    "Not all parameters data supplied",
    "Data truncated",
    "No parameters exists in the statement",
    "Invalid parameter number",
    "Can't send long data for non string or binary data types (parameter: %s)",
    "Using unsupported buffer type: %s  (parameter: %s)",
    "Shared memory (%s)",
    "Can't open shared memory. Request event don't create  (%s)",
    "Can't open shared memory. Answer event don't create  (%s)",
    "Can't open shared memory. File mapping don't create  (%s)",
    "Can't open shared memory. Map of memory don't create  (%s)",
    "Can't open shared memory. File mapping don't create for client (%s)",
    "Can't open shared memory. Map of memory don't create for client (%s)",
    "Can't open shared memory. %s event don't create for client (%s)",
    "Can't open shared memory. Server abandoded and don't sent the answer event (%s)",
    "Can't open shared memory. Can't send the request event to server (%s)",
    "Wrong or unknown protocol",
    "Invalid connection handle",
};

namespace {

struct Directive {
  bool left = false;
  int width = 0;
  int precision = -1;
  char kind = 0;
};

std::string Pad(std::string text, const Directive& d) {
  if (d.precision >= 0 && d.kind == 's' && text.size() > static_cast<size_t>(d.precision))
    text.resize(static_cast<size_t>(d.precision));
  if (text.size() < static_cast<size_t>(d.width)) {
    const std::string fill(static_cast<size_t>(d.width) - text.size(), ' ');
    text = d.left ? text + fill : fill + text;
  }
  return text;
}

std::string Render(const ErrorArg& arg, char kind) {
  if (const auto* text = std::get_if<std::string>(&arg)) return *text;
  const int64_t value = std::get<int64_t>(arg);
  char buffer[32];
  if (kind == 'x')
    std::snprintf(buffer, sizeof buffer, "%" PRIx64, static_cast<uint64_t>(value));
  else if (kind == 'X')
    std::snprintf(buffer, sizeof buffer, "%" PRIX64, static_cast<uint64_t>(value));
  else
    std::snprintf(buffer, sizeof buffer, "%" PRId64, value);
  return buffer;
}

int ReadNumber(const std::string& format, size_t& i) {
  int n = 0;
  while (i < format.size() && format[i] >= '0' && format[i] <= '9' && n < 100000) n = n * 10 + (format[i++] - '0');
  return n;
}

}  // namespace

std::string FormatErrorText(const std::string& format, const ErrorArgs& args) {
  std::string out;
  size_t next_arg = 0;
  for (size_t i = 0; i < format.size();) {
    if (format[i] != '%') {
      out += format[i++];
      continue;
    }
    const size_t start = i++;
    if (i < format.size() && format[i] == '%') {
      out += '%';
      ++i;
      continue;
    }
    Directive d;
    if (i < format.size() && format[i] == '-') {
      d.left = true;
      ++i;
    }
    d.width = ReadNumber(format, i);
    if (i < format.size() && format[i] == '.') {
      ++i;
      d.precision = ReadNumber(format, i);
    }
    if (i < format.size() && std::string_view("dsxXu").find(format[i]) != std::string_view::npos) d.kind = format[i++];
    if (d.kind == 0 || next_arg >= args.size()) {
      out.append(format, start, i - start);
      continue;
    }
    out += Pad(Render(args[next_arg++], d.kind), d);
  }
  return out;
}

std::string GetError(int32_t code) {
  if (code < kCrMinError || code > kCrMaxError) return std::string();
  return ClientErrors[code - kCrMinError];
}

std::string GetError(int32_t code, const ErrorArgs& args) { return FormatErrorText(GetError(code), args); }

std::string SqlStateOf(int32_t code, const std::string& message) {
  if (code == 0) return "00000";
  const size_t at = message.starts_with("\r\n") ? 2 : 0;
  if (IsClientError(code) || message.size() < at + 6 || message[at] != '#') return "HY000";
  return message.substr(at + 1, 5);
}

namespace {

std::string WithExtra(std::string text, const std::string& extra) {
  if (!extra.empty()) text += "\r\n" + extra;
  return text;
}

}  // namespace

EMySqlException::EMySqlException(int32_t code) : Exception(GetError(code)), error_code_(code) {}

EMySqlException::EMySqlException(int32_t code, const ErrorArgs& args, const std::string& extra)
    : Exception(WithExtra(GetError(code, args), extra)), error_code_(code) {}

EMySqlException::EMySqlException(int32_t code, const std::string& extra)
    : Exception(WithExtra(GetError(code), extra)), error_code_(code) {}

}  // namespace dac
