#include "dac/store/xml/stream_writer.h"

#include "dac/store/xml/atomic_file_stream.h"
#include "platform/files.h"

namespace dac {

DAC_DEFINE_CLASS(StreamWriter, TObject, ::dac::TMetaClass)

StreamWriter::StreamWriter(const std::string& path, bool append) {
  if (append && plat::FileExists(path)) {
    owned_ = std::make_unique<TFileStream>(path, FileMode::OpenWrite);
    owned_->Seek(0, SeekOrigin::End);
  } else {
    auto replacement = std::make_unique<TAtomicFileStream>(path);
    replacement_ = replacement.get();
    owned_ = std::move(replacement);
  }
  stream_ = owned_.get();
}

StreamWriter::StreamWriter(TStream& stream, const Encoding* encoding) : stream_(&stream), encoding_(encoding) {}

StreamWriter::~StreamWriter() = default;

void StreamWriter::Write(const std::string& text) { Write(text.data(), text.size()); }

void StreamWriter::Write(const char* text, size_t size) {
  if (!stream_) throw EWriteError("Stream write error: the writer is closed");
  // The default encoding gives the text's own bytes: no copy needed.
  if (encoding_ && encoding_ != &Encoding::Default()) {
    const TBytes bytes = encoding_->GetBytes(std::string(text, size));
    stream_->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  } else {
    stream_->WriteBuffer(text, static_cast<int64_t>(size));
  }
}

void StreamWriter::Close() {
  if (!owned_) return;
  if (replacement_) replacement_->Commit();
  replacement_ = nullptr;
  owned_.reset();
  stream_ = nullptr;
}

}  // namespace dac
