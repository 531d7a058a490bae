// TDAParam and TDAParams: the parameters of the SQL command components and
// the datasets. A parameter of an object type (ftBlob and ftMemo here; a
// provider may add its own) keeps its value in a reference-counted object,
// a TBlob for the blob types, which several parameters may share; every
// other type keeps the framework's Variant. Parameters of one name keep
// the object with their reference, as they share type and value. Types past the framework's
// table (38 and up) are filed as "ExtDataType".
#pragma once

#include <string>

#include "dac/framework/data/params.h"

namespace dac {

class TBlob;
class TSharedObject;

class TDAParam : public TParam {
  DAC_DECLARE_CLASS();

 public:
  TDAParam() = default;
  ~TDAParam() override;

  virtual bool IsObjectDataType(TFieldType data_type) const;
  bool IsObjectDataType() const { return IsObjectDataType(GetDataType()); }
  virtual bool IsBlobDataType(TFieldType data_type) const;
  bool IsBlobDataType() const { return IsBlobDataType(GetDataType()); }

  // Leaving an object type releases the object; entering one makes a new one.
  void SetDataType(TFieldType type) override;

  // A blob type reads and writes the blob; a written blob binds the parameter.
  std::string GetAsString() override;
  void SetAsString(const std::string& value) override;
  WideString GetAsWideString() override;
  void SetAsWideString(const WideString& value) override;
  void SetAsBlob(const std::string& value) override;
  void SetAsMemo(const std::string& value) override;
  Variant GetAsVariant() override;
  void SetAsVariant(const Variant& value) override;
  void SetText(const std::string& value) override;
  // A blob type is null while its blob is empty and no value (not even an
  // empty one) was written to it.
  bool GetIsNull() override;
  // A blob type empties its blob, and is null.
  void Clear() override;

  // The blob, or null for a type that has none; an unknown type becomes
  // ftBlob (ftMemo) first.
  virtual TBlob* GetAsBlobRef();
  virtual TBlob* GetAsMemoRef();
  // The parameter shares the blob (not a copy) as ftBlob (ftMemo).
  virtual void SetAsBlobRef(TBlob* blob);
  virtual void SetAsMemoRef(TBlob* blob);

  // The first count bytes (in the system code page) as a blob.
  void SetBlobData(const TBytes& bytes, int count);
  // The zero-terminated text at the address as a blob.
  void SetBlobData(const char* text);
  // The whole stream, from its start, as a blob of blob_type: ftBlob,
  // ftMemo, ftOraBlob or ftOraClob, else "Data type is not supported".
  void LoadFromStream(TStream& stream, TFieldType blob_type) override;

  // The framework's copy; an object type takes the source's value into its
  // own object (emptied for a null source).
  void AssignParam(const TParam* param) override;
  // Another TDAParam: its value and its object, shared. A blob field: a
  // copy of its blob (wide text kept wide). An object that persists to a
  // stream: its content, for a blob type. Else as the framework.
  void Assign(const TPersistent* source) override;
  // The framework's properties, with "ExtDataType" for a type from 38 up.
  void DefineProperties(TFiler& filer) override;

  TSharedObject* GetParamObject() const { return Holder().param_object_; }
  // Shares the object (its count raised) in place of the one held, which is
  // released; the value then counts as set.
  void SetParamObject(TSharedObject* value);

 protected:
  // The object of an object type: a new TBlob for the blob types.
  virtual void CreateObject();
  // Releases the object.
  virtual void FreeObject();

 private:
  TDAParam& Holder() const;
  void AssignBlobField(TField* field);
  // The blob of a blob type: null without one; made when writing.
  TBlob* HeldBlob() const;
  TBlob& WritableBlob();
  void WriteBlob(const std::string& value);

  TSharedObject* param_object_ = nullptr;
  // A value was written: an empty blob is then an empty value, not NULL.
  bool empty_is_value_ = false;
};

class TDAParams : public TParams {
  DAC_DECLARE_CLASS();

 public:
  explicit TDAParams(TPersistent* owner = nullptr);

  TDAParam* Items(int index) const { return static_cast<TDAParam*>(TParams::Items(index)); }
  TDAParam* FindParam(const std::string& name) const { return static_cast<TDAParam*>(TParams::FindParam(name)); }
  TDAParam* ParamByName(const std::string& name) const {
    return static_cast<TDAParam*>(TParams::ParamByName(name));
  }
  // The type goes through SetDataType, so an object type gets its object.
  TDAParam* CreateParam(TFieldType type, const std::string& name, TParamType param_type) {
    return static_cast<TDAParam*>(TParams::CreateParam(type, name, param_type));
  }
  // While false, changes of the items are not passed on.
  bool GetNeedUpdate() const { return need_update_; }
  void SetNeedUpdate(bool value) { need_update_ = value; }

 protected:
  // For a provider's own parameter class.
  TDAParams(const TMetaClass& item_class, TPersistent* owner);
  void Update(TCollectionItem* item) override;

 private:
  bool need_update_ = true;
};

// Parameters that share a name become separate objects with values of their
// own (each its own reference), as update statements need them.
void ResetParamRefs(TParams& params);

}  // namespace dac
