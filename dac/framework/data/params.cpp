#include "dac/framework/data/params.h"

#include "dac/framework/classes/component.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/string_list.h"
#include "dac/framework/data/field.h"
#include "dac/framework/data/fields.h"
#include "dac/framework/data/filer.h"
#include "dac/framework/data/boolean_field.h"
#include "dac/framework/data/dataset_base.h"
#include "dac/framework/data/numeric_fields.h"
#include "dac/framework/data/string_fields.h"
#include "platform/code_page.h"
#include "platform/ascii.h"

namespace dac {

DAC_DEFINE_CLASS(TParam, TCollectionItem, ::dac::TMetaClassOf<TParam>)
DAC_DEFINE_CLASS(TParams, TCollection, ::dac::TMetaClass)

namespace {

// The type a value suggests to a parameter of unknown type.
TFieldType TypeOfValue(const Variant& value) {
  switch (value.Type()) {
    case varSmallint:
    case varShortInt:
    case varByte: return ftSmallint;
    case varWord: return ftWord;
    case varInteger: return ftInteger;
    case varLongWord:
    case varInt64:
    case varUInt64: return ftLargeint;
    case varCurrency: return ftBCD;
    case varSingle:
    case varDouble: return ftFloat;
    case varDate: return ftDateTime;
    case varBoolean: return ftBoolean;
    case varString: return ftString;
    case varOleStr: return ftWideString;
    case varFMTBcd: return ftFMTBcd;
    case varBytes: return ftVarBytes;
    default: return ftUnknown;
  }
}

}  // namespace

DateTime SQLTimeStampToDateTime(const TSQLTimeStamp& stamp) {
  DateTime value = 0;
  if (stamp.Fractions > 999 ||
      !plat::TryEncodeDateTime(stamp.Year, stamp.Month, stamp.Day, stamp.Hour, stamp.Minute, stamp.Second,
                               static_cast<int>(stamp.Fractions), value)) {
    throw EConvertError("Invalid argument to date encode");
  }
  return value;
}

TSQLTimeStamp DateTimeToSQLTimeStamp(DateTime value) {
  const plat::CalendarDate date = plat::DecodeDate(value);
  const plat::TimeOfDay time = plat::DecodeTime(value);
  TSQLTimeStamp stamp;
  stamp.Year = static_cast<int16_t>(date.year);
  stamp.Month = static_cast<uint16_t>(date.month);
  stamp.Day = static_cast<uint16_t>(date.day);
  stamp.Hour = static_cast<uint16_t>(time.hour);
  stamp.Minute = static_cast<uint16_t>(time.minute);
  stamp.Second = static_cast<uint16_t>(time.second);
  stamp.Fractions = static_cast<uint32_t>(time.millisecond);
  return stamp;
}

// ---- TParam: its own ----

void TParam::SetName(const std::string& name) {
  if (name == name_) return;
  // Leaving its name's reference, a parameter keeps the type it had through it.
  if (name.empty() && !name_.empty()) data_type_ = TypeHolder().data_type_;
  name_ = name;
  if (name.empty()) param_ref_ = nullptr;
  Changed(false);
}

std::string TParam::GetDisplayName() const { return name_.empty() ? TCollectionItem::GetDisplayName() : name_; }

void TParam::SetDataType(TFieldType type) {
  data_type_ = type;
  if (param_ref_ || !name_.empty()) ParamRef()->data_type_ = type;
  Changed(false);
}

void TParam::SetParamType(TParamType type) {
  param_type_ = type;
  Changed(false);
}

// ---- TParam: shared through the reference ----

TParam* TParam::ParamRef() {
  if (!param_ref_) {
    const auto* params = dynamic_cast<const TParams*>(Collection());
    TParam* first = params && !name_.empty() ? params->FindParam(name_) : nullptr;
    param_ref_ = first ? first : this;
  }
  return param_ref_;
}

bool TParam::Bound() { return ParamRef()->bound_; }

void TParam::SetBound(bool value) {
  ParamRef()->bound_ = value;
  Changed(false);
}

bool TParam::GetIsNull() { return ParamRef()->value_.IsEmptyOrNull(); }

void TParam::Clear() {
  ParamRef()->value_ = Variant::Null();
  Changed(false);
}

Variant TParam::GetAsVariant() { return ParamRef()->value_; }

void TParam::SetAsVariant(const Variant& value) {
  if (GetDataType() == ftUnknown) {
    const TFieldType type = TypeOfValue(value);
    if (type != ftUnknown) SetDataType(type);
  }
  WriteValue(value);
}

void TParam::WriteValue(const Variant& value) {
  TParam* ref = ParamRef();
  ref->value_ = value;
  ref->bound_ = !value.IsEmpty();
  Changed(false);
}

std::string TParam::GetAsString() { return IsNull() ? std::string() : GetAsVariant().AsString(); }

void TParam::SetAsString(const std::string& value) { SetTyped(ftString, Variant(value)); }

WideString TParam::GetAsWideString() { return IsNull() ? WideString() : GetAsVariant().AsWideString(); }

void TParam::SetAsWideString(const WideString& value) { SetTyped(ftWideString, Variant(value)); }

int32_t TParam::GetAsInteger() { return IsNull() ? 0 : GetAsVariant().AsInt32(); }

void TParam::SetAsInteger(int32_t value) { SetTyped(ftInteger, Variant(value)); }

double TParam::GetAsFloat() { return IsNull() ? 0 : GetAsVariant().AsDouble(); }

void TParam::SetAsFloat(double value) { SetTyped(ftFloat, Variant(value)); }

void TParam::SetAsBlob(const std::string& value) { SetTyped(ftBlob, Variant(value)); }

void TParam::SetAsMemo(const std::string& value) { SetTyped(ftMemo, Variant(value)); }

TSQLTimeStamp TParam::GetAsSQLTimeStamp() { return DateTimeToSQLTimeStamp(AsDateTime()); }

void TParam::SetAsSQLTimeStamp(const TSQLTimeStamp& value) { SetAsDateTime(SQLTimeStampToDateTime(value)); }

void TParam::SetText(const std::string& value) { SetAsVariant(Variant(value)); }

bool TParam::AsBoolean() { return !IsNull() && GetAsVariant().AsBoolean(); }

void TParam::SetAsBoolean(bool value) { SetTyped(ftBoolean, Variant(value)); }

int16_t TParam::AsSmallInt() { return IsNull() ? 0 : GetAsVariant().AsInt16(); }

void TParam::SetAsSmallInt(int16_t value) { SetTyped(ftSmallint, Variant(value)); }

uint16_t TParam::AsWord() { return IsNull() ? 0 : GetAsVariant().AsUInt16(); }

void TParam::SetAsWord(uint16_t value) { SetTyped(ftWord, Variant(value)); }

int64_t TParam::AsLargeInt() { return IsNull() ? 0 : GetAsVariant().AsInt64(); }

void TParam::SetAsLargeInt(int64_t value) { SetTyped(ftLargeint, Variant(value)); }

Currency TParam::AsCurrency() { return IsNull() ? Currency() : GetAsVariant().AsCurrency(); }

void TParam::SetAsCurrency(Currency value) { SetTyped(ftCurrency, Variant(value)); }

void TParam::SetAsBCD(Currency value) { SetTyped(ftBCD, Variant(value)); }

Bcd TParam::AsFMTBCD() { return IsNull() ? IntegerToBcd(0) : GetAsVariant().AsBcd(); }

void TParam::SetAsFMTBCD(const Bcd& value) { SetTyped(ftFMTBcd, Variant(value)); }

DateTime TParam::AsDateTime() { return IsNull() ? 0 : GetAsVariant().AsDateTime(); }

void TParam::SetAsDateTime(DateTime value) { SetTyped(ftDateTime, Variant::FromDateTime(value)); }

void TParam::SetAsDate(DateTime value) { SetTyped(ftDate, Variant::FromDateTime(value)); }

void TParam::SetAsTime(DateTime value) { SetTyped(ftTime, Variant::FromDateTime(value)); }

TBytes TParam::AsBytes() {
  if (IsNull()) return TBytes();
  const Variant value = GetAsVariant();
  if (value.IsBytes()) return value.AsBytes();
  const std::string text = value.AsString();
  return TBytes(text.begin(), text.end());
}

void TParam::SetAsBytes(const TBytes& value) {
  if (GetDataType() != ftBytes) SetDataType(ftVarBytes);
  WriteValue(Variant(value));
}

// ---- TParam: copies ----

void TParam::AssignParam(const TParam* param) {
  if (!param || param == this) return;
  auto* source = const_cast<TParam*>(param);  // reading resolves its reference
  // A copy is its own reference: the parameters it shared a name with keep their type.
  param_ref_ = this;
  SetDataType(source->GetDataType());
  SetName(source->Name());
  value_ = source->IsNull() ? Variant::Null() : source->GetAsVariant();
  bound_ = source->Bound();
  if (param_type_ == ptUnknown) param_type_ = source->ParamType();
  precision_ = source->precision_;
  numeric_scale_ = source->numeric_scale_;
  SetSize(source->GetSize());
  Changed(false);
}

void TParam::AssignField(TField* field) {
  if (!field) return;
  // A value its field cannot hold exactly comes as its source's own text:
  // a number as its digits, anything else as text.
  std::string exact;
  if (!field->IsBlob() && field->DataSet() && field->DataSet()->GetFieldExactText(field, exact)) {
    const bool number = dynamic_cast<TNumericField*>(field) || dynamic_cast<TBooleanField*>(field);
    SetDataType(number ? ftFMTBcd : dynamic_cast<TWideStringField*>(field) ? ftWideString : ftString);
    if (DataType() == ftWideString) {
      SetAsVariant(Variant(plat::Utf8ToUtf16(exact)));
    } else {
      SetAsVariant(Variant(exact));
    }
    SetBound(true);
  } else {
    AssignFieldValue(field, field->Value());
  }
  SetName(field->FieldName());
}

void TParam::AssignFieldValue(TField* field, const Variant& value) {
  if (!field) return;
  const auto* text = dynamic_cast<const TStringField*>(field);
  if (text && text->FixedChar()) {
    SetDataType(ftFixedChar);
  } else if (field->DataType() == ftMemo && field->Size() > 255) {
    SetDataType(ftString);
  } else {
    SetDataType(field->DataType());
  }
  if (value.IsNull()) {
    Clear();
  } else {
    SetAsVariant(value);
  }
  SetBound(true);
}

void TParam::Assign(const TPersistent* source) {
  if (const auto* param = dynamic_cast<const TParam*>(source)) {
    AssignParam(param);
  } else if (const auto* field = dynamic_cast<const TField*>(source)) {
    AssignField(const_cast<TField*>(field));  // reading a field goes to its dataset
  } else if (const auto* lines = dynamic_cast<const TStringList*>(source)) {
    SetAsMemo(lines->Text());
  } else {
    TCollectionItem::Assign(source);
  }
}

void TParam::AssignTo(TPersistent* dest) const {
  if (auto* field = dynamic_cast<TField*>(dest)) {
    field->SetValue(const_cast<TParam*>(this)->GetAsVariant());
  } else {
    TCollectionItem::AssignTo(dest);
  }
}

void TParam::LoadFromStream(TStream& stream, TFieldType blob_type) {
  SetDataType(blob_type);
  stream.SetPosition(0);
  std::string data(static_cast<size_t>(stream.GetSize()), '\0');
  stream.ReadBuffer(data.data(), static_cast<int64_t>(data.size()));
  WriteValue(Variant(std::move(data)));
}

void TParam::LoadFromFile(const std::string& path, TFieldType blob_type) {
  TFileStream stream(path, FileMode::OpenRead);
  LoadFromStream(stream, blob_type);
}

bool TParam::IsEqual(TParam& other) {
  return name_ == other.name_ && GetDataType() == other.GetDataType() && param_type_ == other.param_type_ &&
         Bound() == other.Bound() && IsNull() == other.IsNull() && GetAsVariant() == other.GetAsVariant();
}

void TParam::DefineProperties(TFiler& filer) {
  TCollectionItem::DefineProperties(filer);
  filer.DefineProperty(
      "Name", [this](TReader& r) { SetName(r.ReadString()); }, [this](TWriter& w) { w.WriteString(name_); },
      !name_.empty());
  filer.DefineProperty(
      "DataType",
      [this](TReader& r) {
        const int32_t type = r.ReadInteger();
        if (type < 0 || type >= kFieldTypeCount) throw EReadError("Invalid property value");
        SetDataType(static_cast<TFieldType>(type));
      },
      [this](TWriter& w) { w.WriteInteger(GetDataType()); },
      GetDataType() != ftUnknown && GetDataType() < kFieldTypeCount);
  filer.DefineProperty(
      "ParamType",
      [this](TReader& r) {
        const int32_t type = r.ReadInteger();
        if (type < ptUnknown || type > ptResult) throw EReadError("Invalid property value");
        SetParamType(static_cast<TParamType>(type));
      },
      [this](TWriter& w) { w.WriteInteger(param_type_); }, param_type_ != ptUnknown);
  filer.DefineProperty(
      "Precision", [this](TReader& r) { precision_ = r.ReadInteger(); },
      [this](TWriter& w) { w.WriteInteger(precision_); }, precision_ != 0);
  filer.DefineProperty(
      "NumericScale", [this](TReader& r) { numeric_scale_ = r.ReadInteger(); },
      [this](TWriter& w) { w.WriteInteger(numeric_scale_); }, numeric_scale_ != 0);
  filer.DefineProperty(
      "Size", [this](TReader& r) { SetSize(r.ReadInteger()); }, [this](TWriter& w) { w.WriteInteger(GetSize()); },
      GetSize() != 0);
  // A filed value is this parameter's own, even beside one of the same name,
  // and leaves the filed type as it is.
  filer.DefineProperty(
      "Value",
      [this](TReader& r) {
        const Variant value = r.ReadVariant();
        param_ref_ = this;
        if (GetDataType() == ftUnknown) {
          WriteValue(value);
        } else {
          SetAsVariant(value);
        }
      },
      [this](TWriter& w) { w.WriteVariant(GetAsVariant()); }, Bound() && !GetAsVariant().IsEmpty());
}

// ---- TParams ----

TParams::TParams(TPersistent* owner) : TParams(TParam::ClassInfo(), owner) {}

TParams::TParams(const TMetaClass& item_class, TPersistent* owner) : TCollection(item_class, owner) {
  DAC_ASSERT(item_class.InheritsFrom(TParam::ClassInfo()), "Parameter class expected");
}

TParam* TParams::AddParam(TParam* param) {
  param->SetCollection(this);
  return param;
}

TParam* TParams::CreateParam(TFieldType type, const std::string& name, TParamType param_type) {
  auto* param = static_cast<TParam*>(Add());
  param->SetParamType(param_type);
  param->SetName(name);
  param->SetDataType(type);
  return param;
}

TParam* TParams::FindParam(const std::string& name) const {
  for (int i = 0; i < Count(); ++i) {
    if (plat::SameText(Items(i)->Name(), name)) return Items(i);
  }
  return nullptr;
}

TParam* TParams::ParamByName(const std::string& name) const {
  TParam* param = FindParam(name);
  if (!param) DatabaseErrorFmt(dynamic_cast<TComponent*>(GetOwner()), "Parameter %s not found", name.c_str());
  return param;
}

std::vector<TParam*> TParams::GetParamList(const std::string& names) const {
  std::vector<TParam*> list;
  for (size_t pos = 1; pos <= names.size();) list.push_back(ParamByName(ExtractFieldName(names, pos)));
  return list;
}

Variant TParams::GetParamValues(const std::string& names) const {
  return GetListValues(names, [this](const std::string& name) { return ParamByName(name); });
}

void TParams::SetParamValues(const std::string& names, const Variant& values) const {
  SetListValues(names, values, [this](const std::string& name) { return ParamByName(name); });
}

void TParams::AssignValues(const TParams& source) {
  for (int i = 0; i < source.Count(); ++i) {
    if (TParam* param = FindParam(source.Items(i)->Name())) param->Assign(source.Items(i));
  }
}

bool TParams::IsEqual(const TParams& other) const {
  if (Count() != other.Count()) return false;
  for (int i = 0; i < Count(); ++i) {
    if (!Items(i)->IsEqual(*other.Items(i))) return false;
  }
  return true;
}

void TParams::Notify(TCollectionItem* item, TCollectionNotification action) {
  TCollection::Notify(item, action);
  if (action == cnAdded) return;
  // The item may be half destroyed: compare its pointer, touch only the others.
  for (int i = 0; i < Count(); ++i) {
    TCollectionItem* other = TCollection::Items(i);
    if (other == item) continue;
    auto* param = static_cast<TParam*>(other);
    if (param->param_ref_ == item) param->param_ref_ = nullptr;
  }
  // A parameter that lives on keeps no reference into the collection it left.
  if (action == cnExtracting) static_cast<TParam*>(item)->param_ref_ = nullptr;
}

}  // namespace dac
