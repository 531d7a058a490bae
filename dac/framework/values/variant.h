// The library's Variant: a value whose kind is chosen at run time. Its type
// codes keep the original numbering, on which record ordering relies.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "dac/framework/values/bcd.h"
#include "dac/framework/values/bytes.h"
#include "dac/framework/values/currency.h"
#include "platform/date_time.h"

namespace dac {

class TObject;

using plat::DateTime;

using VarType = uint16_t;
constexpr VarType varEmpty = 0;
constexpr VarType varNull = 1;
constexpr VarType varSmallint = 2;   // int16
constexpr VarType varInteger = 3;    // int32
constexpr VarType varSingle = 4;
constexpr VarType varDouble = 5;
constexpr VarType varCurrency = 6;
constexpr VarType varDate = 7;
constexpr VarType varOleStr = 8;     // wide string
constexpr VarType varBoolean = 11;
constexpr VarType varVariant = 12;   // element type of a variant array
constexpr VarType varShortInt = 16;  // int8
constexpr VarType varByte = 17;      // uint8
constexpr VarType varWord = 18;      // uint16
constexpr VarType varLongWord = 19;  // uint32
constexpr VarType varInt64 = 20;
constexpr VarType varUInt64 = 21;
constexpr VarType varString = 0x0100;  // 8-bit string
constexpr VarType varFMTBcd = 0x010F;  // packed decimal
constexpr VarType varArray = 0x2000;
constexpr VarType varByRef = 0x4000;   // by itself: a reference to an object (not owned)
constexpr VarType varTypeMask = 0x0FFF;
constexpr VarType varBytes = varArray | varByte;
constexpr VarType varVariantArray = varArray | varVariant;

// Readable name of a type code ("Integer", "String", "Array Byte", ...).
std::string VarTypeName(VarType type);

class Variant {
 public:
  Variant() = default;  // Empty
  Variant(bool value);
  Variant(int8_t value);
  Variant(uint8_t value);
  Variant(int16_t value);
  Variant(uint16_t value);
  Variant(int32_t value);
  Variant(uint32_t value);
  Variant(int64_t value);
  Variant(uint64_t value);
  Variant(long long value) : Variant(static_cast<int64_t>(value)) {}
  Variant(unsigned long long value) : Variant(static_cast<uint64_t>(value)) {}
  Variant(float value);
  Variant(double value);
  Variant(Currency value);
  Variant(const Bcd& value);
  Variant(std::string value);
  Variant(const char* value);
  Variant(WideString value);
  Variant(const char16_t* value);
  Variant(TBytes value);
  Variant(std::vector<Variant> elements);

  static Variant Null();
  static Variant FromDateTime(DateTime value);
  // A reference to an object the variant does not own (code varByRef).
  static Variant FromObject(TObject* object);

  VarType Type() const { return type_; }
  bool IsEmpty() const { return type_ == varEmpty; }
  bool IsNull() const { return type_ == varNull; }
  bool IsEmptyOrNull() const { return type_ <= varNull; }
  bool IsArray() const { return (type_ & varArray) != 0; }
  bool IsNumeric() const;  // integers, single, double, currency, BCD
  bool IsOrdinal() const;  // integers and boolean
  bool IsFloat() const;    // single, double
  bool IsString() const { return type_ == varString || type_ == varOleStr; }
  bool IsBytes() const { return type_ == varBytes; }

  // Conversions. A refused conversion raises EConvertError; integer
  // conversions check the target's range instead of wrapping. Empty reads as
  // 0, "" or false; Null is refused.
  bool AsBoolean() const;
  int8_t AsInt8() const;
  uint8_t AsUInt8() const;
  int16_t AsInt16() const;
  uint16_t AsUInt16() const;
  int32_t AsInt32() const;
  uint32_t AsUInt32() const;
  int64_t AsInt64() const;
  uint64_t AsUInt64() const;
  float AsSingle() const;
  double AsDouble() const;
  Currency AsCurrency() const;
  DateTime AsDateTime() const;
  Bcd AsBcd() const;
  std::string AsString() const;     // wide text through the system code page
  WideString AsWideString() const;
  // A byte array as it is; refused for anything else.
  const TBytes& AsBytes() const;
  TObject* AsObject() const;
  const std::vector<Variant>& AsArray() const;

  // The value converted to a variant of the given code (varNull and varEmpty allowed).
  Variant ChangeType(VarType type) const;

  // Array elements (of a variant array; bytes come as varByte variants).
  size_t ArrayCount() const;
  Variant ArrayElement(size_t index) const;  // ArgumentException when out of range
  void SetArrayElement(size_t index, const Variant& value);

  // Exact equality: numbers by value across kinds, 8-bit and wide text by
  // characters, Null equal only to Null, Empty only to Empty. Never throws.
  friend bool operator==(const Variant& a, const Variant& b);

 private:
  using Storage = std::variant<std::monostate, bool, int64_t, uint64_t, double, Currency, Bcd, std::string, WideString,
                               TBytes, TObject*, std::shared_ptr<std::vector<Variant>>>;
  Variant(VarType type, Storage storage) : type_(type), storage_(std::move(storage)) {}
  [[noreturn]] void CannotConvert(VarType to) const;
  int64_t SignedValue(int64_t min, int64_t max, VarType to) const;
  uint64_t UnsignedValue(uint64_t max, VarType to) const;

  VarType type_ = varEmpty;
  Storage storage_;
};

// -1, 0 or 1. Numbers compare by value, text by the locale (case-sensitive,
// ties broken by code units), text against a number as a number; Empty and
// Null sort before every value (Empty first). EConvertError for kinds that
// have no order between them.
int VarCompare(const Variant& a, const Variant& b);

// "" for Empty and Null, else AsString.
std::string VarToStr(const Variant& v);
WideString VarToWideStr(const Variant& v);

}  // namespace dac
