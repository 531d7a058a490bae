// A record set's filter over many rows at once (a chunk of rows at a time)
// against the filter tree's own verdict on each row: random conditions on
// every kind the compiled filter reads in place and some it leaves to the
// tree, random values with nulls, NaN, blanks and wildcard characters, every
// option, in memory order and after a sort.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/record/filter_expression.h"
#include "tests/dac/store/test_mem_data.h"

namespace dac {
namespace {

using testing::Column;
using testing::Row;
using testing::TTestMemData;

std::vector<Column> Columns() {
  Column fixed{"FS", dtString, 9, 8};
  fixed.fixed = true;
  return {{"ID", dtInteger, 4},  {"S", dtString, 21, 20},  fixed,
          {"ES", dtExtString, 8}, {"I8", dtInt8, 1},         {"I8W", dtInt8, 2},
          {"I16", dtSmallint, 2}, {"I32", dtInteger, 4},     {"I64", dtLargeint, 8},
          {"U16", dtWord, 2},     {"U32", dtUInt32, 4},      {"F", dtFloat, 8},
          {"C", dtCurrency, 8},   {"B", dtBoolean, 2},       {"D", dtDateTime, 8}};
}

class FilterRows : public ::testing::Test {
 protected:
  FilterRows() : data_(Columns()), random_(4711) {}

  template <typename List>
  auto Pick(const List& list) {
    return list[random_() % std::size(list)];
  }

  Variant Maybe(Variant value) { return nulls_ && random_() % 8 == 0 ? Variant::Null() : value; }

  // Half the nulls over the bytes of a value: the null flag set alone.
  void Append(int32_t id) {
    const Row values = RandomRow(id);
    nulls_ = false;
    const Row stale = RandomRow(id);
    nulls_ = true;
    void* rec = nullptr;
    data_.AllocRecBuf(rec);
    testing::FillRecord(data_, rec, values);
    for (uint16_t i = 0; i < values.size(); ++i) {
      if (!values[i].IsNull() || random_() % 2) continue;
      data_.PutFieldAsVariant(i + 1, rec, stale[i]);
      data_.SetNull(i + 1, rec, true);
    }
    data_.AppendRecord(rec);
    data_.FreeRecBuf(rec);
  }

  Row RandomRow(int32_t id) {
    static const char* const words[] = {"", "Apple", "apple", "APPLE  ", "apricot", "a", "A", "M", "m ",
                                        "Zebra", "a%", "a*b", "5 ", "_x", "\xC4pfel", "ab", "abc"};
    static const double floats[] = {0.0, -0.0, 2.5, -1.0, 5.0, 500.0, 500.5, 1e300, -1e300,
                                    std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()};
    const auto small = [this](int span) { return static_cast<int>(random_() % (2 * span + 1)) - span; };
    return {Variant(id),
            Maybe(Variant(std::string(Pick(words)))),
            Maybe(Variant(std::string(Pick(words)).substr(0, 8))),
            Maybe(Variant(std::string(Pick(words)))),
            Maybe(Variant(static_cast<int8_t>(small(6)))),
            Maybe(Variant(static_cast<int8_t>(small(6)))),
            Maybe(Variant(static_cast<int16_t>(random_() % 2 ? small(6) : 300))),
            Maybe(Variant(random_() % 4 ? small(6) : 2147483647)),
            Maybe(Variant(random_() % 3 ? int64_t{small(6)} : int64_t{-9000000000})),
            Maybe(Variant(static_cast<uint16_t>(random_() % 2 ? random_() % 7 : 65535))),
            Maybe(Variant(static_cast<uint32_t>(random_() % 2 ? random_() % 7 : 4000000000u))),
            Maybe(Variant(Pick(floats))),
            Maybe(Variant(static_cast<double>(small(6)) / 4)),
            Maybe(Variant(random_() % 2 == 0)),
            Maybe(Variant::FromDateTime(static_cast<double>(small(3))))};
  }

  std::string Condition(int depth) {
    static const char* const numeric[] = {"I8", "I8W", "I16", "I32", "I64", "U16", "U32", "F", "C", "ID"};
    static const char* const texts[] = {"S", "FS", "ES"};
    static const char* const others[] = {"B", "D"};
    static const char* const ops[] = {"=", "<>", "<", ">", "<=", ">=", "LIKE"};
    static const char* const numbers[] = {"5", "-5", "0", "2.5", "-3", "300", "500", "65535", "4000000000",
                                          "-9000000000", "1.25", "2147483647"};
    static const char* const patterns[] = {"'A*'", "'a%'", "'Apple'", "''", "'%p%'", "'_pple'", "'apr*'", "'M'",
                                           "'a'", "'ab'", "'ab%'", "'%'", "'5'", "'a_'", "'APPLE  '", "'\xE4*'"};
    const unsigned kind = random_() % (depth > 3 ? 5 : 9);
    switch (kind) {
      case 0:
      case 1: return std::string(Pick(numeric)) + " " + Pick(ops) + " " + Pick(numbers);
      case 2:
      case 3: return std::string(Pick(texts)) + " " + Pick(ops) + " " + Pick(patterns);
      case 4: {
        const unsigned which = random_() % 4;
        if (which == 0) return std::string(Pick(others)) + " " + Pick(ops) + " " + Pick(numbers);
        if (which == 1) return random_() % 2 ? "TRUE" : "FALSE";
        const std::string field = random_() % 2 ? Pick(numeric) : Pick(texts);
        return field + (which == 2 ? " IS NULL" : " IS NOT NULL");
      }
      case 5: return "NOT " + Condition(depth + 1);
      case 6: return "(" + Condition(depth + 1) + (random_() % 2 ? " AND " : " OR ") + Condition(depth + 1) + ")";
      case 7: return "(" + Condition(depth + 1) + " AND " + Condition(depth + 1) + " AND " + Condition(depth + 1) + ")";
      default: return Condition(depth + 1) + " AND " + Condition(depth + 1) + " OR " + Condition(depth + 1);
    }
  }

