#include "platform/shared_library.h"

#include <dlfcn.h>

#include <cerrno>

namespace plat {

SharedLibrary::~SharedLibrary() { Close(); }

bool SharedLibrary::Open(const std::string& name) {
  Close();
  errno = 0;
  handle_ = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle_) {
    load_error_ = 0;
    load_error_text_.clear();
    return true;
  }
  load_error_ = errno != 0 ? errno : ENOENT;
  const char* text = ::dlerror();
  load_error_text_ = text ? text : "";
  return false;
}

void SharedLibrary::Close() {
  if (!handle_) return;
  ::dlclose(handle_);
  handle_ = nullptr;
}

void* SharedLibrary::Symbol(const char* name) const {
  if (!handle_) return nullptr;
  return ::dlsym(handle_, name);
}

}  // namespace plat
