// One grade band of a learner's test: a percentage range with its grade text
// and the performance page's movies and script. Session files store the
// record byte for byte, so its 144-byte layout is fixed (integers
// little-endian):
//   0 Low int32, 4 High int32, 8 Grade char[100], 108 UseScript int32,
//   112 UpperLeftExt char[10], 122 CenterLeftExt char[10],
//   132 CenterRightExt char[10], 142 two bytes of padding.
// Texts are NUL-terminated; the bytes after a text's terminator, and the
// padding, keep whatever they held, so a stored record reads back unchanged.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace server {

class TGradeBand {
 public:
  static constexpr size_t kSize = 144;
  static constexpr size_t kMaxGradeLength = 99;
  static constexpr size_t kMaxExtLength = 9;

  // All bytes zero.
  TGradeBand() = default;
  // The record as stored; bytes must hold exactly kSize bytes.
  static TGradeBand FromBytes(std::string_view bytes);
  std::string_view Bytes() const { return std::string_view(bytes_.data(), bytes_.size()); }

  int32_t GetLow() const { return IntAt(kLowOffset); }
  void SetLow(int32_t low) { SetIntAt(kLowOffset, low); }
  int32_t GetHigh() const { return IntAt(kHighOffset); }
  void SetHigh(int32_t high) { SetIntAt(kHighOffset, high); }
  int32_t GetUseScript() const { return IntAt(kUseScriptOffset); }
  void SetUseScript(int32_t use_script) { SetIntAt(kUseScriptOffset, use_script); }

  // Texts read up to their terminator (or the end of their field); setting one
  // keeps its first 99 (grade) or 9 (extensions) bytes.
  std::string GetGrade() const { return TextAt(kGradeOffset, kGradeSize); }
  void SetGrade(std::string_view grade) { SetTextAt(kGradeOffset, kGradeSize, grade); }
  std::string GetUpperLeftExt() const { return TextAt(kUpperLeftExtOffset, kExtSize); }
  void SetUpperLeftExt(std::string_view ext) { SetTextAt(kUpperLeftExtOffset, kExtSize, ext); }
  std::string GetCenterLeftExt() const { return TextAt(kCenterLeftExtOffset, kExtSize); }
  void SetCenterLeftExt(std::string_view ext) { SetTextAt(kCenterLeftExtOffset, kExtSize, ext); }
  std::string GetCenterRightExt() const { return TextAt(kCenterRightExtOffset, kExtSize); }
  void SetCenterRightExt(std::string_view ext) { SetTextAt(kCenterRightExtOffset, kExtSize, ext); }

 private:
  static constexpr size_t kLowOffset = 0;
  static constexpr size_t kHighOffset = 4;
  static constexpr size_t kGradeOffset = 8;
  static constexpr size_t kGradeSize = 100;
  static constexpr size_t kUseScriptOffset = 108;
  static constexpr size_t kUpperLeftExtOffset = 112;
  static constexpr size_t kCenterLeftExtOffset = 122;
  static constexpr size_t kCenterRightExtOffset = 132;
  static constexpr size_t kExtSize = 10;

  int32_t IntAt(size_t offset) const;
  void SetIntAt(size_t offset, int32_t value);
  std::string TextAt(size_t offset, size_t size) const;
  void SetTextAt(size_t offset, size_t size, std::string_view text);

  std::array<char, kSize> bytes_{};
};

}  // namespace server
