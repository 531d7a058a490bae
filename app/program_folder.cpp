#include "app/program_folder.h"

#include <filesystem>
#include <system_error>

#include "platform/files.h"

std::string ProgramFolder() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error || !program.is_absolute()) return "";
  return plat::WithTrailingSlash(program.parent_path().string());
}
