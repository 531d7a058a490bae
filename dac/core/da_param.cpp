#include "dac/core/da_param.h"

#include <utility>

#include "dac/core/server/messages.h"
#include "dac/framework/classes/database_error.h"
#include "dac/framework/classes/stream_persist.h"
#include "dac/framework/data/field.h"
#include "dac/framework/data/filer.h"
#include "dac/framework/values/text_conversions.h"
#include "dac/store/blob/blob.h"
#include "dac/store/dataset/mem_dataset.h"
#include "dac/store/runtime/encoding.h"
#include "dac/store/runtime/marshal.h"
#include "platform/code_page.h"

namespace dac {

DAC_DEFINE_CLASS(TDAParam, TParam, ::dac::TMetaClassOf<TDAParam>)
DAC_DEFINE_CLASS(TDAParams, TParams, ::dac::TMetaClass)

namespace {

// The field types a parameter can load from a stream.
bool IsStreamBlobType(TFieldType type) {
  return type == ftBlob || type == ftMemo || type == ftOraBlob || type == ftOraClob;
}

[[noreturn]] void DataTypeNotSupported() { throw EDatabaseError(LoadResString(SDataTypeNotSupported)); }

}  // namespace

TDAParam::~TDAParam() { TDAParam::FreeObject(); }

bool TDAParam::IsObjectDataType(TFieldType data_type) const { return data_type == ftBlob || data_type == ftMemo; }

bool TDAParam::IsBlobDataType(TFieldType data_type) const { return data_type == ftBlob || data_type == ftMemo; }

// The parameter whose type and objects this one shares: its reference.
TDAParam& TDAParam::Holder() const {
  auto* holder = dynamic_cast<TDAParam*>(const_cast<TParam*>(ParamRef()));
  return holder ? *holder : *const_cast<TDAParam*>(this);
}

void TDAParam::SetDataType(TFieldType type) {
  if (type == GetDataType()) return;
  TDAParam& holder = Holder();
  if (holder.IsObjectDataType()) holder.FreeObject();
  TParam::SetDataType(type);
  if (holder.IsObjectDataType() && !holder.param_object_) holder.CreateObject();
}

void TDAParam::CreateObject() {
  DAC_ASSERT(param_object_ == nullptr, "Parameter object already exists");
  if (IsBlobDataType()) param_object_ = new TBlob(false);
}

void TDAParam::FreeObject() {
  FreeShared(std::exchange(param_object_, nullptr));
  empty_is_value_ = false;
}

void TDAParam::SetParamObject(TSharedObject* value) {
  TDAParam& holder = Holder();
  if (value != holder.param_object_) {
    if (value) value->AddRef();
    FreeShared(std::exchange(holder.param_object_, value));
  }
  holder.empty_is_value_ = value != nullptr;
  if (value) WriteValue(Variant("Object"));
}

// ---- the blob ----

TBlob* TDAParam::HeldBlob() const {
  TSharedObject* object = Holder().param_object_;
  if (!object) return nullptr;
  auto* blob = dynamic_cast<TBlob*>(object);
  DAC_ASSERT(blob != nullptr, "Parameter object is not a blob");
  return blob;
}

TBlob& TDAParam::WritableBlob() {
  if (!Holder().param_object_) Holder().CreateObject();
  TBlob* blob = HeldBlob();
  DAC_ASSERT(blob != nullptr, "Parameter of type " + FieldTypeName(GetDataType()) + " holds no blob");
  return *blob;
}

void TDAParam::WriteBlob(const std::string& value) {
  WritableBlob().SetAsString(value);
  // Written, an empty text is a value: '' is not NULL.
  Holder().empty_is_value_ = true;
  SetBound(true);
}

bool TDAParam::GetIsNull() {
  if (!IsBlobDataType()) return TParam::GetIsNull();
  TBlob* blob = HeldBlob();
  return !blob || (blob->GetSize() == 0 && !Holder().empty_is_value_);
}

void TDAParam::Clear() {
  if (!IsBlobDataType()) return TParam::Clear();
  if (TBlob* blob = HeldBlob()) blob->Clear();
  Holder().empty_is_value_ = false;
}

std::string TDAParam::GetAsString() {
  if (IsNull()) return "";
  if (IsBlobDataType()) return HeldBlob()->GetAsString();
  if (GetDataType() == ftDate || GetDataType() == ftDateTime) return DateTimeToStr(TParam::GetAsVariant().AsDateTime());
  return TParam::GetAsString();
}

void TDAParam::SetAsString(const std::string& value) {
  if (IsBlobDataType()) return WriteBlob(value);
  if (GetDataType() == ftWideString) return SetAsWideString(plat::AnsiToUtf16(value));
  TParam::SetAsString(value);
}

WideString TDAParam::GetAsWideString() {
  if (IsNull()) return WideString();
  if (IsBlobDataType()) return HeldBlob()->GetAsWideString();
  return TParam::GetAsWideString();
}

void TDAParam::SetAsWideString(const WideString& value) {
  if (!IsBlobDataType()) return TParam::SetAsVariant(Variant(value));
  WritableBlob().SetAsWideString(value);
  SetBound(true);
}

void TDAParam::SetAsBlob(const std::string& value) {
  SetDataType(ftBlob);
  WriteBlob(value);
}

void TDAParam::SetAsMemo(const std::string& value) {
  SetDataType(ftMemo);
  WriteBlob(value);
}

Variant TDAParam::GetAsVariant() {
  if (!IsBlobDataType()) return TParam::GetAsVariant();
  TBlob* blob = HeldBlob();
  return Variant(blob ? blob->GetAsString() : std::string());
}

void TDAParam::SetAsVariant(const Variant& value) {
  if (!IsBlobDataType()) return TParam::SetAsVariant(value);
  if (value.IsEmptyOrNull()) return Clear();
  if (value.IsBytes()) return WriteBlob(std::string(value.AsBytes().begin(), value.AsBytes().end()));
  WriteBlob(value.AsString());
}

void TDAParam::SetText(const std::string& value) {
  if (IsBlobDataType()) return WriteBlob(value);
  TParam::SetText(value);
}

TBlob* TDAParam::GetAsBlobRef() {
  if (GetDataType() == ftUnknown) SetDataType(ftBlob);
  return IsBlobDataType() ? HeldBlob() : nullptr;
}

TBlob* TDAParam::GetAsMemoRef() {
  if (GetDataType() == ftUnknown) SetDataType(ftMemo);
  return IsBlobDataType() ? HeldBlob() : nullptr;
}

void TDAParam::SetAsBlobRef(TBlob* blob) {
  Holder().FreeObject();
  TParam::SetDataType(ftBlob);
  SetParamObject(blob);
}

void TDAParam::SetAsMemoRef(TBlob* blob) {
  Holder().FreeObject();
  TParam::SetDataType(ftMemo);
  SetParamObject(blob);
}

void TDAParam::SetBlobData(const TBytes& bytes, int count) { SetAsBlob(Encoding::Default().GetString(bytes, 0, count)); }

void TDAParam::SetBlobData(const char* text) { SetAsBlob(Marshal::PtrToStringAnsi(text, 0)); }

void TDAParam::LoadFromStream(TStream& stream, TFieldType blob_type) {
  if (!IsStreamBlobType(blob_type)) DataTypeNotSupported();
  SetDataType(blob_type);
  stream.SetPosition(0);
  DAC_ASSERT(Holder().param_object_ != nullptr, LoadResString(SDataTypeNotSupported));
  WritableBlob().LoadFromStream(stream);
  Holder().empty_is_value_ = true;
  SetBound(true);
}

// ---- copies and filing ----

void TDAParam::AssignParam(const TParam* param) {
  if (!param || param == this) return;
  TParam::AssignParam(param);
  if (!IsObjectDataType()) return;
  auto* source = const_cast<TParam*>(param);  // reading resolves its reference
  if (source->IsNull()) {
    Clear();
  } else {
    SetAsVariant(source->GetAsVariant());
  }
}

void TDAParam::Assign(const TPersistent* source) {
  if (const auto* param = dynamic_cast<const TDAParam*>(source)) {
    if (param == this) return;
    // The object is shared below: no copy of its content first.
    TParam::AssignParam(param);
    SetParamObject(param->Holder().param_object_);
  } else if (const auto* field = dynamic_cast<const TField*>(source); field && field->IsBlob()) {
    AssignBlobField(const_cast<TField*>(field));
  } else if (const auto* persist = dynamic_cast<const IStreamPersist*>(source)) {
    if (!IsStreamBlobType(GetDataType())) DataTypeNotSupported();
    TMemoryStream content;
    persist->SaveToStream(content);
    LoadFromStream(content, GetDataType());
  } else {
    TParam::Assign(source);
  }
}

// A blob field's own blob, copied whole: wide text stays wide, bytes stay bytes.
void TDAParam::AssignBlobField(TField* field) {
  auto* dataset = dynamic_cast<TMemDataSet*>(field->DataSet());
  TBlob* blob = dataset ? dataset->GetBlob(field) : nullptr;
  if (!blob) return TParam::Assign(field);
  SetDataType(field->DataType() == ftBlob ? ftBlob : ftMemo);
  if (field->IsNull()) {
    Clear();
  } else {
    TBlob& own = WritableBlob();
    own.Clear();
    own.SetIsUnicode(blob->IsUnicode());
    own.Assign(*blob);
    Holder().empty_is_value_ = true;
    SetBound(true);
  }
  SetName(field->FieldName());
}

void TDAParam::DefineProperties(TFiler& filer) {
  // Ahead of the framework's properties, so that "Value" is read into its type.
  filer.DefineProperty(
      "ExtDataType",
      [this](TReader& reader) {
        const int32_t type = reader.ReadInteger();
        if (type < 0 || type > 255) throw EReadError("Invalid property value");
        SetDataType(static_cast<TFieldType>(type));
      },
      [this](TWriter& writer) { writer.WriteInteger(GetDataType() & 0xFF); }, GetDataType() >= kFieldTypeCount);
  TParam::DefineProperties(filer);
}

// ---- TDAParams ----

TDAParams::TDAParams(TPersistent* owner) : TDAParams(TDAParam::ClassInfo(), owner) {}

TDAParams::TDAParams(const TMetaClass& item_class, TPersistent* owner) : TParams(item_class, owner) {
  DAC_ASSERT(item_class.InheritsFrom(TDAParam::ClassInfo()), "Data-access parameter class expected");
}

void TDAParams::Update(TCollectionItem* item) {
  if (need_update_) TParams::Update(item);
}

void ResetParamRefs(TParams& params) {
  for (int i = 0; i < params.Count(); ++i) {
    TParam* param = params.Items(i);
    const std::string name = param->Name();
    param->SetName("");
    param->ParamRef()->SetName(name);
  }
}

}  // namespace dac
