// Parameters of SQL statements and stored procedures.
//
// Parameters of one collection that share a name share their value and
// its data type: a parameter's value (the Variant and its null state),
// Bound and DataType go through its reference, the first parameter of its
// collection with the same name, found on first use by ParamRef() and
// kept, so that :a used twice is one typed value. Without a name or a
// collection the reference is the parameter itself. Name, parameter type
// and size stay its own; a derived class keeps its value objects with the
// reference too. Renaming to "" drops the kept reference,
// renaming to another name keeps it; a copy (Assign, AssignParam, filing)
// writes its own value and becomes its own reference. A parameter that
// leaves its collection takes every reference to it along.
#pragma once

#include <string>
#include <vector>

#include "dac/framework/classes/collection.h"
#include "dac/framework/classes/streams.h"
#include "dac/framework/data/dataset_types.h"
#include "dac/framework/data/field_type.h"
#include "dac/framework/values/variant.h"

namespace dac {

class TField;
class TParams;

// The class library's SQL time stamp; Fractions are milliseconds.
struct TSQLTimeStamp {
  int16_t Year = 0;
  uint16_t Month = 0;
  uint16_t Day = 0;
  uint16_t Hour = 0;
  uint16_t Minute = 0;
  uint16_t Second = 0;
  uint32_t Fractions = 0;
};

// EConvertError "Invalid argument to date encode" for an impossible stamp.
DateTime SQLTimeStampToDateTime(const TSQLTimeStamp& stamp);
TSQLTimeStamp DateTimeToSQLTimeStamp(DateTime value);

class TParam : public TCollectionItem {
  DAC_DECLARE_CLASS();

 public:
  TParam() = default;

  // ---- its own ----
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  std::string GetDisplayName() const override;
  // Through the reference; setting writes this one's own type as well,
  // which it keeps when it is separated from the others.
  virtual TFieldType GetDataType() const { return TypeHolder().data_type_; }
  virtual void SetDataType(TFieldType type);
  TFieldType DataType() const { return GetDataType(); }
  TParamType ParamType() const { return param_type_; }
  void SetParamType(TParamType type);
  int Precision() const { return precision_; }
  void SetPrecision(int value) { precision_ = value; }
  int NumericScale() const { return numeric_scale_; }
  void SetNumericScale(int value) { numeric_scale_ = value; }
  virtual int GetSize() const { return size_; }
  virtual void SetSize(int size) { size_ = size; }
  int Size() const { return GetSize(); }

  // ---- shared through the reference ----
  // The parameter that holds this one's value (see above).
  TParam* ParamRef();
  const TParam* ParamRef() const { return const_cast<TParam*>(this)->ParamRef(); }
  bool Bound();
  void SetBound(bool value);
  virtual bool GetIsNull();
  bool IsNull() { return GetIsNull(); }
  // The value becomes Null.
  virtual void Clear();
  virtual Variant GetAsVariant();
  // A parameter of type ftUnknown takes the type the value suggests.
  virtual void SetAsVariant(const Variant& value);
  Variant Value() { return GetAsVariant(); }
  void SetValue(const Variant& value) { SetAsVariant(value); }

  // Typed access: reading a null parameter gives 0, false, "" or no bytes;
  // each setter sets its type through SetDataType first.
  virtual std::string GetAsString();
  virtual void SetAsString(const std::string& value);
  virtual WideString GetAsWideString();
  virtual void SetAsWideString(const WideString& value);
  virtual int32_t GetAsInteger();
  virtual void SetAsInteger(int32_t value);
  virtual double GetAsFloat();
  virtual void SetAsFloat(double value);
  virtual void SetAsBlob(const std::string& value);
  virtual void SetAsMemo(const std::string& value);
  // Over a date-time (type ftDateTime).
  virtual TSQLTimeStamp GetAsSQLTimeStamp();
  virtual void SetAsSQLTimeStamp(const TSQLTimeStamp& value);
  // The value as it is, the type kept (ftString when unknown).
  virtual void SetText(const std::string& value);
  std::string Text() { return GetAsString(); }
  std::string AsString() { return GetAsString(); }
  WideString AsWideString() { return GetAsWideString(); }
  int32_t AsInteger() { return GetAsInteger(); }
  double AsFloat() { return GetAsFloat(); }
  std::string AsBlob() { return GetAsString(); }
  std::string AsMemo() { return GetAsString(); }
  TSQLTimeStamp AsSQLTimeStamp() { return GetAsSQLTimeStamp(); }
  bool AsBoolean();
  void SetAsBoolean(bool value);
  int16_t AsSmallInt();
  void SetAsSmallInt(int16_t value);
  uint16_t AsWord();
  void SetAsWord(uint16_t value);
  int64_t AsLargeInt();
  void SetAsLargeInt(int64_t value);
  Currency AsCurrency();
  void SetAsCurrency(Currency value);
  // A currency value of type ftBCD.
  Currency AsBCD() { return AsCurrency(); }
  void SetAsBCD(Currency value);
  Bcd AsFMTBCD();
  void SetAsFMTBCD(const Bcd& value);
  DateTime AsDateTime();
  void SetAsDateTime(DateTime value);
  DateTime AsDate() { return AsDateTime(); }
  void SetAsDate(DateTime value);
  DateTime AsTime() { return AsDateTime(); }
  void SetAsTime(DateTime value);
  // Text values give their bytes.
  TBytes AsBytes();
  void SetAsBytes(const TBytes& value);

