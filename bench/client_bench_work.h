// What both sides of the client benchmark share: the server to reach, the
// work each row does, and how values fold into a checksum, so that the
// library's direct API and the MariaDB client library can be checked to
// have read and written the same data.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>

namespace bench {

struct Target {
  std::string host, user, password, database;
  int port = 0;
};

// What one side produced: the checksum of every value it read (or the
// server's checksum of what it wrote) and how many rows or cycles.
struct Outcome {
  uint64_t checksum = 0;
  int64_t count = 0;
};

// Started and stopped by a line around the work that is measured, so that
// setting up and checking afterwards count for neither side.
class Stopwatch {
 public:
  virtual ~Stopwatch() = default;
  virtual void Start() = 0;
  virtual void Stop() = 0;
};

constexpr uint64_t kChecksumStart = 0xCBF29CE484222325ull;

// Folds one value (or NULL) into the checksum: every byte counts, read a
// word at a time (the last word, and short values, by overlapping reads
// inside the value), so that checking costs both sides little and the same.
inline uint64_t Fold(uint64_t h, const char* data, size_t length, bool is_null) {
  uint64_t sum = is_null ? 0xFFFFFFFFFFFFull : length * 0x9E3779B97F4A7C15ull;
  if (length >= 8) {
    uint64_t word;
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
      std::memcpy(&word, data + i, 8);
      sum += word;
    }
    std::memcpy(&word, data + length - 8, 8);
    sum += word * 3;
  } else if (length >= 4) {
    uint32_t head, tail;
    std::memcpy(&head, data, 4);
    std::memcpy(&tail, data + length - 4, 4);
    sum += (uint64_t{head} << 32) | tail;
  } else if (length > 0) {
    sum += (uint64_t{static_cast<uint8_t>(data[0])} << 16) | (uint64_t{static_cast<uint8_t>(data[length / 2])} << 8) |
           static_cast<uint8_t>(data[length - 1]);
  }
  return ((h << 7) | (h >> 57)) ^ sum;
}

// A date or time by its parts, whatever form it came in.
inline uint64_t FoldTime(uint64_t h, unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                         unsigned second, unsigned long microsecond) {
  const uint64_t parts[2] = {(uint64_t{year} << 40) | (uint64_t{month} << 32) | (uint64_t{day} << 24) |
                                 (uint64_t{hour} << 16) | (uint64_t{minute} << 8) | second,
                             microsecond};
  return Fold(h, reinterpret_cast<const char*>(parts), sizeof parts, false);
}

// The rows of the prepared-insert line: row i of both sides holds these.
inline int32_t InsertId(int64_t i) { return static_cast<int32_t>(i + 1); }
inline int16_t InsertGroup(int64_t i) { return static_cast<int16_t>(i % 1000); }
inline int64_t InsertBig(int64_t i) { return i * 7919 * 104729; }
inline double InsertRatio(int64_t i) { return static_cast<double>(i) / 7.0; }
// Minutes after 2000-01-01 00:00.
inline int64_t InsertMinutes(int64_t i) { return i; }
// "name-<i>-" and a fixed tail, about 40 characters.
inline size_t InsertName(int64_t i, char (&out)[64]) {
  static constexpr char kHead[] = "name-";
  static constexpr char kTail[] = "-abcdefghijklmnopqrstuvwxyz0123";
  std::memcpy(out, kHead, sizeof kHead - 1);
  char* at = std::to_chars(out + sizeof kHead - 1, out + 32, i).ptr;
  std::memcpy(at, kTail, sizeof kTail - 1);
  return static_cast<size_t>(at - out) + sizeof kTail - 1;
}

// The table the prepared-insert line fills, and the server's checksum of it.
inline std::string InsertTableDefinition(const std::string& table) {
  return "CREATE OR REPLACE TABLE " + table +
         " (id INT PRIMARY KEY, grp SMALLINT, big BIGINT, ratio DOUBLE, created DATETIME, name VARCHAR(64)) "
         "ENGINE=MEMORY DEFAULT CHARSET=latin1";
}
inline std::string InsertStatement(const std::string& table) {
  return "INSERT INTO " + table + " VALUES (?, ?, ?, ?, ?, ?)";
}
inline std::string InsertChecksumQuery(const std::string& table) {
  return "SELECT COUNT(*), SUM(CRC32(CONCAT_WS('|', id, grp, big, ratio, created, name))) FROM " + table;
}

// The statement of the connect line's cycles.
constexpr const char* kCycleQuery = "SELECT 'cycle', 42";

}  // namespace bench
