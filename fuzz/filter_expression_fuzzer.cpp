// A filter text (after a byte that sets the filter's options) parsed against
// a record layout of every scalar kind and checked against four records:
// filled, other values, empty texts and zeros, all null. A text either
// parses or is refused, and each check gives a verdict or a conversion error.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dac/framework/exceptions.h"
#include "dac/framework/text_conversions.h"
#include "dac/store/filter_expression.h"
#include "fuzz/fuzz_support.h"
#include "platform/code_page.h"
#include "tests/dac/store/test_record_set.h"

namespace fuzz {
namespace {

using dac::Variant;
using Record = dac::testing::TTestData::Record;

Variant Date(const char* text) { return Variant::FromDateTime(dac::StrToDateTime(text)); }

class Records {
 public:
  Records() {
    data_.columns = {{"S", dac::dtString, 21, 20},
                     {"W", dac::dtWideString, 42, 20},
                     {"I8", dac::dtInt8, 2},
                     {"I16", dac::dtSmallint, 2},
                     {"I32", dac::dtInteger, 4},
                     {"I64", dac::dtLargeint, 8},
                     {"U16", dac::dtWord, 2},
                     {"U32", dac::dtUInt32, 4},
                     {"F", dac::dtFloat, 8},
                     {"C", dac::dtCurrency, 8},
                     {"B", dac::dtBoolean, 2},
                     {"D", dac::dtDate, 8},
                     {"T", dac::dtTime, 8},
                     {"DT", dac::dtDateTime, 8},
                     {"BCD", dac::dtBCD, 8},
                     {"FB", dac::dtFmtBCD, 34},
                     {"ES", dac::dtExtString, dac::kReferenceSlotSize},
                     {"EWS", dac::dtExtWideString, dac::kReferenceSlotSize},
                     {"V", dac::dtVariant, dac::kReferenceSlotSize},
                     {"with blanks", dac::dtInteger, 4}};
    data_.SetEnableEmptyStrings(true);
    data_.Init();
    for (int i = 0; i < 4; ++i) rows_.push_back(std::make_unique<Record>(data_, true, false));
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

  void Check(uint8_t options, const std::string& text) {
    data_.SetFilterCaseInsensitive(options & 1);
    data_.SetFilterNoPartialCompare(options & 2);
    try {
      data_.CreateFilterExpression(text);
    } catch (const dac::Exception&) {
      return;
    }
    dac::TExpressionNode* root = data_.GetFilterExpression();
    if (root == nullptr) return;
    for (const std::unique_ptr<Record>& row : rows_) {
      data_.SetFilterRecBuf(row->get());
      try {
        data_.Eval(root);
      } catch (const dac::Exception&) {
      }
    }
  }

 private:
  void Fill(size_t row, std::initializer_list<std::pair<const char*, Variant>> values) {
    for (const auto& [name, value] : values)
      data_.PutFieldAsVariant(data_.FieldByName(name)->GetFieldNo(), rows_[row]->get(), value);
  }

  dac::testing::TTestData data_;
  std::vector<std::unique_ptr<Record>> rows_;
};

}  // namespace
}  // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static fuzz::Records records;
  records.Check(data[0], std::string(fuzz::AsText(data + 1, size - 1)));
  return 0;
}
