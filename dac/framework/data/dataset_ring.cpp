// The ring of record buffers around the cursor, navigation, resynchronising,
// bookmarks and block reading.
#include <algorithm>
#include <utility>

#include "dac/framework/data/data_link.h"
#include "dac/framework/data/data_source.h"
#include "dac/framework/data/dataset.h"

namespace dac {

namespace {

// A link that wants more buffers than this gets no more.
constexpr int kMaxBufferCount = 1024;

}  // namespace

// ---- the ring ----

int TDataSet::WantedBufferCount() const {
  int count = 1;
  for (const TDataSource* source : data_sources_) {
    for (const TDataLink* link : source->links_) count = std::max(count, link->BufferCount());
  }
  return std::min(count, kMaxBufferCount);
}

void TDataSet::UpdateBufferCount() {
  if (!buffers_.empty()) ResizeRing(WantedBufferCount());
}

void TDataSet::AllocateRing(int count) {
  FreeRing();
  try {
    for (int i = 0; i <= count; ++i) buffers_.push_back(AllocRecordBuffer());
  } catch (...) {
    FreeRing();
    throw;
  }
  buffer_count_ = count;
}

void TDataSet::FreeRing() {
  while (!buffers_.empty()) {
    TRecordBuffer buffer = buffers_.back();
    buffers_.pop_back();
    FreeRecordBuffer(buffer);
  }
  buffer_count_ = 0;
  ClearBuffers();
}

void TDataSet::ResizeRing(int count) {
  if (count == buffer_count_) return;
  // The record of a free buffer is no ring record: the cursor counts as lost.
  if (current_record_ >= record_count_) CursorPosChanged();
  ReadAndNotify(
      [&] {
        while (buffer_count_ < count) {
          buffers_.insert(buffers_.begin() + buffer_count_, AllocRecordBuffer());
          ++buffer_count_;
        }
        if (count < buffer_count_) {
          // Records leave from the front while the active one stays, then from the back.
          const int front = std::clamp(record_count_ - count, 0, active_record_);
          std::rotate(buffers_.begin(), buffers_.begin() + front, buffers_.begin() + record_count_);
          record_count_ = std::min(record_count_ - front, count);
          active_record_ -= front;
          ring_shift_ -= front;
          current_record_ -= front;
          if (current_record_ < 0 || current_record_ >= record_count_) CursorPosChanged();
          while (static_cast<int>(buffers_.size()) > count + 1) {
            TRecordBuffer buffer = buffers_.back();
            buffers_.pop_back();
            FreeRecordBuffer(buffer);
          }
          buffer_count_ = count;
        }
        // An edit keeps its ring as it stands; the next resync fills it.
        if (state_ == dsBrowse && record_count_ > 0) {
          ReadNextRecords();
          ReadPriorRecords();
        }
      },
      deDataSetChange, true);
}

// The cursor's record stays with its buffer.
void TDataSet::MoveBuffer(int from, int to) {
  if (from == to) return;
  const auto at = [this](int index) { return buffers_.begin() + index; };
  const int current = current_record_;
  if (from - to == 1 || to - from == 1) {
    // Neighbours (the one-record ring and its spare): a rotation is a swap.
    std::swap(buffers_[static_cast<size_t>(from)], buffers_[static_cast<size_t>(to)]);
    if (current == to) current_record_ = from;
  } else if (from < to) {
    std::rotate(at(from), at(from + 1), at(to + 1));
    if (current > from && current <= to) --current_record_;
  } else {
    std::rotate(at(to), at(from), at(from + 1));
    if (current >= to && current < from) ++current_record_;
  }
  if (current == from) current_record_ = to;
}

void TDataSet::SetCurrentRecord(int index) {
  if (current_record_ == index) return;
  TRecordBuffer buffer = buffers_[static_cast<size_t>(index)];
  switch (GetBookmarkFlag(buffer)) {
    case bfBOF:
      InternalFirst();
      break;
    case bfEOF:
      InternalLast();
      break;
    default:
      InternalSetToRecord(buffer);
  }
  current_record_ = index;
}

bool TDataSet::ReadSpare(TGetMode mode, bool do_check) {
  try {
    if (GetRecord(buffers_[static_cast<size_t>(record_count_)], mode, do_check) == grOK) return true;
  } catch (...) {
    CursorPosChanged();
    throw;
  }
  CursorPosChanged();
  return false;
}

void TDataSet::ActivateBuffers() {
  record_count_ = 1;
  active_record_ = 0;
  current_record_ = 0;
  bof_ = eof_ = false;
}

bool TDataSet::ReadNext() {
  if (record_count_ > 0) SetCurrentRecord(record_count_ - 1);
  if (!ReadSpare(gmNext, true)) return false;
  if (record_count_ == 0) {
    ActivateBuffers();
  } else if (record_count_ < buffer_count_) {
    ++record_count_;
  } else {
    // The ring of one (a walk without links) and its spare: a swap; the
    // cursor's record is set below.
    if (record_count_ == 1) {
      std::swap(buffers_[0], buffers_[1]);
    } else {
      MoveBuffer(0, record_count_);
    }
    --active_record_;
    --ring_shift_;
  }
  current_record_ = record_count_ - 1;
  return true;
}

bool TDataSet::ReadPrior() {
  if (record_count_ > 0) SetCurrentRecord(0);
  if (!ReadSpare(gmPrior, true)) return false;
  if (record_count_ == 0) {
    ActivateBuffers();
  } else {
    MoveBuffer(record_count_, 0);
    ++active_record_;
    ++ring_shift_;
    if (record_count_ < buffer_count_) ++record_count_;
  }
  current_record_ = 0;
  return true;
}

void TDataSet::ReadAndNotify(const std::function<void()>& read, TDataEvent event, bool send_shift) {
  ring_shift_ = 0;
  try {
    read();
  } catch (...) {
    try {
      DataEvent(event, send_shift ? ring_shift_ : 0);
    } catch (...) {
      // The reading error is the one to report.
    }
    throw;
  }
  DataEvent(event, send_shift ? ring_shift_ : 0);
}

// ---- navigation ----

void TDataSet::First() { ReloadFromEnd(true); }

void TDataSet::Last() { ReloadFromEnd(false); }

void TDataSet::ReloadFromEnd(bool at_first) {
  CheckBrowseMode();
  DoBeforeScroll();
  ClearBuffers();
  ReadAndNotify(
      [this, at_first] {
        if (at_first) {
          InternalFirst();
          ReadNextRecords();
          bof_ = true;
        } else {
          InternalLast();
          ReadPriorRecords();
          eof_ = true;
        }
      },
      deDataSetChange, false);
  DoAfterScroll();
}

void TDataSet::Next() {
  if (block_read_size_ > 0 && state_ == dsBlockRead) {
    BlockReadNext();
  } else {
    MoveBy(1);
  }
}

void TDataSet::Prior() { MoveBy(-1); }

int TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  DoBeforeScroll();
  int moved = 0;
  if ((distance > 0 && !eof_) || (distance < 0 && !bof_)) {
    bof_ = eof_ = false;
    // ReadAndNotify's work, written out: a walk steps here once a record.
    ring_shift_ = 0;
    try {
      for (; distance > 0; --distance, ++moved) {
        if (active_record_ < record_count_ - 1 || ReadNext()) {
          ++active_record_;
        } else {
          eof_ = true;
          break;
        }
      }
      for (; distance < 0; ++distance, --moved) {
        if (active_record_ > 0 || ReadPrior()) {
          --active_record_;
        } else {
          bof_ = true;
          break;
        }
      }
    } catch (...) {
      try {
        DataEvent(deDataSetScroll, ring_shift_);
      } catch (...) {
        // The reading error is the one to report.
      }
      throw;
    }
    DataEvent(deDataSetScroll, ring_shift_);
  }
  if (moved != 0) DoAfterScroll();
  return moved;
}

