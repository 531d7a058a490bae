// Four records over every scalar kind of the record layout: filled, other
// values (dates before 30 December 1899), empty texts and zeros, all null.
// The filter tests and the filter fuzz target check texts against them.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "dac/framework/values/text_conversions.h"
#include "dac/framework/values/variant.h"
#include "platform/code_page.h"
#include "tests/dac/store/test_record_set.h"

namespace dac::testing {

class TScalarRecords {
 public:
  TScalarRecords() {
    data.columns = {{"S", dtString, 21, 20},
                    {"W", dtWideString, 42, 20},
                    {"I8", dtInt8, 2},
                    {"I16", dtSmallint, 2},
                    {"I32", dtInteger, 4},
                    {"I64", dtLargeint, 8},
                    {"U16", dtWord, 2},
                    {"U32", dtUInt32, 4},
                    {"F", dtFloat, 8},
                    {"C", dtCurrency, 8},
                    {"B", dtBoolean, 2},
                    {"D", dtDate, 8},
                    {"T", dtTime, 8},
                    {"DT", dtDateTime, 8},
                    {"BCD", dtBCD, 8},
                    {"FB", dtFmtBCD, 34},
                    {"ES", dtExtString, kReferenceSlotSize},
                    {"EWS", dtExtWideString, kReferenceSlotSize},
                    {"V", dtVariant, kReferenceSlotSize}};
    data.SetEnableEmptyStrings(true);
    data.Init();
    for (int i = 0; i < 4; ++i) rows.push_back(std::make_unique<TTestData::Record>(data, true, false));
    Fill(0, {{"S", Variant("Apple")},
             {"W", Variant(plat::AnsiToUtf16("\xC4pfel"))},
             {"I8", Variant(int8_t{-3})},
             {"I16", Variant(int16_t{300})},
             {"I32", Variant(5)},
             {"I64", Variant(int64_t{-9000000000})},
             {"U16", Variant(uint16_t{65535})},
             {"U32", Variant(uint32_t{4000000000})},
             {"F", Variant(2.5)},
             {"C", Variant(1.25)},
             {"B", Variant(true)},
             {"D", Date("3/1/2024")},
             {"T", Date("12:00")},
             {"DT", Date("3/1/2024 12:00")},
             {"BCD", Variant(12.5)},
             {"FB", Variant("123.456")},
             {"ES", Variant("heap")},
             {"EWS", Variant(u"wide heap")},
             {"V", Variant(7)}});
    Fill(1, {{"S", Variant("apricot")},
             {"W", Variant(plat::AnsiToUtf16("\xE4pfel"))},
             {"I32", Variant(-5)},
             {"F", Variant(-1.0)},
             {"B", Variant(false)},
             {"D", Date("12/29/1899")},
             {"DT", Date("12/29/1899 6:00")},
             {"V", Variant("seven")}});
    Fill(2, {{"S", Variant("")}, {"W", Variant(u"")}, {"I32", Variant(0)}, {"DT", Date("12/29/1899 18:00")}});
  }

  static Variant Date(const char* text) { return Variant::FromDateTime(StrToDateTime(text)); }
  void Fill(size_t row, std::initializer_list<std::pair<const char*, Variant>> values) {
    for (const auto& [name, value] : values)
      data.PutFieldAsVariant(data.FieldByName(name)->GetFieldNo(), rows[row]->get(), value);
  }

  TTestData data;
  std::vector<std::unique_ptr<TTestData::Record>> rows;
};

}  // namespace dac::testing
