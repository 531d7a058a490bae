// The data-type table against the record store itself: each type, in the
// least slot the table allows it, takes a value and reads it back as the
// Variant kind the table names (a shifted or wrong row shows here; an
// overrun of a slot the table sizes too small shows under the sanitizers).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/record/data_type_traits.h"
#include "tests/dac/store/test_record_set.h"

namespace dac {
namespace {

using testing::TTestData;

struct Sample {
  uint16_t type;
  uint16_t length;
  Variant value;
};

uint16_t LeastSlot(uint16_t type, uint16_t length) {
  const TDataTypeTraits& traits = DataTypeTraits(type);
  return static_cast<uint16_t>(traits.slot_size + (traits.slot_adds_length ? length : 0));
}

TEST(DataTypeTraits, EachTypeInItsLeastSlotReadsBackAsItsVariantKind) {
  const std::vector<Sample> samples = {
      {dtString, 4, Variant("abc")},
      {dtInt8, 0, Variant(int32_t{-5})},
      {dtSmallint, 0, Variant(int32_t{-300})},
      {dtInteger, 0, Variant(int32_t{70000})},
      {dtFloat, 0, Variant(1.5)},
      {dtDate, 0, Variant::FromDateTime(45000)},
      {dtTime, 0, Variant::FromDateTime(0.25)},
      {dtDateTime, 0, Variant::FromDateTime(45000.25)},
      {dtWord, 0, Variant(int32_t{60000})},
      {dtBoolean, 0, Variant(true)},
      {dtLargeint, 0, Variant(int64_t{1} << 40)},
      {dtCurrency, 0, Variant(2.25)},
      {dtBlob, 0, Variant("bytes")},
      {dtMemo, 0, Variant("memo")},
      {dtExtString, 10, Variant("heap text")},
      {dtBytes, 3, Variant(TBytes{1, 2, 3})},
      {dtVarBytes, 3, Variant(TBytes{1, 2})},
      {dtExtVarBytes, 10, Variant(TBytes{1, 2, 3, 4, 5})},
      {dtUInt32, 0, Variant(uint32_t{4000000000u})},
      {dtWideString, 4, Variant(WideString(u"abc"))},
      {dtExtWideString, 10, Variant(WideString(u"heap"))},
      {dtBCD, 0, Variant(3.5)},
      {dtFmtBCD, 0, Variant("12345678901234567890")},
      {dtGuid, 38, Variant("{00000000-0000-0000-0000-000000000001}")},
      {dtWideMemo, 0, Variant(WideString(u"wide memo"))},
  };
  TTestData data;
  for (const Sample& sample : samples) {
    data.columns.push_back(
        {"F" + std::to_string(sample.type), sample.type, LeastSlot(sample.type, sample.length), sample.length});
  }
  data.Init();
  TTestData::Record record(data, true, true);
  for (size_t i = 0; i < samples.size(); ++i) {
    const uint16_t type = samples[i].type;
    const auto field_no = static_cast<uint16_t>(i + 1);
    SCOPED_TRACE("data type " + std::to_string(type));
    data.PutFieldAsVariant(field_no, record.get(), samples[i].value);
    Variant read;
    if (DataTypeTraits(type).variant_kind == varEmpty) {
      EXPECT_THROW(data.GetFieldAsVariant(field_no, record.get(), read), EConvertError);
      continue;
    }
    data.GetFieldAsVariant(field_no, record.get(), read);
    EXPECT_EQ(read.Type(), DataTypeTraits(type).variant_kind);
  }
}

}  // namespace
}  // namespace dac
