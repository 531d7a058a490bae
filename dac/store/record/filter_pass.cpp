#include "dac/store/record/filter_pass.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <string_view>

#include "dac/store/record/data_type_traits.h"
#include "dac/store/runtime/pattern_match.h"
#include "platform/code_page.h"
#include "platform/locale_compare.h"

namespace dac {

bool TextVerdict(const TFilterCode& code, const TFilterOp& op, const uint8_t* rec) {
  if (op.in_place) return InPlaceTextVerdict(op, rec);
  const bool equality = op.compare == ntEqual || op.compare == ntLike || op.compare == ntNoEqual;
  bool holds = false;
  if (rec[op.null_at] == 1) {
    // The Null variant: equal only to a null constant, in no order.
    if (!equality) return false;
    holds = op.null_constant;
  } else {
    const uint8_t* slot = rec + op.offset;
    std::string_view text;
    if (op.data_type == dtString) {
      const char* chars = reinterpret_cast<const char*>(slot);
      const bool trim = op.field->GetFixed() ? code.trim_fixed : code.trim_var;
      text = std::string_view(chars, strnlen(chars, op.size));
      if (trim) {
        while (!text.empty() && static_cast<unsigned char>(text.back()) < 33) text.remove_suffix(1);
      }
    } else if (const char* heap = LoadAt<const char*>(slot)) {
      text = heap;
    }
    std::string upper;
    if (code.case_insensitive) {
      upper = plat::AnsiTextUpper(text);
      text = upper;
    }
    if (equality && code.no_partial_compare) {
      // The variants must be equal (the text as given, whatever its wildcards).
      holds = !op.null_constant && text == op.text;
    } else if (equality) {
      // A null constant is the empty pattern.
      const std::string_view pattern = op.text;
      switch (op.pattern) {
        case TFilterOp::kLiteral: holds = text == pattern; break;
        case TFilterOp::kPrefix: holds = text.substr(0, pattern.size() - 1) == pattern.substr(0, pattern.size() - 1); break;
        case TFilterOp::kWildcards: holds = MatchPattern(text, pattern); break;
      }
    } else {
      if (op.null_constant) return false;
      int order = plat::LocaleCompareAnsi(text, op.text, false);
      if (order == 0) order = text.compare(op.text) < 0 ? -1 : (text.compare(op.text) > 0 ? 1 : 0);
      return OrderHolds(op.compare, order);
    }
  }
  return op.compare == ntNoEqual ? !holds : holds;
}

namespace {

uint32_t Words(const TFilterRows& rows) { return (rows.count + 63) / 64; }

bool None(const uint64_t* bits, uint32_t words) {
  uint64_t any = 0;
  for (uint32_t w = 0; w < words; ++w) any |= bits[w];
  return any == 0;
}

// out = the rows of `in` that pass(record) holds for. The lead check takes
// every row in turn (in holds them all) and fetches those ahead; a later
// one takes only the rows still in question.
template <typename Pass>
void SelectRows(const TFilterRows& rows, const uint64_t* in, uint64_t* out, bool lead, const Pass& pass) {
  const uint32_t words = Words(rows);
  for (uint32_t w = 0; w < words; ++w) {
    const uint8_t* const* at = rows.records + w * 64;
    uint64_t rest = in[w];
    uint64_t got = 0;
    if (lead) {
      const uint32_t n = std::min<uint32_t>(64, rows.count - w * 64);
      // The fetches in the loop itself: a function made only of fetches
      // counts as one without effects, and its calls are dropped.
      const uint32_t first = rows.fetch[0];
      const uint32_t second = rows.fetch[1];
      if (rows.fetches <= 2) {
        for (uint32_t i = 0; i < n; ++i) {
          __builtin_prefetch(at[i + kFilterAhead] + first);
          __builtin_prefetch(at[i + kFilterAhead] + second);
          got |= static_cast<uint64_t>(pass(at[i])) << i;
        }
      } else {
        for (uint32_t i = 0; i < n; ++i) {
          for (uint32_t f = 0; f < rows.fetches; ++f) __builtin_prefetch(at[i + kFilterAhead] + rows.fetch[f]);
          got |= static_cast<uint64_t>(pass(at[i])) << i;
        }
      }
      got &= rest;
    } else if (rest == ~uint64_t{0}) {
      for (uint32_t i = 0; i < 64; ++i) got |= static_cast<uint64_t>(pass(at[i])) << i;
    } else {
      while (rest != 0) {
        const int i = std::countr_zero(rest);
        rest &= rest - 1;
        got |= static_cast<uint64_t>(pass(at[i])) << i;
      }
    }
    out[w] = got;
  }
}

// A number field of type T against a constant that is no NaN. Ordered as
// the variants order (NaN first, equal to itself), a NaN value is less than
// the constant: only the tests that hold for such a value are negated.
// Bitwise, not short-circuit: a verdict that goes either way costs no
// mispredicted branch.
template <typename T, TExpressionType Compare>
void SelectNumber(const TFilterCode&, const TFilterOp& op, const TFilterRows& rows, const uint64_t* in, uint64_t* out,
                  bool lead) {
  const uint32_t null_at = op.null_at;
  const uint32_t offset = op.offset;
  const double number = op.number;
  SelectRows(rows, in, out, lead, [=](const uint8_t* rec) -> bool {
    const double value = static_cast<double>(LoadAt<T>(rec + offset));
    // A null field reads as the Null variant: equal to no number.
    const bool null = rec[null_at] == 1;
    if constexpr (Compare == ntEqual) return !null & (value == number);
    if constexpr (Compare == ntNoEqual) return null | !(value == number);
    if constexpr (Compare == ntMore) return !null & (value > number);
    if constexpr (Compare == ntMoreEqual) return !null & (value >= number);
    if constexpr (Compare == ntLess) return !null & !(value >= number);
    if constexpr (Compare == ntLessEqual) return !null & !(value > number);
  });
}

template <typename T>
TFilterSelect NumberSelectOf(TExpressionType compare) {
  switch (compare) {
    case ntEqual:
    case ntLike: return &SelectNumber<T, ntEqual>;
    case ntNoEqual: return &SelectNumber<T, ntNoEqual>;
    case ntMore: return &SelectNumber<T, ntMore>;
    case ntLess: return &SelectNumber<T, ntLess>;
    case ntMoreEqual: return &SelectNumber<T, ntMoreEqual>;
    case ntLessEqual: return &SelectNumber<T, ntLessEqual>;
    default: return nullptr;
  }
}

// The op's own verdict per row: a constant that is NaN.
void SelectNumberVerdict(const TFilterCode&, const TFilterOp& op, const TFilterRows& rows, const uint64_t* in,
                         uint64_t* out, bool lead) {
  SelectRows(rows, in, out, lead, [&op](const uint8_t* rec) { return NumberVerdict(op, rec); });
}

TFilterSelect NumberSelect(const TFilterOp& op) {
  if (std::isnan(op.number)) return &SelectNumberVerdict;
  switch (op.data_type) {
    case dtInt8: return op.size == 1 ? NumberSelectOf<int8_t>(op.compare) : NumberSelectOf<int16_t>(op.compare);
    case dtSmallint: return NumberSelectOf<int16_t>(op.compare);
    case dtInteger: return NumberSelectOf<int32_t>(op.compare);
    case dtWord: return NumberSelectOf<uint16_t>(op.compare);
    case dtUInt32: return NumberSelectOf<uint32_t>(op.compare);
    case dtLargeint: return NumberSelectOf<int64_t>(op.compare);
    default: return NumberSelectOf<double>(op.compare);
  }
}

// Text in place against a literal or a prefix, `fixed` characters of it
// (one character: the common "a%"); the constant is NULL or not.
template <bool NoEqual, bool Literal, bool OneChar, bool NullConstant>
void SelectInPlace(const TFilterCode&, const TFilterOp& op, const TFilterRows& rows, const uint64_t* in, uint64_t* out,
                   bool lead) {
  const uint32_t null_at = op.null_at;
  const uint32_t offset = op.offset;
  const uint32_t fixed = op.fixed;
  const char* text = op.text.data();
  const char first = OneChar ? text[0] : 0;
  SelectRows(rows, in, out, lead, [=](const uint8_t* rec) -> bool {
    const char* chars = reinterpret_cast<const char*>(rec + offset);
    bool holds = false;
    if constexpr (OneChar) {
      holds = chars[0] == first;
    } else {
      holds = std::memcmp(chars, text, fixed) == 0;
    }
    // A literal is the whole text: its end follows (fixed < size).
    if constexpr (Literal) holds = holds & (chars[fixed] == 0);
    // The Null variant equals only a null constant.
    const bool null = rec[null_at] == 1;
    holds = NullConstant ? null | holds : !null & holds;
    return NoEqual ? !holds : holds;
  });
}

template <bool NoEqual, bool Literal>
TFilterSelect InPlaceSelectOf(const TFilterOp& op) {
  if (op.null_constant) return &SelectInPlace<NoEqual, Literal, false, true>;
  return op.fixed == 1 ? &SelectInPlace<NoEqual, Literal, true, false> : &SelectInPlace<NoEqual, Literal, false, false>;
}

void SelectText(const TFilterCode& code, const TFilterOp& op, const TFilterRows& rows, const uint64_t* in,
                uint64_t* out, bool lead) {
  SelectRows(rows, in, out, lead, [&](const uint8_t* rec) { return TextVerdict(code, op, rec); });
}

TFilterSelect TextSelect(const TFilterOp& op) {
  if (!op.in_place) return &SelectText;
  const bool no_equal = op.compare == ntNoEqual;
  const bool literal = op.pattern == TFilterOp::kLiteral;
  if (no_equal) return literal ? InPlaceSelectOf<true, true>(op) : InPlaceSelectOf<true, false>(op);
  return literal ? InPlaceSelectOf<false, true>(op) : InPlaceSelectOf<false, false>(op);
}

// Deeper trees are checked a row at a time: each level holds bit sets on the stack.
constexpr int kMaxChunkDepth = 64;

// Whether the op is pure; cheap ones (no text to convert or collate) first
// among the operands of a pure AND or OR. Depth: of the deepest op below.
bool MarkPure(TFilterCode& code, uint32_t index, int& depth, bool& cheap) {
  TFilterOp& op = code.ops[index];
  depth = 1;
  cheap = true;
  switch (op.kind) {
    case TFilterOp::kTrue:
    case TFilterOp::kFalse: op.pure = true; break;
    case TFilterOp::kNumber: op.pure = op.select != nullptr; break;
    case TFilterOp::kText:
      op.pure = op.select != nullptr;
      cheap = op.in_place;
      break;
    case TFilterOp::kNot:
    case TFilterOp::kAnd:
    case TFilterOp::kOr: {
      op.pure = true;
      std::vector<uint8_t> cheap_operands;
      for (uint32_t operand : op.operands) {
        int below = 0;
        bool operand_cheap = true;
        op.pure = MarkPure(code, operand, below, operand_cheap) && op.pure;
        depth = std::max(depth, below + 1);
        cheap = cheap && operand_cheap;
        cheap_operands.push_back(operand_cheap ? 1 : 0);
      }
      if (op.pure && op.kind != TFilterOp::kNot) {
        std::vector<uint32_t> reordered;
        for (int pass = 1; pass >= 0; --pass) {
          for (size_t i = 0; i < op.operands.size(); ++i) {
            if (cheap_operands[i] == pass) reordered.push_back(op.operands[i]);
          }
        }
        op.operands = std::move(reordered);
      }
      break;
    }
    case TFilterOp::kGeneric: op.pure = false; break;
  }
  if (!op.pure) cheap = false;
  return op.pure;
}

// The places a leaf reads: the value's first and last byte, the null indicator.
void AddTouches(const TFilterCode& code, uint32_t& first, uint32_t& last) {
  for (const TFilterOp& op : code.ops) {
    if (op.kind != TFilterOp::kNumber && op.kind != TFilterOp::kText) continue;
    const uint32_t value_last = op.offset + (op.kind == TFilterOp::kNumber || !op.in_place ? op.size : op.fixed + 1) - 1;
    first = std::min({first, op.offset, op.null_at});
    last = std::max({last, value_last, op.null_at});
  }
}

// The op's verdicts on the rows of `in` into out (which may be in). `lead`:
// no op has read the rows yet; the first that does fetches ahead.
void Select(const TFilterCode& code, uint32_t index, const TFilterRows& rows, const uint64_t* in, uint64_t* out,
            bool& lead) {
  const TFilterOp& op = code.ops[index];
  const uint32_t words = Words(rows);
  switch (op.kind) {
    case TFilterOp::kTrue: std::copy(in, in + words, out); return;
    case TFilterOp::kFalse: std::fill(out, out + words, 0); return;
    case TFilterOp::kNot: {
      uint64_t holds[kFilterChunkWords];
      Select(code, op.operands[0], rows, in, holds, lead);
      for (uint32_t w = 0; w < words; ++w) out[w] = in[w] & ~holds[w];
      return;
    }
    case TFilterOp::kAnd: {
      const uint64_t* from = in;
      for (uint32_t operand : op.operands) {
        Select(code, operand, rows, from, out, lead);
        if (None(out, words)) return;
        from = out;
      }
      if (from == in) std::copy(in, in + words, out);
      return;
    }
    case TFilterOp::kOr: {
      uint64_t rest[kFilterChunkWords];
      uint64_t got[kFilterChunkWords] = {};
      std::copy(in, in + words, rest);
      for (uint32_t operand : op.operands) {
        uint64_t holds[kFilterChunkWords];
        Select(code, operand, rows, rest, holds, lead);
        for (uint32_t w = 0; w < words; ++w) {
          got[w] |= holds[w];
          rest[w] &= ~holds[w];
        }
        if (None(rest, words)) break;
      }
      std::copy(got, got + words, out);
      return;
    }
    default:
      op.select(code, op, rows, in, out, lead);
      lead = false;
      return;
  }
}

}  // namespace

TFilterSelect ChooseSelect(const TFilterOp& op) {
  if (op.kind == TFilterOp::kNumber) return NumberSelect(op);
  if (op.kind == TFilterOp::kText) return TextSelect(op);
  return nullptr;
}

void PlanFilterCode(TFilterCode& code) {
  int depth = 0;
  bool cheap = true;
  code.by_chunks = MarkPure(code, 0, depth, cheap) && depth <= kMaxChunkDepth;
  uint32_t first = UINT32_MAX;
  uint32_t last = 0;
  AddTouches(code, first, last);
  code.touch_first = first;
  code.touch_last = last;
}

TFilterRows FilterRows(const TFilterCode& code, const uint8_t* const* records, uint32_t count) {
  TFilterRows rows;
  rows.records = records;
  rows.count = count;
  if (code.touch_first > code.touch_last) return rows;
  // Every line between the first and the last place, up to four.
  constexpr uint32_t kMaxFetches = sizeof(TFilterRows::fetch) / sizeof(uint32_t);
  for (uint32_t at = code.touch_first; at < code.touch_last && rows.fetches < kMaxFetches - 1; at += 64) {
    rows.fetch[rows.fetches++] = at;
  }
  rows.fetch[rows.fetches++] = code.touch_last;
  if (rows.fetches == 1) rows.fetch[1] = rows.fetch[0];
  return rows;
}

void PassChunk(const TFilterCode& code, const TFilterRows& rows, uint64_t* bits) {
  const uint32_t words = Words(rows);
  uint64_t all[kFilterChunkWords];
  std::fill(all, all + words, ~uint64_t{0});
  if (rows.count % 64 != 0) all[words - 1] = (uint64_t{1} << (rows.count % 64)) - 1;
  bool lead = true;
  Select(code, 0, rows, all, bits, lead);
}

}  // namespace dac
