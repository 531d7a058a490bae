// The checks of a compiled filter's ops (filter_code.h) on records: one
// record, or a chunk of them at a time, one op after the other, each op's
// loop made for its field's type and comparison. Internal to the record
// room.
#pragma once

#include <cmath>
#include <cstdint>

#include "dac/store/record/data_types.h"
#include "dac/store/record/filter_code.h"
#include "dac/store/runtime/unaligned.h"

namespace dac {

// Rows a chunk check takes at most; the bit sets have this many bits.
constexpr uint32_t kFilterChunkRows = 512;
constexpr uint32_t kFilterChunkWords = kFilterChunkRows / 64;

// As the variant comparison orders doubles: NaN first and equal to itself.
inline int CompareNumbers(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) == std::isnan(b) ? 0 : std::isnan(a) ? -1 : 1;
  return a < b ? -1 : a > b ? 1 : 0;
}

inline bool OrderHolds(TExpressionType compare, int order) {
  switch (compare) {
    case ntMore: return order > 0;
    case ntLess: return order < 0;
    case ntMoreEqual: return order >= 0;
    case ntLessEqual: return order <= 0;
    default: return false;
  }
}

// A number op on the record.
inline bool NumberVerdict(const TFilterOp& op, const uint8_t* rec) {
  // A null field reads as the Null variant: equal to no number.
  if (rec[op.null_at] == 1) return op.compare == ntNoEqual;
  const uint8_t* slot = rec + op.offset;
  double value = 0;
  switch (op.data_type) {
    case dtInt8: value = op.size == 1 ? LoadAt<int8_t>(slot) : LoadAt<int16_t>(slot); break;
    case dtSmallint: value = LoadAt<int16_t>(slot); break;
    case dtInteger: value = LoadAt<int32_t>(slot); break;
    case dtWord: value = LoadAt<uint16_t>(slot); break;
    case dtUInt32: value = LoadAt<uint32_t>(slot); break;
    case dtLargeint: value = static_cast<double>(LoadAt<int64_t>(slot)); break;
    default: value = LoadAt<double>(slot); break;
  }
  const int order = CompareNumbers(value, op.number);
  if (op.compare == ntEqual || op.compare == ntLike) return order == 0;
  if (op.compare == ntNoEqual) return order != 0;
  return OrderHolds(op.compare, order);
}

// An in-place text op on the record.
inline bool InPlaceTextVerdict(const TFilterOp& op, const uint8_t* rec) {
  bool holds = false;
  if (rec[op.null_at] == 1) {
    holds = op.null_constant;  // the Null variant equals only a null constant
  } else {
    const char* chars = reinterpret_cast<const char*>(rec + op.offset);
    holds = true;
    for (uint32_t i = 0; holds && i < op.fixed; ++i) holds = chars[i] == op.text[i];
    // A literal is the whole text: its end follows (fixed < size).
    if (holds && op.pattern == TFilterOp::kLiteral) holds = chars[op.fixed] == 0;
  }
  return op.compare == ntNoEqual ? !holds : holds;
}

// Any text op on the record (trimming and case as the code was made for).
bool TextVerdict(const TFilterCode& code, const TFilterOp& op, const uint8_t* rec);

// The chunk check of a number or text op (filter_code.h), chosen once.
TFilterSelect ChooseSelect(const TFilterOp& op);

// Marks the pure ops, puts the cheap operands of a pure AND or OR first,
// and decides whether the code checks by chunks.
void PlanFilterCode(TFilterCode& code);

// The code's verdicts (it checks by chunks) on up to kFilterChunkRows rows:
// bit i of bits for rows.records[i].
void PassChunk(const TFilterCode& code, const TFilterRows& rows, uint64_t* bits);

// The rows' fetch plan for the code.
TFilterRows FilterRows(const TFilterCode& code, const uint8_t* const* records, uint32_t count);

}  // namespace dac
