// Text encodings, passed around as references to their one instance:
// Encoding::Default() (the system code page), Encoding::Unicode() (UTF-16)
// and Encoding::UTF8(). Ranged forms check their ranges and raise ArgumentException.
#pragma once

#include <string>

#include "dac/framework/values/bytes.h"

namespace dac {

class Encoding {
 public:
  static const Encoding& Default();
  static const Encoding& Unicode();
  static const Encoding& UTF8();

  virtual ~Encoding() = default;
  Encoding(const Encoding&) = delete;
  Encoding& operator=(const Encoding&) = delete;

  // 8-bit text: its bytes.
  virtual TBytes GetBytes(const std::string& text) const;
  // char_count characters from char_index into bytes at byte_index; the byte count (0 for a count below 1).
  virtual int GetBytes(const std::string& text, int char_index, int char_count, TBytes& bytes, int byte_index) const;
  // Wide text: its UTF-16 bytes, 2 per character.
  virtual TBytes GetBytes(const WideString& text) const;
  virtual int GetBytes(const WideString& text, int char_index, int char_count, TBytes& bytes, int byte_index) const;
  // The bytes as 8-bit text.
  virtual std::string GetString(const TBytes& bytes) const;
  virtual std::string GetString(const TBytes& bytes, int index, int count) const;
  // That 8-bit text in the system code page as wide text.
  virtual WideString GetWideString(const TBytes& bytes) const;
  virtual WideString GetWideString(const TBytes& bytes, int index, int count) const;

 protected:
  Encoding() = default;
};

// The bytes are UTF-16: count div 2 characters.
class UnicodeEncoding : public Encoding {
 public:
  std::string GetString(const TBytes& bytes, int index, int count) const override;
  WideString GetWideString(const TBytes& bytes, int index, int count) const override;
  using Encoding::GetString;
  using Encoding::GetWideString;

 private:
  friend class Encoding;
  UnicodeEncoding() = default;
};

// The bytes are UTF-8; 8-bit text is taken in the system code page. The
// ranged GetBytes forms copy unchanged, as the base does.
class UTF8Encoding : public Encoding {
 public:
  TBytes GetBytes(const std::string& text) const override;
  TBytes GetBytes(const WideString& text) const override;
  std::string GetString(const TBytes& bytes, int index, int count) const override;
  WideString GetWideString(const TBytes& bytes, int index, int count) const override;
  using Encoding::GetBytes;
  using Encoding::GetString;
  using Encoding::GetWideString;

 private:
  friend class Encoding;
  UTF8Encoding() = default;
};

}  // namespace dac
