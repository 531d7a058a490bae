// Locate, LocateEx and Lookup against a plain scan of the rows: random rows
// with duplicates and nulls, sorted by zero to two columns either way (text
// also without case), searched from random places with every option set;
// and large sorted sets, filtered or not, after inserts and deletes.
#include <gtest/gtest.h>

#include <random>

#include "platform/ascii.h"
#include "platform/locale_compare.h"
#include "tests/dac/store/test_mem_dataset.h"

namespace dac {
namespace {

using testing::MakeDataSet;

constexpr TLocateExOption kOptions[] = {lxCaseInsensitive, lxPartialKey, lxNearest, lxNext, lxUp, lxPartialCompare};

struct Row {
  int id;
  Variant n;  // integer or Null
  Variant s;  // text or Null
};

// The key against a row's value, as the record set defines it: <0 when the key is smaller.
int CompareKey(const Variant& key, const Variant& value, TLocateExOptions options) {
  if (!key.IsString()) return key.AsInt32() < value.AsInt32() ? -1 : (key.AsInt32() > value.AsInt32() ? 1 : 0);
  const std::string k = key.AsString();
  const std::string v = value.AsString();
  const bool ci = options.Contains(lxCaseInsensitive);
  if (options.Contains(lxPartialCompare)) {
    return (ci ? plat::AsciiUpperCase(v).find(plat::AsciiUpperCase(k)) : v.find(k)) == std::string::npos ? 1 : 0;
  }
  if (options.Contains(lxPartialKey)) {
    if (k.empty()) return plat::LocaleCompareAnsi(k, v, ci);
    return v.size() < k.size() ? 1 : plat::LocaleCompareAnsi(k, v.substr(0, k.size()), ci);
  }
  return plat::LocaleCompareAnsi(k, v, ci);
}

bool RowMatches(const Row& row, const std::vector<std::pair<bool, Variant>>& keys, TLocateExOptions options) {
  for (const auto& [is_text, key] : keys) {
    const Variant& value = is_text ? row.s : row.n;
    if (key.IsNull() || value.IsNull()) {
      if (!key.IsNull() || !value.IsNull()) return false;
      continue;
    }
    const int result = CompareKey(key, value, options);
    if (result != 0 && !(options.Contains(lxNearest) && result < 0)) return false;
  }
  return true;
}

// The row a plain scan finds from position `current` (1-based), or 0.
int ExpectedId(const std::vector<Row>& rows, int current, const std::vector<std::pair<bool, Variant>>& keys,
               TLocateExOptions options) {
  const int count = static_cast<int>(rows.size());
  const bool up = options.Contains(lxUp);
  const int first = !up && options.Contains(lxNext) ? current + 1 : 1;
  const int last = up ? current - 1 : count;
  for (int i = 0; i < last - first + 1; ++i) {
    const Row& row = rows[static_cast<size_t>(up ? last - 1 - i : first - 1 + i)];
    if (RowMatches(row, keys, options)) return row.id;
  }
  return 0;
}

TEST(MemDataSetLocate, FindsWhatAPlainScanFinds) {
  std::mt19937 random(24);
  const std::vector<Variant> numbers = {Variant::Null(), 0, 1, 2, 3};
  const std::vector<Variant> texts = {Variant::Null(), "a", "A", "ab", "Ab", "b", "B", "b2", "ba"};
  const char* sorts[] = {"", "N", "N DESC", "S", "S CIS", "S DESC CIS", "N;S", "S CIS;N DESC", "N DESC;S CIS", "S;N"};
  auto pick = [&](const std::vector<Variant>& from) { return from[random() % from.size()]; };
  for (int round = 0; round < 60; ++round) {
    auto ds = MakeDataSet({{"ID", dtInteger, 4}, {"N", dtInteger, 4}, {"S", dtString, 9, 8}});
    const int count = static_cast<int>(random() % 14);
    for (int id = 1; id <= count; ++id) ds->Rows().source.push_back({id, pick(numbers), pick(texts)});
    ds->SetIndexFieldNames(sorts[round % std::size(sorts)]);
    ds->Open();
    std::vector<Row> rows;
    for (ds->First(); !ds->GetEOF(); ds->Next()) rows.push_back({ds->F("ID")->AsInteger(), ds->F("N")->Value(), ds->F("S")->Value()});
    for (int search = 0; search < 12; ++search) {
      // One key or two, in either order.
      std::vector<bool> kinds = {random() % 2 == 0};
      if (random() % 2) kinds.push_back(!kinds[0]);
      std::vector<std::pair<bool, Variant>> keys;
      std::string names;
      for (const bool text : kinds) {
        keys.emplace_back(text, text ? pick(texts) : pick(numbers));
        names += (names.empty() ? "" : ";") + std::string(text ? "S" : "N");
      }
      std::vector<Variant> values;
      for (const auto& key : keys) values.push_back(key.second);
      const Variant key_values = values.size() == 1 ? values[0] : Variant(values);
      for (uint32_t bits = 0; bits < 64; ++bits) {
        TLocateExOptions options;
        for (int b = 0; b < 6; ++b) {
          if (bits & (1u << b)) options.Include(kOptions[b]);
        }
        if (count > 0) ds->SetRecNo(1 + static_cast<int>(random() % static_cast<uint32_t>(count)));
        const int current = ds->RecNo();
        const int expected = ExpectedId(rows, current, keys, options);
        const bool found = ds->LocateEx(names, key_values, options);
        const std::string what = "sort '" + std::string(sorts[round % std::size(sorts)]) + "' keys " + names +
                                 " options " + std::to_string(bits) + " from " + std::to_string(current);
        ASSERT_EQ(found, expected != 0) << what;
        if (found) {
          ASSERT_EQ(ds->F("ID")->AsInteger(), expected) << what;
        } else {
          ASSERT_EQ(ds->RecNo(), current) << what;
        }
      }
      // Lookup answers from the first matching row and leaves the position.
      const int current = ds->RecNo();
      const int expected = ExpectedId(rows, current, keys, {});
      const Variant id = ds->Lookup(names, key_values, "ID");
      EXPECT_EQ(id.IsNull() ? 0 : id.AsInt32(), expected);
      EXPECT_EQ(ds->RecNo(), current);
    }
  }
}

// Thousands of rows, so that a search crosses chunks of the order: some
// shrunk by deletes, some grown by inserts, some the filter shows in part
// and some it empties; duplicates, nulls, both directions and every range.
TEST(MemDataSetLocate, LargeSortedSetsFindWhatAPlainScanFinds) {
  std::mt19937 random(47);
  const char* filters[] = {"", "F = 1", "N < 10 OR N > 30", "(N < 10 OR N > 30) AND F = 1"};
  for (const char* sort : {"N", "N DESC", "N;ID DESC", "N DESC;F"}) {
    for (const char* filter : filters) {
      auto ds = MakeDataSet({{"ID", dtInteger, 4}, {"N", dtInteger, 4}, {"F", dtInteger, 4}});
      int next_id = 1;
      for (; next_id <= 6000; ++next_id) {
        const int n = static_cast<int>(random() % 41);
        ds->Rows().source.push_back({next_id, n == 40 ? Variant::Null() : Variant(n), static_cast<int>(random() % 2)});
      }
      ds->SetIndexFieldNames(sort);
      ds->Open();
      // Deletes and inserts in the middle change the chunks' sizes.
      for (int change = 0; change < 1500; ++change) {
        ds->SetRecNo(1 + static_cast<int>(random() % static_cast<uint32_t>(ds->RecordCount())));
        if (change % 3 == 0) {
          ds->Insert();
          ds->F("ID")->SetAsInteger(next_id++);
          ds->F("N")->SetAsInteger(static_cast<int>(random() % 40));
          ds->F("F")->SetAsInteger(static_cast<int>(random() % 2));
          ds->Post();
        } else {
          ds->Delete();
        }
      }
      ds->SetFilterText(filter);
      ds->SetFiltered(*filter != 0);
      std::vector<Row> rows;
      for (ds->First(); !ds->GetEOF(); ds->Next()) rows.push_back({ds->F("ID")->AsInteger(), ds->F("N")->Value(), {}});
      const int count = static_cast<int>(rows.size());
      ASSERT_GT(count, 0);
      for (int search = 0; search < 150; ++search) {
        const int value = static_cast<int>(random() % 43) - 1;  // -1 and 41: before and after every row
        const Variant key = value == 40 ? Variant::Null() : Variant(value);
        TLocateExOptions options;
        if (search % 3 == 1) options.Include(lxNext);
        if (search % 3 == 2) options.Include(lxUp);
        ds->SetRecNo(1 + static_cast<int>(random() % static_cast<uint32_t>(count)));
        const int current = ds->RecNo();
        const int expected = ExpectedId(rows, current, {{false, key}}, options);
        const std::string what = std::string("sort '") + sort + "' filter '" + filter + "' key " +
                                 std::to_string(value) + " from " + std::to_string(current);
        ASSERT_EQ(ds->LocateEx("N", key, options), expected != 0) << what;
        ASSERT_EQ(expected != 0 ? ds->F("ID")->AsInteger() : ds->RecNo(), expected != 0 ? expected : current) << what;
      }
    }
  }
}

TEST(MemDataSetLocate, KeysTakeTheWidthOfTheirColumns) {
  auto ds = MakeDataSet({{"SMALL", dtSmallint, 2}, {"BIG", dtUInt32, 4}, {"FLAG", dtBoolean, 2}});
  ds->AddSource({{int16_t{4464}, uint32_t{1}, false}, {int16_t{7}, uint32_t{3000000000u}, true}, {int16_t{8}, uint32_t{2147483648u}, true}});
  ds->SetIndexFieldNames("BIG");
  ds->Open();
  // 70,000 is no 16-bit value (its low half is 4464); a key past the column's range finds nothing.
  try {
    ds->Locate("SMALL", 70000, {});
    FAIL();
  } catch (const EConvertError& error) {
    EXPECT_STREQ(error.what(), "Cannot convert type");
  }
  EXPECT_TRUE(ds->Locate("BIG", int64_t{3000000000}, {}));
  EXPECT_EQ(ds->F("SMALL")->AsInteger(), 7);
  EXPECT_TRUE(ds->Locate("BIG", "2147483648", {}));
  EXPECT_EQ(ds->F("SMALL")->AsInteger(), 8);
  EXPECT_TRUE(ds->Locate("FLAG", true, {}));
  EXPECT_EQ(ds->F("SMALL")->AsInteger(), 8);
  // An empty search, or one past the last row, reads nothing.
  ds->Last();
  EXPECT_FALSE(ds->LocateEx("BIG", 1, {lxNext}));
  ds->First();
  EXPECT_FALSE(ds->LocateEx("BIG", 1, {lxUp}));
  EXPECT_FALSE(ds->Locate("NOSUCH", 1, {}));
}

}  // namespace
}  // namespace dac
