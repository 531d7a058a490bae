// A filter tree compiled for one record layout and one set of filter
// options (TData::Eval builds it on first use): comparisons of a number or
// 8-bit text field with a constant read the record directly, without the
// variants the tree's evaluation builds per operand, and give the verdicts
// that evaluation gives; every other comparison is left to it. Internal to
// the record room.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dac/store/record/filter_expression.h"

namespace dac {

struct TFilterOp;
struct TFilterCode;

// The records a chunk check reads: `count` of them, then kFilterAhead more
// that are only fetched ahead (the next rows in list order, or any readable
// address). The verdicts go to bit i % 64 of word i / 64.
constexpr uint32_t kFilterAhead = 16;
struct TFilterRows {
  const uint8_t* const* records = nullptr;
  uint32_t count = 0;
  // Where in a record the checks read: the places fetched ahead (fetch[0]
  // and fetch[1] always set, the same place when one will do).
  uint32_t fetch[4] = {};
  uint32_t fetches = 0;
};

// A leaf's check of the rows of `in` (a bit set of rows): out gets those it
// holds for. `lead`: the first check of the rows, which fetches ahead.
// out may be in.
using TFilterSelect = void (*)(const TFilterCode& code, const TFilterOp& op, const TFilterRows& rows,
                               const uint64_t* in, uint64_t* out, bool lead);

struct TFilterOp {
  enum Kind : uint8_t {
    kTrue,
    kFalse,
    kAnd,      // operands[] in order, stopping at the first false
    kOr,       // the same, stopping at the first true
    kNot,      // operands[0]
    kNumber,   // a number field against `number`
    kText,     // an 8-bit text field against `text` (or null)
    kGeneric,  // `node`, evaluated by the tree
  };
  Kind kind = kGeneric;
  TExpressionType compare = ntEqual;
  TExpressionNode* node = nullptr;
  TFieldDesc* field = nullptr;
  double number = 0;
  bool null_constant = false;  // kText: the constant is NULL
  std::string text;            // kText: the constant, upper-cased when the filter ignores case
  // kText under a pattern match: how the pattern reads (the text itself, the
  // text then any run, or anything else), so the common ones cost no scan.
  enum Pattern : uint8_t { kLiteral, kPrefix, kWildcards } pattern = kWildcards;
  // Where the op reads in a record: the null indicator and the value.
  uint32_t null_at = 0;
  uint32_t offset = 0;
  uint32_t size = 0;
  uint16_t data_type = 0;
  // kText: the text in place is compared with the pattern's first `fixed`
  // characters right in the record (a literal or prefix pattern, matched
  // case-sensitively without trimming).
  bool in_place = false;
  uint32_t fixed = 0;
  // Its verdict follows from the record's bytes alone and it raises no
  // error (the op and all below it), so the order in which such ops are
  // checked, on one record or across records, changes nothing.
  bool pure = false;
  // kNumber, kText: the check of many rows at once, specialised for the
  // field's type and the comparison.
  TFilterSelect select = nullptr;
  std::vector<uint32_t> operands;
};

struct TFilterCode {
  TExpressionNode* root = nullptr;
  // What the code was made for; a change makes it anew.
  bool case_insensitive = false;
  bool no_partial_compare = false;
  bool trim_fixed = false;
  bool trim_var = false;
  // The whole tree is pure and shallow enough to be checked a chunk of
  // rows at a time, one op after the other (filter_pass.h).
  bool by_chunks = false;
  // The record bytes the ops read, first to last (for fetching ahead).
  uint32_t touch_first = UINT32_MAX;
  uint32_t touch_last = 0;
  std::vector<TFilterOp> ops;  // ops[0] is the root
};

}  // namespace dac
