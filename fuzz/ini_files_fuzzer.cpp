// The INI files the player reads: the content's project.ini, whose subject
// sections set up a test, and the data folder's admin.sysdata with the
// administrator's password. Reading must keep every byte (an unchanged file
// writes back as it was), and a password that can be set reads back as set.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "platform/ini_file.h"
#include "server/quiz/admin_settings.h"
#include "server/quiz/project_ini.h"
#include "server/sessions/session_questions.h"

namespace fuzz {
namespace {

void ReadProjectIni(const plat::IniFile& ini) {
  for (int32_t subject = 0; subject < 4; ++subject) {
    server::TSessionQuestions test;
    server::ReadSubjectSettings(ini, subject, test);
  }
}

// The password is set to the file's first bytes, as the administrator might type them.
void ChangePassword(std::string_view bytes, plat::IniFile ini) {
  const std::string password(bytes.substr(0, 16));
  try {
    ini.SetString("system", "password", password);
  } catch (const plat::IniError&) {
    return;
  }
  const std::optional<std::string> stored = plat::IniFile::FromBytes(ini.ToBytes()).Find("system", "password");
  Require(stored == password, "a password set does not read back");
}

}  // namespace
}  // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = fuzz::AsText(data, size);
  const plat::IniFile ini = plat::IniFile::FromBytes(bytes);
  fuzz::Require(ini.ToBytes() == bytes, "an unchanged file does not write back as it was");
  fuzz::ReadProjectIni(ini);
  fuzz::PutScratchFile("admin.sysdata", bytes);
  server::ReadAdminPassword(fuzz::ScratchFolder());
  fuzz::ChangePassword(bytes, ini);
  return 0;
}
