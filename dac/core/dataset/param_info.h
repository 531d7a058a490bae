// TDAParamsInfo: what each parameter of a generated update statement
// carries, one TDAParamInfo per parameter in order: the dataset field, whether
// the field's old value is meant, and the statement's place in a batch.
#pragma once

#include "dac/framework/classes/collection.h"

namespace dac {

class TField;

class TDAParamInfo : public TCollectionItem {
  DAC_DECLARE_CLASS();

 public:
  TDAParamInfo() = default;

  TField* GetField() const { return field_; }
  void SetField(TField* value) { field_ = value; }
  bool GetOld() const { return old_; }
  void SetOld(bool value) { old_ = value; }
  // -1 when the statement is not part of a batch.
  int GetParamIndex() const { return param_index_; }
  void SetParamIndex(int value) { param_index_ = value; }

 protected:
  void AssignTo(TPersistent* dest) const override;

 private:
  TField* field_ = nullptr;
  bool old_ = false;
  int param_index_ = -1;
};

class TDAParamsInfo : public TCollection {
  DAC_DECLARE_CLASS();

 public:
  // item_class: TDAParamInfo or a provider's descendant.
  explicit TDAParamsInfo(const TMetaClass& item_class = TDAParamInfo::ClassInfo());

  TDAParamInfo* Items(int index) const { return static_cast<TDAParamInfo*>(TCollection::Items(index)); }
  // The item at index takes the value's state.
  void SetItems(int index, const TDAParamInfo& value) { Items(index)->Assign(&value); }
};

}  // namespace dac
