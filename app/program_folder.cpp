#include "app/program_folder.h"

#include "platform/files.h"
#include "platform/path_lookup.h"

namespace app {

std::string ProgramFolder() {
  const std::string program = plat::ProgramFile();
  return program.empty() ? "" : plat::FolderPart(program);
}

}  // namespace app
