#include "dac/mysql/client/api/mysql_api_embedded.h"

#include <memory>
#include <mutex>
#include <set>

#include "dac/framework/classes/exceptions.h"
#include "platform/ascii.h"
#include "platform/path_lookup.h"

namespace dac {

DAC_DEFINE_CLASS(TMySQLAPIEmbedded, TMySQLAPIClient, TMetaClass)

namespace {

constexpr uint32_t kDataFolderWaitMs = 2000;

// The libraries that have tried to start a server in this process. The
// library keeps its state for the life of the process (it is never
// unmapped), and it cannot start a second time: after an end it crashes,
// after a failed start it fails again without a word.
class StartedLibraries {
 public:
  // True the first time for a library.
  bool Claim(const std::string& library) {
    const std::lock_guard<std::mutex> guard(lock_);
    return names_.insert(library).second;
  }

 private:
  std::mutex lock_;
  std::set<std::string> names_;
};

StartedLibraries& Started() {
  static StartedLibraries started;
  return started;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

bool IsParam(const std::string& line, std::string_view name) {
  const size_t equals = line.find('=');
  return equals != std::string::npos && plat::SameText(std::string_view(line).substr(0, equals), name);
}

// The value of the last "name=value" line with that name (case aside): the
// server takes the last one too.
std::string ParamValue(const std::vector<std::string>& lines, std::string_view name) {
  for (auto line = lines.rbegin(); line != lines.rend(); ++line)
    if (IsParam(*line, name)) return line->substr(line->find('=') + 1);
  return std::string();
}

// The program's file name, after its last "/".
std::string ProgramName() {
  const std::string file = plat::ProgramFile();
  return file.substr(file.rfind('/') + 1);
}

// Zero-terminated copies of texts, with a terminating nil, as a C argument vector.
class ArgumentVector {
 public:
  explicit ArgumentVector(const std::vector<std::string>& texts) : texts_(texts) {
    for (std::string& text : texts_) pointers_.push_back(text.data());
    pointers_.push_back(nullptr);
  }
  int Count() const { return static_cast<int>(texts_.size()); }
  char** Get() { return pointers_.data(); }

 private:
  std::vector<std::string> texts_;
  std::vector<char*> pointers_;
};

}  // namespace

TMySQLAPIEmbedded& MyAPIEmbedded() {
  static TMySQLAPIEmbedded api;
  return api;
}

std::vector<std::string> CleanServerParams(const TStringList& params) {
  std::vector<std::string> lines;
  for (int i = 0; i < params.Count(); ++i) {
    const std::string_view trimmed = plat::TrimBlanks(params.Strings(i));
    if (!trimmed.empty() && !trimmed.starts_with('#')) lines.push_back(params.Strings(i));
  }
  return lines;
}

std::string EmbeddedDataFolder(const std::vector<std::string>& lines) {
  std::string folder = ParamValue(lines, "--datadir");
  if (folder.empty()) {
    const std::string base = ParamValue(lines, "--basedir");
    if (!base.empty()) folder = base + (base.ends_with('/') ? "" : "/") + "data";
  }
  return folder.empty() ? folder : plat::AbsolutePath(folder);
}

std::vector<std::string> EmbeddedServerLines(const std::vector<std::string>& lines, const std::string& folder) {
  if (folder.empty()) return lines;
  std::vector<std::string> out;
  for (const std::string& line : lines)
    if (!IsParam(line, "--datadir")) out.push_back(line);
  out.push_back("--datadir=" + folder);
  return out;
}

std::string EmbeddedLockName(const std::string& folder) {
  std::string name = plat::AsciiLowerCase(plat::TrimBlanks(folder));
  for (char& c : name)
    if (c == '/' || c == ':' || c == '\\') c = ' ';
  DAC_ASSERT(!name.empty(), "empty lock name");
  return name;
}

void TMySQLAPIEmbedded::SetParams(const TStringList& params) {
  const std::lock_guard<std::recursive_mutex> guard(load_lock_);
  params_.Assign(&params);
}

std::string TMySQLAPIEmbedded::DefaultLibraryName() const { return "libmariadbd.so.19"; }

std::string TMySQLAPIEmbedded::NotLinkedMessage() const {
  return "MySQL API function is not linked. You should update MySQL Embedded Server library (" + GetLibraryName() +
         ").";
}

void TMySQLAPIEmbedded::LoadMySQLLib() {
  const std::lock_guard<std::recursive_mutex> guard(load_lock_);
  const std::vector<std::string> lines = CleanServerParams(params_);
  if (server_started_) {
    if (JoinLines(lines) == last_params_) return;
    throw Exception(
        "The embedded server runs with other parameters and cannot be restarted in this process. Start the program "
        "again to use the new ones");
  }
  // A library that does not load is reported by CheckMySQLLib.
  if (LoadAndBind()) Start(lines);
}

void TMySQLAPIEmbedded::Start(const std::vector<std::string>& lines) {
  const std::string folder = EmbeddedDataFolder(lines);
  if (!folder.empty()) {
    const plat::FolderLock::Outcome locked = data_folder_lock_.Acquire(folder, kDataFolderWaitMs);
    if (locked == plat::FolderLock::Outcome::kBusy) {
      Unbind();
      throw Exception(
          "Cannot run second Embedded server instance for single data folder. Please see details in Halvex help or "
          "MySQL Reference manual");
    }
    if (locked == plat::FolderLock::Outcome::kFailed) {
      Unbind();
      throw EOSError("Cannot lock the embedded server's data folder " + folder,
                     static_cast<uint32_t>(data_folder_lock_.ErrorCode()));
    }
  }
  if (!Started().Claim(GetLibraryName()))
    FailStart("The embedded server library has already been started in this process and cannot start again");

  std::vector<std::string> arguments{"ignored"};
  const std::vector<std::string> server_lines = EmbeddedServerLines(lines, folder);
  arguments.insert(arguments.end(), server_lines.begin(), server_lines.end());
  ArgumentVector argv(arguments);
  ArgumentVector groups({"embedded", "server", ProgramName()});
  SetMySQLEmbServerInitMessage(std::string());
  SetMySQLEmbServerIniting(true);
  int32_t result = 1;
  std::string reason;
  try {
    result = mysql_server_init(argv.Count(), argv.Get(), groups.Get());
  } catch (const std::exception& e) {
    reason = e.what();
  }
  SetMySQLEmbServerIniting(false);
  if (result != 0) FailStart(reason);
  server_started_ = true;
  last_params_ = JoinLines(lines);
}

void TMySQLAPIEmbedded::FailStart(const std::string& reason) {
  std::string message = "A call to an mysql_server_init failed";
  if (!reason.empty()) message += "\r\n" + reason;
  const std::string init_message = GetMySQLEmbServerInitMessage();
  if (!init_message.empty()) message += "\r\n" + init_message;
  data_folder_lock_.Release();
  Unbind();
  throw Exception(message);
}

void TMySQLAPIEmbedded::FreeMySQLLib() {
  const std::lock_guard<std::recursive_mutex> guard(load_lock_);
  // Ending the server under open connections aborts the process: it then
  // ends with the process, and the connections keep working until then.
  if (server_started_ && open_connections_ > 0) return;
  if (server_started_) {
    server_started_ = false;
    mysql_server_end();
  }
  data_folder_lock_.Release();
  last_params_.clear();
  Unbind();
}

}  // namespace dac
