#include "server/sessions/session_file.h"

#include <string_view>

#include "content/debug_log.h"
#include "content/file_helpers.h"
#include "platform/file.h"
#include "server/sessions/session_stream.h"

namespace server {

std::string SessionFileBytes(const TQuizSessionParams& session) {
  std::string bytes;
  WriteStreamInt(bytes, static_cast<int32_t>(kSessionMagic));
  session.SaveToStream(bytes);
  return bytes;
}

void WriteSessionFile(const std::string& path, const TQuizSessionParams& session) {
  content::WriteStringToFile(path, SessionFileBytes(session));
}

bool IsSessionState(const std::string& path) {
  char head[4];
  try {
    if (plat::File::OpenToRead(path).Read(head, sizeof head) < static_cast<int64_t>(sizeof head)) return false;
  } catch (const plat::FileError&) {
    return false;
  }
  TSessionReader reader(std::string_view(head, sizeof head));
  return static_cast<uint32_t>(ReadStreamInt(reader)) == kSessionMagic;
}

bool LoadSessionFile(const std::string& path, TQuizSessionParams& session) {
  const std::string bytes = content::ReadFileToString(path);
  TSessionReader reader(bytes);
  try {
    if (reader.Remaining() < 4 || static_cast<uint32_t>(ReadStreamInt(reader)) != kSessionMagic) {
      content::LogMessage("not a stored session: %s", path.c_str());
      return false;
    }
    session.LoadFromStream(reader);
    return true;
  } catch (const SessionFormatError& e) {
    content::LogMessage("cannot read the stored session %s: %s", path.c_str(), e.what());
    return false;
  }
}

}  // namespace server
