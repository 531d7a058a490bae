#include "dac/store/runtime/line_ends.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace dac {
namespace {

std::string AddCR(const std::string& text, int dest_len, int count) {
  std::string dest(static_cast<size_t>(dest_len) + 1, '#');
  const int n = AddCRString(text.c_str(), dest.data(), dest_len, count);
  EXPECT_EQ(dest[static_cast<size_t>(n)], '\0');
  return dest.substr(0, static_cast<size_t>(n));
}

TEST(LineEnds, AddCarriageReturns) {
  EXPECT_EQ(AddCR("a\nb", 10, 3), "a\r\nb");  // one more character than read
  EXPECT_EQ(AddCR("a\r\nb", 10, 4), "a\r\nb");
  EXPECT_EQ(AddCR("\n", 10, 1), "\r\n");
  EXPECT_EQ(AddCR("ab\0cd", 10, 5), "ab");  // stops at a 0 character
  EXPECT_EQ(AddCR("abcdef", 10, 3), "abc");
  EXPECT_EQ(AddCR("a\n\n", 4, 3), "a\r\n");  // a pair that would not fit is left out whole
  EXPECT_EQ(AddCR("", 0, 5), "");
  EXPECT_EQ(AddCRStringLength("a\nb\r\n", 5), 6);
}

TEST(LineEnds, RemoveCarriageReturns) {
  std::string dest(16, '#');
  EXPECT_EQ(RemoveCRString("a\r\nb\rc", dest.data(), 15, 6), 5);
  EXPECT_EQ(std::string(dest.c_str()), "a\nb\rc");
  EXPECT_EQ(RemoveCRString("abcdef", dest.data(), 3, 6), 3);
  EXPECT_EQ(std::string(dest.c_str()), "abc");
  EXPECT_EQ(RemoveCRString("a\r", dest.data(), 15, 2), 2);  // a lone final carriage return stays
}

TEST(LineEnds, WideTextAtAnyAddress) {
  const std::u16string text = u"x\ny";
  alignas(2) char source_bytes[16] = {};
  std::memcpy(source_bytes + 1, text.data(), text.size() * 2);  // odd address
  char dest_bytes[20] = {};
  const int n = AddCRUnicode(source_bytes + 1, dest_bytes + 1, 8, 3);
  EXPECT_EQ(n, 4);
  std::u16string out(4, u'\0');
  std::memcpy(out.data(), dest_bytes + 1, 8);
  EXPECT_EQ(out, u"x\r\ny");
  EXPECT_EQ(AddCRUnicodeLength(source_bytes + 1, 3), 4);
  char back_bytes[20] = {};
  EXPECT_EQ(RemoveCRUnicode(dest_bytes + 1, back_bytes + 1, 8, 4), 3);
  std::u16string back(3, u'\0');
  std::memcpy(back.data(), back_bytes + 1, 6);
  EXPECT_EQ(back, text);
}

}  // namespace
}  // namespace dac