  // The ids of the rows the tree's own evaluation passes, in list order
  // (the filter is off): the text under an OR, so the compiled code's root
  // is not the condition's.
  std::vector<int32_t> Expected(const std::string& text) {
    std::vector<int32_t> ids;
    data_.SetFilterText("");
    data_.CreateFilterExpression("(" + text + ") OR FALSE");
    TExpressionNode* condition = data_.GetFilterExpression()->LeftOperand;
    for (data_.SetToBegin(), data_.GetNextRecord(nullptr); !data_.GetEOF(); data_.GetNextRecord(nullptr)) {
      data_.SetFilterRecBuf(TBlockManager::GetRecordPtr(data_.GetCurrentItem()));
      if (data_.Eval(condition)) ids.push_back(data_.Value(data_.GetCurrentItem(), 1).AsInt32());
    }
    data_.SetFilterRecBuf(nullptr);
    data_.FreeFilterExpression();
    return ids;
  }

  std::vector<int32_t> Shown(const std::string& text) {
    data_.SetFilterText(text);
    std::vector<int32_t> ids;
    for (const Variant& id : data_.Values(1)) ids.push_back(id.AsInt32());
    EXPECT_EQ(data_.GetRecordCount(), static_cast<int>(ids.size())) << text;
    return ids;
  }

  void CheckRandomConditions(int count) {
    for (int i = 0; i < count; ++i) {
      data_.SetFilterCaseInsensitive(random_() % 3 == 0);
      data_.SetFilterNoPartialCompare(random_() % 4 == 0);
      data_.SetTrimVarChar(random_() % 3 == 0);
      data_.SetTrimFixedChar(random_() % 2 == 0);
      const std::string text = Condition(0);
      std::vector<int32_t> expected;
      try {
        expected = Expected(text);
      } catch (const EConvertError&) {
        // A comparison the tree cannot make fails the filter as a whole.
        EXPECT_THROW(data_.SetFilterText(text), EConvertError) << text;
        data_.SetFilterText("");
        continue;
      }
      ASSERT_EQ(Shown(text), expected) << text;
      data_.SetFilterText("");
    }
  }

  TTestMemData data_;
  std::mt19937 random_;
  bool nulls_ = true;
};

TEST_F(FilterRows, ChunksOfRowsGetTheTreesVerdicts) {
  // Rows over several chunks, the last one partly filled.
  data_.Open();
  for (int32_t id = 1; id <= 1300; ++id) Append(id);
  CheckRandomConditions(250);
  // List order apart from memory order.
  data_.SetIndexFieldNames("I32 DESC;S;ID");
  CheckRandomConditions(150);
}

// Each comparison the compiled filter makes for itself, under every option.
TEST_F(FilterRows, EveryCompiledComparisonGetsTheTreesVerdicts) {
  data_.Open();
  for (int32_t id = 1; id <= 600; ++id) Append(id);
  const char* const ops[] = {"=", "<>", "<", ">", "<=", ">=", "LIKE"};
  std::vector<std::string> texts;
  for (const char* field : {"S", "FS", "ES"}) {
    for (const char* pattern : {"''", "'%'", "'*'", "'a'", "'a%'", "'ab%'", "'Apple'", "'a_'", "NULL", "'APPLE  '"}) {
      for (const char* op : ops) texts.push_back(std::string(field) + " " + op + " " + pattern);
    }
  }
  for (const char* field : {"I8", "I8W", "I16", "I32", "I64", "U16", "U32", "F", "C"}) {
    for (const char* number : {"-5", "0", "2.5", "300", "65535", "4000000000", "-9000000000"}) {
      for (const char* op : ops) texts.push_back(std::string(field) + " " + op + " " + number);
    }
  }
  for (int options = 0; options < 16; ++options) {
    data_.SetFilterCaseInsensitive(options & 1);
    data_.SetFilterNoPartialCompare(options & 2);
    data_.SetTrimVarChar(options & 4);
    data_.SetTrimFixedChar(options & 8);
    for (const std::string& text : texts) {
      ASSERT_EQ(Shown(text), Expected(text)) << text << " with options " << options;
      data_.SetFilterText("");
    }
  }
}

TEST_F(FilterRows, DeepTreesAndLongChainsGetTheTreesVerdicts) {
  data_.Open();
  for (int32_t id = 1; id <= 700; ++id) Append(id);
  // Deeper than the chunk check takes: row by row.
  std::string deep = "I32 > 0 AND S LIKE 'a%'";
  for (int i = 0; i < 70; ++i) deep = "NOT (" + deep + ")";
  // A long chain is no deeper than two.
  std::string chain = "I32 = -6";
  for (int i = -5; i <= 6; ++i) chain += " OR I32 = " + std::to_string(i) + " AND F >= 0";
  for (const std::string& text : {deep, chain, std::string("NOT NOT NOT FALSE OR TRUE AND I16 <= 0"),
                                  std::string("TRUE AND (FALSE OR I8 > 0)"), std::string("FALSE AND S = 'a'")}) {
    ASSERT_EQ(Shown(text), Expected(text)) << text;
  }
}

}  // namespace
}  // namespace dac
