#include "examples/server_settings.h"

#include <charconv>
#include <optional>
#include <set>

#include "platform/environment.h"
#include "platform/program_usage.h"

namespace examples {

namespace {

// A TCP port in decimal, nothing else.
std::optional<int> PortOf(const std::string& text) {
  int port = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (error != std::errc() || end != text.data() + text.size() || port < 1 || port > 65535) return std::nullopt;
  return port;
}

// The setting an option names; null for an unknown option.
std::string* SettingOf(const std::string& option, ServerSettings& settings, std::string& port) {
  if (option == "--host") return &settings.host;
  if (option == "--port") return &port;
  if (option == "--user") return &settings.user;
  if (option == "--password") return &settings.password;
  if (option == "--database") return &settings.database;
  return nullptr;
}

// Reads the options into `settings` and the port's text, noting each one
// given; the problem, or "".
std::string ReadOptions(const std::vector<std::string>& words, ServerSettings& settings, std::string& port,
                        std::set<std::string>& given, bool& help) {
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (plat::IsHelpOption(word)) {
      help = true;
      return "";
    }
    if (!plat::LooksLikeOption(word)) return "extra operand '" + word + "'";
    const size_t equals = word.find('=');
    const std::string option = word.substr(0, equals);
    std::string* setting = SettingOf(option, settings, port);
    if (setting == nullptr) return "unrecognized option '" + word + "'";
    given.insert(option);
    if (equals != std::string::npos) {
      *setting = word.substr(equals + 1);
    } else if (i + 1 < words.size()) {
      *setting = words[++i];
    } else {
      return "option '" + option + "' requires an argument";
    }
  }
  return "";
}

void FillFromEnvironment(const std::set<std::string>& given, ServerSettings& settings, std::string& port) {
  const auto fill = [&given](const char* option, std::string& setting, const char* variable) {
    if (!given.contains(option)) setting = plat::EnvironmentValue(variable).value_or("");
  };
  fill("--host", settings.host, "MYSQL_HOST");
  fill("--port", port, "MYSQL_TCP_PORT");
  fill("--user", settings.user, "USER");
  fill("--password", settings.password, "MYSQL_PWD");
}

}  // namespace

SettingsLine ReadServerSettings(const std::vector<std::string>& words) {
  SettingsLine line;
  std::string port;
  std::set<std::string> given;
  line.problem = ReadOptions(words, line.settings, port, given, line.help);
  if (line.help || !line.problem.empty()) return line;
  FillFromEnvironment(given, line.settings, port);
  if (line.settings.database.empty()) {
    line.problem = "missing option --database";
  } else if (!port.empty()) {
    const std::optional<int> number = PortOf(port);
    if (number) {
      line.settings.port = *number;
    } else {
      line.problem = "invalid port '" + port + "'";
    }
  }
  return line;
}

}  // namespace examples
