// TBlobStream: a stream over a blob field's value in the dataset's record
// buffer of the moment it was made, read and written through the record
// set's blob operations. The stream lets go of the buffer when the record
// leaves it (a scroll, a close, the row deleted); from then on, as when the
// dataset had no record, it reads and writes nothing and has size 0.
#pragma once

#include <cstdint>

#include "dac/framework/classes/streams.h"
#include "dac/framework/data/dataset_types.h"
#include "dac/store/dataset/mem_dataset.h"

namespace dac {

class TBlobField;

class TBlobStream : public TStream {
  DAC_DECLARE_CLASS();

 public:
  // A write stream needs the edit, insert or new-value state ("Dataset not
  // in edit or insert mode") and a writable field ("Field '%s' cannot be
  // modified"), unless the field is already modified; it empties the blob.
  TBlobStream(TBlobField* field, TBlobStreamMode mode);
  // Close, with its errors handed to the application's exception hook.
  ~TBlobStream() override;
  TBlobStream(const TBlobStream&) = delete;
  TBlobStream& operator=(const TBlobStream&) = delete;

  // Reads up to the end of the blob; in the old-value state its value before the edit.
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  // "Invalid BLOB position" for a position below 0 or past 2^31 - 1; the
  // position then stays.
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  // Sets the blob's size; the stream does not count as modified.
  void SetSize(int64_t size) override;
  int64_t GetSize() override;
  // Cuts the blob at the position.
  void Truncate();
  // Marks a written field modified and tells the dataset of the change;
  // later calls do nothing.
  void Close();
  bool Opened() const { return opened_; }

 private:
  friend class TMemDataSet;
  // The dataset's record left the buffer.
  void Detach();
  bool UseRollback() const;
  uint16_t FieldNo() const { return static_cast<uint16_t>(field_no_); }
  void CheckRange(int64_t position, int64_t count) const;

  TBlobField* field_;
  TMemDataSet* dataset_;
  TRecordBuffer buffer_ = nullptr;
  TBlobStreamMode mode_;
  int32_t field_no_ = 0;
  bool opened_ = false;
  bool modified_ = false;
  int32_t position_ = 0;
};

}  // namespace dac
