// Sorting by IndexFieldNames against std::stable_sort of the same keys, the
// IndexFieldNames syntax, and the option rules of the value comparers.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <tuple>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/values/bcd.h"
#include "platform/code_page.h"
#include "platform/locale_compare.h"
#include "tests/dac/store/test_mem_data.h"

namespace dac {
namespace {

using testing::Column;
using testing::Row;
using testing::TTestMemData;
using Order = std::function<int(const Variant&, const Variant&)>;

Variant Date(double value) { return Variant::FromDateTime(value); }
Variant Bytes(TBytes bytes) { return Variant(std::move(bytes)); }

// Null first, then the key order.
int WithNulls(const Variant& a, const Variant& b, const Order& order) {
  if (a.IsNull() || b.IsNull()) return VarCompare(a, b);
  return order(a, b);
}

std::vector<Variant> Sorted(std::vector<Variant> values, const Order& order, bool descending) {
  std::stable_sort(values.begin(), values.end(), [&](const Variant& a, const Variant& b) {
    const int r = WithNulls(a, b, order);
    return descending ? r > 0 : r < 0;
  });
  return values;
}

TEST(MemDataSort, EachTypeOrdersLikeItsKeys) {
  const Order numeric = VarCompare;
  const Order chronological = [](const Variant& a, const Variant& b) {
    return plat::CompareDateTime(a.AsDateTime(), b.AsDateTime());
  };
  auto text = [](bool ignore_case) -> Order {
    return [ignore_case](const Variant& a, const Variant& b) {
      return plat::LocaleCompareWide(a.AsWideString(), b.AsWideString(), ignore_case);
    };
  };
  const std::vector<Variant> words{"b", "B", Variant::Null(), "a", "\xE4", "A", "Zed", "ab", "abc", "AB"};
  struct Case {
    Column column;
    const char* spec;
    std::vector<Variant> values;
    Order order;
  } cases[] = {
      {{"V", dtInt8, 1}, "V", {int8_t{5}, int8_t{-128}, int8_t{127}, Variant::Null(), int8_t{0}, int8_t{-1}}, numeric},
      {{"V", dtSmallint, 2}, "V", {int16_t{-32768}, int16_t{32767}, int16_t{-1}, int16_t{1}}, numeric},
      {{"V", dtInteger, 4}, "V", {INT32_MAX, INT32_MIN, -1, 0, Variant::Null(), 1}, numeric},
      {{"V", dtWord, 2}, "V", {uint16_t{65535}, uint16_t{0}, uint16_t{32768}, uint16_t{1}}, numeric},
      {{"V", dtUInt32, 4}, "V", {UINT32_MAX, uint32_t{0}, uint32_t{0x80000000u}, uint32_t{7}}, numeric},
      {{"V", dtLargeint, 8}, "V", {INT64_MAX, INT64_MIN, int64_t{-1}, int64_t{1} << 40, int64_t{0}}, numeric},
      {{"V", dtFloat, 8}, "V", {2.5, -1e300, -0.5, 1e-300, Variant::Null(), 0.0, -2.5}, numeric},
      {{"V", dtCurrency, 8}, "V", {12.34, -12.34, 0.0001, 0.0}, numeric},
      {{"V", dtBoolean, 2}, "V", {true, false, Variant::Null(), true, false}, numeric},
      {{"V", dtBCD, 8}, "V", {Currency::FromRaw(-5), Currency::FromRaw(INT64_MAX), Currency::FromRaw(3)}, numeric},
      {{"V", dtFmtBCD, 34}, "V", {StrToBcd("-1.5"), StrToBcd("10"), StrToBcd("2.25"), StrToBcd("-100.001")}, numeric},
      // Before 30 December 1899 the fraction counts away from zero: -1.25 is 06:00, -1.75 18:00.
      {{"V", dtDateTime, 8}, "V", {Date(-1.75), Date(-1.25), Date(-700000.5), Date(0.25), Date(-1.0), Date(4e4)}, chronological},
      {{"V", dtTime, 8}, "V", {Date(0.75), Date(0.25), Date(0.5)}, chronological},
      {{"V", dtDate, 8}, "V", {Date(-2), Date(3), Date(-700000), Date(0)}, chronological},
      {{"V", dtVarBytes, 8, 6}, "V", {Bytes({1, 0, 0, 0}), Bytes({0, 1, 0, 0}), Bytes({0, 1}), Bytes({0xFF}),
                                      Bytes({0, 1, 0, 0, 5}), Bytes({}), Variant::Null()}, numeric},
      {{"V", dtString, 8}, "V", words, text(false)},
      {{"V", dtString, 8}, "V CIS", words, text(true)},
      {{"V", dtExtString, kReferenceSlotSize}, "[V] cis", words, text(true)},
      {{"V", dtWideString, 16, 7}, "V CS", words, text(false)},
      {{"V", dtExtWideString, kReferenceSlotSize}, "V", words, text(false)},
  };
  for (const Case& c : cases) {
    for (bool descending : {false, true}) {
      SCOPED_TRACE(std::string(c.spec) + " of type " + std::to_string(c.column.type) + (descending ? " DESC" : ""));
      TTestMemData d({c.column});
      d.Open();
      for (const Variant& value : c.values) d.Append({value});
      d.SetIndexFieldNames(std::string(c.spec) + (descending ? " DESC" : ""));
      EXPECT_EQ(d.Values(1), Sorted(c.values, c.order, descending));
    }
  }
}

TEST(MemDataSort, MixedDirectionsAndCalculatedColumn) {
  TTestMemData d({{"A", dtInteger, 4}, {"B", dtString, 8}, {"C", dtInteger, 4, 0, 0, false, fdkCalculated}});
  // C holds -A, worked out from the record (or the buffer itself).
  d.SetOnGetCachedBuffer([&d](void* buffer, void* source) {
    Variant a;
    d.GetFieldAsVariant(1, source ? source : buffer, a);
    const int32_t c = -a.AsInt32();
    d.PutField(3, buffer, &c);
  });
  d.Open();
  const std::vector<std::pair<int, const char*>> rows{{2, "x"}, {1, "y"}, {2, "a"}, {3, "m"}, {1, "b"}};
  for (const auto& [a, b] : rows) d.Append({a, b});
  d.SetIndexFieldNames("A DESC; B");
  EXPECT_EQ(d.Values(2), (std::vector<Variant>{"m", "a", "x", "b", "y"}));
  d.SetIndexFieldNames("C;B DESC");
  EXPECT_EQ(d.Values(2), (std::vector<Variant>{"m", "x", "a", "y", "b"}));
}

// Keys alike in their first bytes, and equal keys of differing bits (-0 and
// 0): the later columns and the order before the sort decide.
TEST(MemDataSort, KeysAlikeInTheirFirstBytesAndEqualKeys) {
  TTestMemData d({{"T", dtString, 32}, {"F", dtFloat, 8}, {"N", dtInteger, 4}});
  d.Open();
  const std::vector<std::tuple<const char*, double, int>> rows{
      {"abcdefghijklmnopq", 0.0, 1}, {"abcdefghijklmnopa", -0.0, 2}, {"abcdefghijklmnop", 0.0, 3},
      {"abcdefghijklmnopq", -0.0, 4}, {"ABCDEFGHIJKLMNOPQ", 1e-300, 5}, {"abcdefghijklmnopa", -1e-300, 6}};
  for (const auto& [t, f, n] : rows) d.Append({t, f, n});
  struct Case {
    const char* spec;
    std::vector<Variant> numbers;
  } cases[] = {
      {"T", {3, 2, 6, 1, 4, 5}},
      {"T DESC", {5, 1, 4, 2, 6, 3}},
      {"T;N DESC", {3, 6, 2, 4, 1, 5}},
      // Equal keys keep the order of the sort before.
      {"F", {6, 3, 2, 4, 1, 5}},
      {"F DESC", {5, 3, 2, 4, 1, 6}},
      {"N DESC", {6, 5, 4, 3, 2, 1}},
      {"F;T", {6, 3, 2, 4, 1, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.spec);
    d.SetIndexFieldNames(c.spec);
    EXPECT_EQ(d.Values(3), c.numbers);
  }
}

TEST(MemDataSort, LargeOrderedReversedAndEqualInputs) {
  for (int shape = 0; shape < 3; ++shape) {
    TTestMemData d({{"V", dtInteger, 4}});
    d.Open();
    constexpr int kRows = 100000;
    for (int i = 0; i < kRows; ++i) d.Append({shape == 0 ? i : (shape == 1 ? kRows - i : 7)});
    d.SetIndexFieldNames("V");
    const std::vector<Variant> values = d.Values(1);
    ASSERT_EQ(values.size(), static_cast<size_t>(kRows));
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end(),
                               [](const Variant& a, const Variant& b) { return a.AsInt32() < b.AsInt32(); }));
    d.SetRecordNo(kRows / 2);
    EXPECT_EQ(d.GetRecordNo(), kRows / 2);
  }
}

TEST(MemDataSort, IndexFieldNamesSyntax) {
  TTestMemData d({{"name", dtString, 8}, {"a", dtInteger, 4}, {"b", dtInteger, 4}, {"with blank", dtInteger, 4}});
  d.Open();
  struct Case {
    const char* spec;
    const char* columns;  // name, D for descending, I for case-insensitive
    const char* error;
  } cases[] = {
      {"name DESC CIS", "nameDI", nullptr},
      {"[name] cis desc", "nameDI", nullptr},
      {"a;b,name asc cs", "a b name", nullptr},
      {"'name' Desc", "nameD", nullptr},
      {"[with blank]", "with blank", nullptr},
      {"  ", "", nullptr},
      {"a; b DESC ASC", "a bD", "Invalid IndexFieldNames format!"},
      {"a CIS CS", "aI", "Invalid IndexFieldNames format!"},
      {"a DOWN", "a", "Invalid IndexFieldNames format!"},
      {"a, 5", "a", "Invalid IndexFieldNames format!"},
      {"a; nope DESC", "a", "Field nope not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.spec);
    std::string error;
    try {
      d.SetIndexFieldNames(c.spec);
    } catch (const Exception& e) {
      error = e.Message();
    }
    EXPECT_EQ(error, c.error ? c.error : "");
    std::string columns;
    for (const TSortColumn& column : d.GetSortColumns()) {
      columns += (columns.empty() ? "" : " ") + column.FieldDesc->GetName() + (column.DescendingOrder ? "D" : "") +
                 (column.CaseSensitive ? "" : "I");
    }
    EXPECT_EQ(columns, c.columns);
  }
}

TEST(MemDataCompare, OptionRules) {
  TTestMemData d({{"V", dtInteger, 4}});
  const TLocateExOptions none;
  const TLocateExOptions key{lxPartialKey};
  const TLocateExOptions key_ci{lxPartialKey, lxCaseInsensitive};
  const TLocateExOptions anywhere{lxPartialCompare};
  const TLocateExOptions anywhere_ci{lxPartialCompare, lxCaseInsensitive};
  struct Case {
    const char* a;
    const char* b;
    TLocateExOptions options;
    int text;  // the 8-bit and the wide comparer agree unless `wide` says otherwise
    int wide;
  } cases[] = {
      {"abc", "abd", none, -1, -1},
      {"ABC", "abc", TLocateExOptions{lxCaseInsensitive}, 0, 0},
      {"ab", "abc", key, 0, 0},
      {"AB", "abc", key, 1, 1},
      {"AB", "abc", key_ci, 0, 0},
      {"abcd", "abc", key, 1, 1},
      {"", "abc", key, -1, 0},  // an empty 8-bit key takes the whole field, an empty wide key matches
      {"", "", key, 0, 0},
      {"bc", "abcd", anywhere, 0, 0},
      {"BC", "abcd", anywhere, 1, 1},
      {"BC", "abcd", anywhere_ci, 0, 0},
      {"abcde", "abcd", anywhere, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " / " + c.b);
    EXPECT_EQ(d.CompareStrValues(c.a, c.b, c.options), c.text);
    EXPECT_EQ(d.CompareWideStrValues(plat::AnsiToUtf16(c.a), plat::AnsiToUtf16(c.b), c.options), c.wide);
  }
  struct BinCase {
    TBytes a;
    TBytes b;
    TLocateExOptions options;
    int expected;
  } bin_cases[] = {
      {{1, 0, 0, 0}, {0, 1, 0, 0}, none, 1},  // bytes in order, not 32-bit words
      {{0, 1}, {0, 1, 0}, none, -1},
      {{0, 1, 0}, {0, 1}, none, 1},
      {{0xFF}, {0x01, 0xFF}, none, 1},
      {{}, {}, none, 0},
      {{2, 3}, {1, 2, 3}, anywhere, 0},
      {{3, 2}, {1, 2, 3}, anywhere, 1},
      {{1, 2}, {1, 2, 3}, key, 0},
      {{1, 3}, {1, 2, 3}, key, 1},
      {{1, 2, 3, 4}, {1, 2, 3}, key, 1},
  };
  for (const BinCase& c : bin_cases) {
    EXPECT_EQ(TMemData::CompareBinValues(c.a.data(), c.a.size(), c.b.data(), c.b.size(), c.options), c.expected);
    if (c.options == none) {
      EXPECT_EQ(TMemData::CompareBinValues(c.b.data(), c.b.size(), c.a.data(), c.a.size(), none), -c.expected);
    }
  }
  d.Open();
  d.Append({5});
  const int32_t value = 5;
  try {
    d.CompareFieldValue(&value, dtBlob, d.FieldByName("V"), TBlockManager::GetRecordPtr(d.GetFirstItem()), none);
    ADD_FAILURE() << "no assertion";
  } catch (const EAssertionFailed& e) {
    EXPECT_NE(e.Message().find("Unknown ValueType = 13"), std::string::npos);
  }
}

}  // namespace
}  // namespace dac
