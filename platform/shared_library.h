// A shared library loaded by name at run time, its functions looked up by
// name. Loaded with every symbol bound at once and kept to itself (nothing
// it exports can stand in for another library's symbols); it is never
// unmapped, even after Close, because libraries register exit handlers and
// thread-key destructors that must still find their code when the process
// ends.
#pragma once

#include <string>

namespace plat {

class SharedLibrary {
 public:
  SharedLibrary() = default;
  // Drops the handle (see Close).
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // Loads the file by name (searched as the dynamic loader searches) or by
  // path; false when it cannot, with LoadError and LoadErrorText set. A
  // library already open is closed first.
  bool Open(const std::string& name);
  // Drops the handle; the code stays mapped, and opening the same file again
  // finds the library in the state it was left in.
  void Close();
  bool IsOpen() const { return handle_ != nullptr; }

  // The exported symbol's address; nullptr when the library does not export it.
  void* Symbol(const char* name) const;

  // The system error code of the last failed Open (ENOENT when the loader
  // gives none), and the loader's own text.
  int LoadError() const { return load_error_; }
  const std::string& LoadErrorText() const { return load_error_text_; }

 private:
  void* handle_ = nullptr;
  int load_error_ = 0;
  std::string load_error_text_;
};

}  // namespace plat
