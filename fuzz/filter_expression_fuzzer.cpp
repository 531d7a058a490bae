// A filter text (after a byte that sets the filter's options) parsed against
// a record layout of every scalar kind and checked against its four records
// (tests/dac/store/scalar_records.h). A text either parses or is refused, and
// each check gives a verdict or a conversion error.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "dac/framework/classes/exceptions.h"
#include "dac/store/record/filter_expression.h"
#include "fuzz/fuzz_support.h"
#include "tests/dac/store/scalar_records.h"

namespace fuzz {
namespace {

void Check(dac::testing::TScalarRecords& records, uint8_t options, const std::string& text) {
  dac::TData& data = records.data;
  data.SetFilterCaseInsensitive(options & 1);
  data.SetFilterNoPartialCompare(options & 2);
  try {
    data.CreateFilterExpression(text);
  } catch (const dac::Exception&) {
    return;
  }
  dac::TExpressionNode* root = data.GetFilterExpression();
  if (root == nullptr) return;
  for (const auto& row : records.rows) {
    data.SetFilterRecBuf(row->get());
    try {
      data.Eval(root);
    } catch (const dac::Exception&) {
    }
  }
}

}  // namespace
}  // namespace fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static dac::testing::TScalarRecords records;
  fuzz::Check(records, data[0], std::string(fuzz::AsText(data + 1, size - 1)));
  return 0;
}