  // ---- copies ----
  // Type, value, Bound, name, sizes; the parameter type only while this
  // one's is ptUnknown.
  virtual void AssignParam(const TParam* param);
  // The field's value (AssignFieldValue) and its name; a value the field
  // cannot hold exactly (TDataSetBase::GetFieldExactText) as its source's
  // text instead: ftFMTBcd digits for a number, else text.
  void AssignField(TField* field);
  // Type ftFixedChar for a fixed-length string field, ftString for a memo
  // field of more than 255 bytes, else the field's type; then Null clears,
  // any other value is set. Bound afterwards.
  virtual void AssignFieldValue(TField* field, const Variant& value);
  // A parameter, a field or a string list (as memo text); else the base.
  void Assign(const TPersistent* source) override;
  // The whole stream, from its start, as the value, with the given type.
  virtual void LoadFromStream(TStream& stream, TFieldType blob_type);
  void LoadFromFile(const std::string& path, TFieldType blob_type);
  bool IsEqual(TParam& other);

  // Name, DataType, ParamType, Precision, NumericScale, Size and (when
  // bound) Value.
  void DefineProperties(TFiler& filer) override;

 protected:
  // Into a field: the field's value becomes this value.
  void AssignTo(TPersistent* dest) const override;
  // Writes the value through the reference, without touching the type.
  void WriteValue(const Variant& value);
  // The typed setters: the type through SetDataType, then the value.
  void SetTyped(TFieldType type, const Variant& value) {
    SetDataType(type);
    WriteValue(value);
  }

 private:
  friend class TParams;

  // The reference, once there can be one: an unnamed parameter reads its own
  // type without fixing its reference before it gets a name.
  const TParam& TypeHolder() const { return param_ref_ || !name_.empty() ? *ParamRef() : *this; }

  std::string name_;
  TFieldType data_type_ = ftUnknown;
  TParamType param_type_ = ptUnknown;
  int precision_ = 0;
  int numeric_scale_ = 0;
  int size_ = 0;
  Variant value_ = Variant::Null();
  bool bound_ = false;
  TParam* param_ref_ = nullptr;
};

class TParams : public TCollection {
  DAC_DECLARE_CLASS();

 public:
  explicit TParams(TPersistent* owner = nullptr);

  TParam* Items(int index) const { return static_cast<TParam*>(TCollection::Items(index)); }
  TParam* AddParam(TParam* param);
  TParam* CreateParam(TFieldType type, const std::string& name, TParamType param_type);
  // The first parameter of that name (without ASCII case), or nullptr.
  TParam* FindParam(const std::string& name) const;
  // EDatabaseError "Parameter %s not found", naming the owning component.
  TParam* ParamByName(const std::string& name) const;
  // The parameters of a ";" list, each found by ParamByName.
  std::vector<TParam*> GetParamList(const std::string& names) const;
  // One name: its Value; several: a Variant array of their values.
  Variant GetParamValues(const std::string& names) const;
  void SetParamValues(const std::string& names, const Variant& values) const;
  // For each parameter of source, the one of the same name here (if any) takes it.
  void AssignValues(const TParams& source);
  bool IsEqual(const TParams& other) const;

 protected:
  TParams(const TMetaClass& item_class, TPersistent* owner);
  void Notify(TCollectionItem* item, TCollectionNotification action) override;
};

}  // namespace dac
