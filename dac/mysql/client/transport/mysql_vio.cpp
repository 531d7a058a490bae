#include "dac/mysql/client/transport/mysql_vio.h"

#include <algorithm>
#include <cstring>

#include "dac/framework/classes/exceptions.h"
#include "dac/mysql/client/wire/client_errors.h"
#include "platform/clock.h"

namespace dac {

DAC_DEFINE_CLASS(TMySqlVio, TObject, TMetaClass)

namespace {

void PauseBeforeRetry() { plat::Sleep(10); }

}  // namespace

void TMySqlVio::Connect() {
  fill_count_ = 0;
  read_position_ = 0;
  // Only ever read back after being filled: no need to clear it.
  if (!read_ahead_) read_ahead_.reset(new uint8_t[kReadAheadSize]);
}

int TMySqlVio::Read(uint8_t* buffer, int offset, int count) {
  int done = 0;
  auto hand_out = [&] {
    const int n = std::min(count - done, fill_count_ - read_position_);
    if (n <= 0) return;
    std::memcpy(buffer + offset + done, read_ahead_.get() + read_position_, static_cast<size_t>(n));
    read_position_ += n;
    done += n;
    if (read_position_ == fill_count_) read_position_ = fill_count_ = 0;
  };
  hand_out();
  if (done < count && count - done < kSmallReadLimit && read_ahead_) {
    DAC_ASSERT(fill_count_ == 0, "read-ahead buffer not empty");
    fill_count_ = std::max(0, ReadNoWait(read_ahead_.get(), 0, kReadAheadSize));
    read_position_ = 0;
    // Nothing came: the peer ended or the time-out passed, and asking again
    // would wait the time-out out a second time.
    if (fill_count_ == 0) return done;
    hand_out();
  }
  while (done < count) {
    const int n = ReadNoWait(buffer, offset + done, count - done);
    if (n <= 0) {
      PauseBeforeRetry();
      break;
    }
    done += n;
  }
  return done;
}

const uint8_t* TMySqlVio::PeekRefilled(int count, bool& failed) {
  if (!read_ahead_ || count > kReadAheadSize || !ReadsAhead()) return nullptr;
  // What is left moves to the front, and more is read behind it.
  const int left = fill_count_ - read_position_;
  if (read_position_ > 0 && left > 0)
    std::memmove(read_ahead_.get(), read_ahead_.get() + read_position_, static_cast<size_t>(left));
  fill_count_ = left;
  read_position_ = 0;
  while (fill_count_ < count) {
    const int n = ReadNoWait(read_ahead_.get(), fill_count_, kReadAheadSize - fill_count_);
    if (n <= 0) {
      failed = true;
      return nullptr;
    }
    fill_count_ += n;
  }
  return read_ahead_.get();
}

int TMySqlVio::Write(const uint8_t* buffer, int offset, int count) {
  if (count < 1) return 0;
  int done = 0;
  int zero_writes = 0;
  while (done < count) {
    const int n = WriteNoWait(buffer, offset + done, count - done);
    if (n > 0) {
      done += n;
      continue;
    }
    if (++zero_writes >= 3) break;
    PauseBeforeRetry();
  }
  return done;
}

void TMySqlVio::SetIsSecure(bool /*value*/) { throw EMySqlException(kCrSslConnectionError); }

}  // namespace dac
