// Writes strings to a stream, as they are or through a text encoding.
#pragma once

#include <memory>
#include <string>

#include "dac/framework/classes/streams.h"
#include "dac/store/runtime/encoding.h"

namespace dac {

class TAtomicFileStream;

class StreamWriter : public TObject {
  DAC_DECLARE_CLASS();

 public:
  // The file at path. With append set and the file there, the bytes go to its
  // end. Otherwise a new file takes its place on Close; until then an old one
  // stays untouched, and a writer freed unclosed leaves no file behind.
  // EFCreateError / EFOpenError when the file cannot be made or opened.
  StreamWriter(const std::string& path, bool append);
  // Writes to stream (not owned; it must outlive the writer), through
  // encoding when one is given.
  explicit StreamWriter(TStream& stream, const Encoding* encoding = nullptr);
  ~StreamWriter() override;
  StreamWriter(const StreamWriter&) = delete;
  StreamWriter& operator=(const StreamWriter&) = delete;

  // The string's bytes, or with an encoding the bytes of its GetBytes.
  // EWriteError when the stream fails, or the writer's own file was closed.
  void Write(const std::string& text);
  // The same for size bytes at text.
  void Write(const char* text, size_t size);
  void WriteLine(const std::string& text) { Write(text + "\r\n"); }
  // The writer's own file is finished (a new one put in place) and the writer
  // writes no more; over a given stream nothing happens.
  void Close();
  // Nothing to do: every Write reaches the stream at once.
  void Flush() {}

  const Encoding* GetEncoding() const { return encoding_; }

 private:
  TStream* stream_ = nullptr;
  std::unique_ptr<TStream> owned_;
  TAtomicFileStream* replacement_ = nullptr;  // owned_, when it replaces the file
  const Encoding* encoding_ = nullptr;
};

}  // namespace dac
