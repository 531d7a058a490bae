#include "dac/framework/data/filer.h"

#include <cstring>
#include <cstdint>

#include "dac/framework/classes/collection.h"
#include "dac/framework/classes/component.h"
#include "dac/framework/classes/scoped_value.h"
#include "platform/ascii.h"

namespace dac {

namespace {

constexpr char kSignature[4] = {'D', 'A', 'C', 'F'};

// Arrays nest at most this deep, written as read: reading recurses once per
// level, and what is written must read back.
constexpr int kMaxArrayDepth = 64;
constexpr const char* kTooDeep = "Variant arrays nest deeper than 64 levels";

[[noreturn]] void InvalidValue() { throw EReadError("Invalid property value"); }
[[noreturn]] void InvalidFormat() { throw EReadError("Invalid stream format"); }

}  // namespace

// ---- writing ----

void TWriter::DefineProperty(const std::string& name, const TReaderProc&, const TWriterProc& write, bool has_data) {
  if (!has_data || !write) return;
  WriteName(name);
  write(*this);
}

void TWriter::DefineBinaryProperty(const std::string& name, const TStreamProc&, const TStreamProc& write,
                                   bool has_data) {
  if (!has_data || !write) return;
  TMemoryStream data;
  write(data);
  WriteName(name);
  WriteCounted(vaBinary, data.Memory(), static_cast<size_t>(data.GetSize()), 1);
}

void TWriter::WriteInteger(int64_t value) {
  if (value >= INT8_MIN && value <= INT8_MAX) {
    WriteValue(vaInt8, static_cast<int8_t>(value));
  } else if (value >= INT16_MIN && value <= INT16_MAX) {
    WriteValue(vaInt16, static_cast<int16_t>(value));
  } else if (value >= INT32_MIN && value <= INT32_MAX) {
    WriteValue(vaInt32, static_cast<int32_t>(value));
  } else {
    WriteValue(vaInt64, value);
  }
}

void TWriter::WriteFloat(double value) { WriteValue(vaDouble, value); }

void TWriter::WriteCurrency(Currency value) { WriteValue(vaCurrency, value.raw); }

void TWriter::WriteDate(DateTime value) { WriteValue(vaDate, value); }

void TWriter::WriteString(std::string_view value) { WriteCounted(vaString, value.data(), value.size(), 1); }

void TWriter::WriteWideString(std::u16string_view value) {
  WriteCounted(vaWString, value.data(), value.size(), sizeof(char16_t));
}

void TWriter::WriteVariant(const Variant& value) { WriteVariantAt(value, 0); }

void TWriter::WriteVariantAt(const Variant& value, int depth) {
  switch (value.Type()) {
    case varEmpty: WriteTag(vaNil); return;
    case varNull: WriteTag(vaNull); return;
    case varBoolean: WriteBoolean(value.AsBoolean()); return;
    case varShortInt: WriteValue(vaInt8, value.AsInt8()); return;
    case varSmallint: WriteValue(vaInt16, value.AsInt16()); return;
    case varInteger: WriteValue(vaInt32, value.AsInt32()); return;
    case varInt64: WriteValue(vaInt64, value.AsInt64()); return;
    case varByte: WriteValue(vaUInt8, value.AsUInt8()); return;
    case varWord: WriteValue(vaUInt16, value.AsUInt16()); return;
    case varLongWord: WriteValue(vaUInt32, value.AsUInt32()); return;
    case varUInt64: WriteValue(vaUInt64, value.AsUInt64()); return;
    case varSingle: WriteValue(vaSingle, value.AsSingle()); return;
    case varDouble: WriteFloat(value.AsDouble()); return;
    case varCurrency: WriteCurrency(value.AsCurrency()); return;
    case varDate: WriteDate(value.AsDateTime()); return;
    case varString: WriteString(value.AsString()); return;
    case varOleStr: WriteWideString(value.AsWideString()); return;
    case varFMTBcd: WriteValue(vaBcd, value.AsBcd()); return;
    case varBytes: WriteCounted(vaBinary, value.AsBytes().data(), value.AsBytes().size(), 1); return;
    case varVariantArray:
      if (depth >= kMaxArrayDepth) throw EWriteError(kTooDeep);
      WriteTag(vaArray);
      WriteLength(value.ArrayCount());
      for (const Variant& element : value.AsArray()) WriteVariantAt(element, depth + 1);
      return;
    default:
      throw EWriteError("Cannot file a value of type " + VarTypeName(value.Type()));
  }
}

void TWriter::WriteCollection(const TCollection& collection) {
  WriteTag(vaCollection);
  for (int i = 0; i < collection.Count(); ++i) {
    WriteTag(vaList);
    WriteProperties(*collection.Items(i));
  }
  WriteTag(vaNull);
}

void TWriter::WriteProperties(TPersistent& instance) {
  instance.DefineProperties(*this);
  const uint8_t end = 0;
  WriteRaw(&end, 1);
}

void TWriter::WriteComponent(TComponent& component) {
  WriteRaw(kSignature, sizeof kSignature);
  WriteName(component.ClassName());
  WriteString(component.Name());
  WriteProperties(component);
}

void TWriter::WriteName(std::string_view name) {
  if (name.empty() || name.size() > 255) throw EWriteError("Invalid property name '" + std::string(name) + "'");
  const auto length = static_cast<uint8_t>(name.size());
  WriteRaw(&length, 1);
  WriteRaw(name.data(), name.size());
}

void TWriter::WriteCounted(TValueType tag, const void* data, size_t count, size_t unit) {
  WriteTag(tag);
  WriteLength(count);
  WriteRaw(data, count * unit);
}

void TWriter::WriteLength(size_t length) {
  if (length > UINT32_MAX) throw EWriteError("Stream write error");
  const auto value = static_cast<uint32_t>(length);
  WriteRaw(&value, sizeof value);
}

void TWriter::WriteRaw(const void* data, size_t size) { stream_.WriteBuffer(data, static_cast<int64_t>(size)); }

// ---- reading ----

void TReader::DefineProperty(const std::string& name, const TReaderProc& read, const TWriterProc&, bool) {
  if (found_ || !read || !plat::SameText(name, property_)) return;
  found_ = true;
  // A value its property cannot take (a date out of range for an integer
  // parameter, say) makes the stream malformed like a wrong tag does.
  try {
    read(*this);
  } catch (const EConvertError& e) {
    throw EReadError("Invalid property value: " + e.Message());
  }
}

void TReader::DefineBinaryProperty(const std::string& name, const TStreamProc& read, const TStreamProc&, bool) {
  if (found_ || !read || !plat::SameText(name, property_)) return;
  found_ = true;
  ExpectTag(vaBinary);
  const size_t size = ReadLength(1);
  TMemoryStream data;
  data.SetSize(static_cast<int64_t>(size));
  ReadRaw(data.Memory(), size);
  read(data);
}

TValueType TReader::NextValue() {
  const TValueType tag = ReadTag();
  stream_.Seek(-1, SeekOrigin::Current);
  return tag;
}

int32_t TReader::ReadInteger() {
  const int64_t value = ReadInt64();
  if (value < INT32_MIN || value > INT32_MAX) InvalidValue();
  return static_cast<int32_t>(value);
}

int64_t TReader::ReadInt64() { return ReadIntegerValue(ReadTag()); }

bool TReader::ReadBoolean() {
  const TValueType tag = ReadTag();
  if (tag != vaTrue && tag != vaFalse) InvalidValue();
  return tag == vaTrue;
}

double TReader::ReadFloat() {
  ExpectTag(vaDouble);
  return ReadValue<double>();
}

Currency TReader::ReadCurrency() {
  ExpectTag(vaCurrency);
  return Currency::FromRaw(ReadValue<int64_t>());
}

DateTime TReader::ReadDate() {
  ExpectTag(vaDate);
  return ReadValue<DateTime>();
}

std::string TReader::ReadString() {
  ExpectTag(vaString);
  return ReadStringBody();
}

WideString TReader::ReadWideString() {
  ExpectTag(vaWString);
  return ReadWideStringBody();
}

std::string TReader::ReadStringBody() {
  std::string value(ReadLength(1), '\0');
  ReadRaw(value.data(), value.size());
  return value;
}

WideString TReader::ReadWideStringBody() {
  WideString value(ReadLength(sizeof(char16_t)), u'\0');
  ReadRaw(value.data(), value.size() * sizeof(char16_t));
  return value;
}

Variant TReader::ReadVariant() { return ReadVariantValue(ReadTag()); }

void TReader::ReadCollection(TCollection& collection) {
  ExpectTag(vaCollection);
  // The present items wait aside until the new ones are read whole; the
  // losing side goes with kept, whose end deletes it without notifying
  // every other item of each one.
  TCollection kept(collection.ItemClass());
  collection.BeginUpdate();
  collection.ExchangeItems(kept);
  try {
    ReadCollectionItems(collection);
  } catch (...) {
    collection.ExchangeItems(kept);
    collection.EndUpdate();
    throw;
  }
  collection.EndUpdate();
}

void TReader::ReadCollectionItems(TCollection& collection) {
  for (;;) {
    const TValueType tag = ReadTag();
    if (tag == vaNull) return;
    if (tag != vaList) InvalidFormat();
    ReadProperties(*collection.Add());
  }
}

void TReader::ReadProperties(TPersistent& instance) {
  const std::string outer_property = property_;
  const bool outer_found = found_;
  for (std::string name = ReadName(); !name.empty(); name = ReadName()) {
    property_ = name;
    found_ = false;
    instance.DefineProperties(*this);
    if (!found_) throw EReadError(Format("Property %s does not exist", name.c_str()));
  }
  property_ = outer_property;
  found_ = outer_found;
}

void TReader::ReadComponent(TComponent& component) {
  char signature[sizeof kSignature];
  ReadRaw(signature, sizeof signature);
  if (std::memcmp(signature, kSignature, sizeof kSignature) != 0) InvalidFormat();
  if (ReadName() != component.ClassName()) InvalidFormat();
  component.SetName(ReadString());
  component.BeginLoading();
  try {
    ReadProperties(component);
  } catch (...) {
    component.EndReading();
    component.EndLoading();
    throw;
  }
  component.EndReading();
  component.Loaded();
}

TValueType TReader::ReadTag() {
  const auto tag = ReadValue<uint8_t>();
  if (tag > vaArray) InvalidFormat();
  return static_cast<TValueType>(tag);
}

void TReader::ExpectTag(TValueType tag) {
  if (ReadTag() != tag) InvalidValue();
}

std::string TReader::ReadName() {
  const auto length = ReadValue<uint8_t>();
  std::string name(length, '\0');
  ReadRaw(name.data(), length);
  return name;
}

size_t TReader::ReadLength(size_t unit) {
  const auto length = ReadValue<uint32_t>();
  const int64_t rest = stream_.GetSize() - stream_.GetPosition();
  if (static_cast<uint64_t>(length) * unit > static_cast<uint64_t>(rest)) throw EReadError("Stream read error");
  return length;
}

void TReader::ReadRaw(void* data, size_t size) { stream_.ReadBuffer(data, static_cast<int64_t>(size)); }

int64_t TReader::ReadIntegerValue(TValueType tag) {
  switch (tag) {
    case vaInt8: return ReadValue<int8_t>();
    case vaInt16: return ReadValue<int16_t>();
    case vaInt32: return ReadValue<int32_t>();
    case vaInt64: return ReadValue<int64_t>();
    case vaUInt8: return ReadValue<uint8_t>();
    case vaUInt16: return ReadValue<uint16_t>();
    case vaUInt32: return ReadValue<uint32_t>();
    case vaUInt64: {
      const auto v = ReadValue<uint64_t>();
      if (v > static_cast<uint64_t>(INT64_MAX)) InvalidValue();
      return static_cast<int64_t>(v);
    }
    default: InvalidValue();
  }
}

Variant TReader::ReadVariantValue(TValueType tag) {
  switch (tag) {
    case vaNil: return Variant();
    case vaNull: return Variant::Null();
    case vaFalse: return Variant(false);
    case vaTrue: return Variant(true);
    case vaInt8: return Variant(static_cast<int8_t>(ReadIntegerValue(tag)));
    case vaInt16: return Variant(static_cast<int16_t>(ReadIntegerValue(tag)));
    case vaInt32: return Variant(static_cast<int32_t>(ReadIntegerValue(tag)));
    case vaInt64: return Variant(ReadIntegerValue(tag));
    case vaUInt8: return Variant(static_cast<uint8_t>(ReadIntegerValue(tag)));
    case vaUInt16: return Variant(static_cast<uint16_t>(ReadIntegerValue(tag)));
    case vaUInt32: return Variant(static_cast<uint32_t>(ReadIntegerValue(tag)));
    case vaUInt64: return Variant(ReadValue<uint64_t>());
    case vaSingle: return Variant(ReadValue<float>());
    case vaDouble: return Variant(ReadValue<double>());
    case vaCurrency: return Variant(Currency::FromRaw(ReadValue<int64_t>()));
    case vaDate: return Variant::FromDateTime(ReadValue<DateTime>());
    case vaString: return Variant(ReadStringBody());
    case vaWString: return Variant(ReadWideStringBody());
    case vaBinary: {
      TBytes bytes(ReadLength(1));
      ReadRaw(bytes.data(), bytes.size());
      return Variant(std::move(bytes));
    }
    case vaBcd: {
      const Bcd value = ReadValue<Bcd>();
      try {
        BcdToDecimal(value);
      } catch (const EConvertError&) {
        InvalidValue();
      }
      return Variant(value);
    }
    case vaArray: {
      const size_t count = ReadLength(1);
      if (array_depth_ >= kMaxArrayDepth) throw EReadError(kTooDeep);
      const TScopedValue<int> deeper(array_depth_, array_depth_ + 1);
      // Only the elements read are held: each took a byte of the stream at
      // least, whatever count the stream claims.
      std::vector<Variant> elements;
      for (size_t i = 0; i < count; ++i) elements.push_back(ReadVariant());
      return Variant(std::move(elements));
    }
    default: InvalidValue();
  }
}

}  // namespace dac
