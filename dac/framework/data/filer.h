// Filing of properties: a small tagged stream format of the framework's own
// that objects describe through DefineProperties and that only has to round
// trip. Every value carries a type tag; names are a length byte and bytes; a
// property list ends with an empty name; collections stream item by item.
// Reading checks every tag and length: a truncated or malformed stream, or
// a value its property cannot take, raises EReadError and reads nothing
// past its end.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "dac/framework/classes/streams.h"
#include "dac/framework/values/variant.h"

namespace dac {

class TCollection;
class TComponent;
class TPersistent;
class TReader;
class TWriter;

enum TValueType : uint8_t {
  vaNull,  // a Null value; also ends a collection
  vaList,  // starts a collection item
  vaInt8,
  vaInt16,
  vaInt32,
  vaInt64,
  vaUInt8,
  vaUInt16,
  vaUInt32,
  vaUInt64,
  vaSingle,
  vaDouble,
  vaCurrency,
  vaDate,
  vaString,
  vaWString,
  vaFalse,
  vaTrue,
  vaBinary,
  vaNil,  // an Empty value
  vaCollection,
  vaBcd,
  vaArray,
};

using TReaderProc = std::function<void(TReader&)>;
using TWriterProc = std::function<void(TWriter&)>;
using TStreamProc = std::function<void(TStream&)>;

class TFiler {
 public:
  explicit TFiler(TStream& stream) : stream_(stream) {}
  virtual ~TFiler() = default;
  TFiler(const TFiler&) = delete;
  TFiler& operator=(const TFiler&) = delete;

  // A property: written with write when has_data, read with read when the
  // stream names it.
  virtual void DefineProperty(const std::string& name, const TReaderProc& read, const TWriterProc& write,
                              bool has_data) = 0;
  // A property whose value is raw bytes, handed over as a stream.
  virtual void DefineBinaryProperty(const std::string& name, const TStreamProc& read, const TStreamProc& write,
                                    bool has_data) = 0;

  // The object this one derives from, whose values need not be written again; none by default.
  const TPersistent* Ancestor() const { return ancestor_; }
  void SetAncestor(const TPersistent* ancestor) { ancestor_ = ancestor; }

 protected:
  TStream& stream_;

 private:
  const TPersistent* ancestor_ = nullptr;
};

class TWriter : public TFiler {
 public:
  using TFiler::TFiler;

  void DefineProperty(const std::string& name, const TReaderProc& read, const TWriterProc& write,
                      bool has_data) override;
  void DefineBinaryProperty(const std::string& name, const TStreamProc& read, const TStreamProc& write,
                            bool has_data) override;

  // Integers take the smallest signed tag that holds them.
  void WriteInteger(int64_t value);
  void WriteBoolean(bool value) { WriteTag(value ? vaTrue : vaFalse); }
  void WriteFloat(double value);
  void WriteCurrency(Currency value);
  void WriteDate(DateTime value);
  void WriteString(std::string_view value);
  void WriteWideString(std::u16string_view value);
  // Every kind but object references (EWriteError), with its exact type;
  // arrays nest at most 64 deep (EWriteError beyond).
  void WriteVariant(const Variant& value);
  void WriteCollection(const TCollection& collection);
  void WriteProperties(TPersistent& instance);
  // Signature, class name, component name, properties.
  void WriteComponent(TComponent& component);

 private:
  void WriteTag(TValueType tag) { WriteRaw(&tag, 1); }
  template <typename T>
  void WriteValue(TValueType tag, T value) {
    WriteTag(tag);
    WriteRaw(&value, sizeof value);
  }
  void WriteVariantAt(const Variant& value, int depth);
  void WriteCounted(TValueType tag, const void* data, size_t count, size_t unit);
  void WriteName(std::string_view name);
  void WriteLength(size_t length);
  void WriteRaw(const void* data, size_t size);
};

class TReader : public TFiler {
 public:
  using TFiler::TFiler;

  void DefineProperty(const std::string& name, const TReaderProc& read, const TWriterProc& write,
                      bool has_data) override;
  void DefineBinaryProperty(const std::string& name, const TStreamProc& read, const TStreamProc& write,
                            bool has_data) override;

  // The tag of the next value, not consumed.
  TValueType NextValue();
  // Any integer tag whose value fits.
  int32_t ReadInteger();
  int64_t ReadInt64();
  bool ReadBoolean();
  double ReadFloat();
  Currency ReadCurrency();
  DateTime ReadDate();
  std::string ReadString();
  WideString ReadWideString();
  // Arrays nest at most 64 deep (EReadError beyond).
  Variant ReadVariant();
  // Replaces the items; on an error the collection keeps the items it had.
  void ReadCollection(TCollection& collection);
  // EReadError "Property %s does not exist" for a name the instance does not define.
  void ReadProperties(TPersistent& instance);
  // The stream must hold a component of this one's class; its name and
  // properties are read while it is loading, then Loaded runs.
  void ReadComponent(TComponent& component);

 private:
  TValueType ReadTag();
  void ExpectTag(TValueType tag);
  std::string ReadName();
  // A length that the rest of the stream can hold (in units of unit bytes).
  size_t ReadLength(size_t unit);
  void ReadRaw(void* data, size_t size);
  template <typename T>
  T ReadValue() {
    T value{};
    ReadRaw(&value, sizeof value);
    return value;
  }
  std::string ReadStringBody();
  WideString ReadWideStringBody();
  int64_t ReadIntegerValue(TValueType tag);
  Variant ReadVariantValue(TValueType tag);
  void ReadCollectionItems(TCollection& collection);

  std::string property_;  // the name being read
  bool found_ = false;    // whether DefineProperties has defined it
  int array_depth_ = 0;   // variant arrays open around the value being read
};

}  // namespace dac
