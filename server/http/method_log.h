// Entry and exit lines of the server's operations in the debug log.
#pragma once

#include "content/debug_log.h"

namespace server {

// Writes "TQuizSession::<name>" now and "Exit - <name>" when the scope ends,
// however it ends. The name must outlive the scope (a string literal).
class TMethodLog {
 public:
  explicit TMethodLog(const char* name) : name_(name) { content::LogMessage("TQuizSession::%s", name_); }
  ~TMethodLog() { content::LogMessage("Exit - %s", name_); }
  TMethodLog(const TMethodLog&) = delete;
  TMethodLog& operator=(const TMethodLog&) = delete;

 private:
  const char* name_;
};

}  // namespace server