inline bool TDataSet::KeepsPostedRecord(TResyncMode mode) {
  // Calculated fields would be calculated again on the way in; a larger ring
  // reads the neighbours too.
  if (!mode.Empty() || buffer_count_ != 1 || record_count_ != 1 || active_record_ != 0) return false;
  if (computes_fields_) return false;
  return KeepPostedRecord(buffers_[0]);
}

void TDataSet::Resync(TResyncMode mode) {
  if (buffers_.empty()) return;
  if (std::exchange(resync_after_post_, false) && KeepsPostedRecord(mode)) {
    // What the read below would do in a ring of one, without reading.
    ActivateBuffers();
    ring_shift_ = 0;
    DataEvent(deDataSetChange, 0);
    return;
  }
  ReadRing(mode);
}

void TDataSet::ReadRing(TResyncMode mode) {
  if (mode.Contains(rmExact)) {
    CursorPosChanged();
    if (!ReadSpare(gmCurrent, true)) DatabaseError("Record not found", this);
  } else if (!ReadSpare(gmCurrent, false) && !ReadSpare(gmNext, false) && !ReadSpare(gmPrior, false)) {
    ClearBuffers();
    DataEvent(deDataSetChange, 0);
    return;
  }
  int priors = mode.Contains(rmCenter) ? (buffer_count_ - 1) / 2 : active_record_;
  MoveBuffer(record_count_, 0);
  ActivateBuffers();
  ReadAndNotify(
      [&] {
        for (; priors > 0 && ReadPrior(); --priors) {
        }
        ReadNextRecords();
        ReadPriorRecords();
      },
      deDataSetChange, false);
}

// ---- bookmarks ----

TBookmark TDataSet::GetBookmark() {
  if (!ActiveBookmarked()) return {};
  TBookmark bookmark(static_cast<size_t>(bookmark_size_));
  GetBookmarkData(ActiveBuffer(), bookmark.data());
  return bookmark;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
  if (bookmark.empty()) return;
  // The descendant reads BookmarkSize bytes: a shorter one would be overrun.
  if (static_cast<int>(bookmark.size()) != bookmark_size_) DatabaseError("Invalid bookmark", this);
  CheckBrowseMode();
  DoBeforeScroll();
  InternalGotoBookmark(bookmark.data());
  Resync({rmExact, rmCenter});
  DoAfterScroll();
}

// ---- block reading ----

void TDataSet::SetBlockReadSize(int n) {
  if (n > 0) {
    // A pending edit ends first: the block-read state would drop it.
    CheckBrowseMode();
    SetState(dsBlockRead);
  } else if (state_ == dsBlockRead) {
    SetState(dsBrowse);
    UpdateCursorPos();
    Resync({});
  }
  block_read_size_ = n;
}

void TDataSet::BlockReadNext() {
  if (eof_) return;
  DoBeforeScroll();
  UpdateCursorPos();
  if (!ReadSpare(gmNext, true)) {
    eof_ = true;
    return;
  }
  // The record read stands alone in the ring; the others are free buffers now.
  MoveBuffer(record_count_, 0);
  ActivateBuffers();
  DoAfterScroll();
}

}  // namespace dac
