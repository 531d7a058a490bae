// The parameters handed to a server command: one descriptor per parameter
// (name, data type, direction, size, value, null flag), kept in an owning
// list. A provider may describe its parameters with a class of its own
// (TDKCommand::GetParamDescType).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dac/core/server/server_types.h"
#include "dac/framework/classes/meta_class.h"
#include "dac/framework/values/variant.h"

namespace dac {

class TSharedObject;

class TParamDesc : public TObject {
  DAC_DECLARE_CLASS();

 public:
  TParamDesc() = default;

  virtual void SetDataType(uint16_t value) { data_type_ = value; }
  virtual void SetSize(int32_t value) { size_ = value; }
  virtual Variant GetValue() const { return value_; }
  // Null as well for Empty and Null; 0 and "" are values.
  virtual void SetValue(const Variant& value);
  // The object a SetObject stored; null while the value is Empty or Null.
  // Any other kind of value is an assertion failure.
  virtual TSharedObject* GetObject() const;
  // The value becomes a reference to the object (not owned); the null flag
  // stays as it was.
  virtual void SetObject(TSharedObject* value);
  virtual bool GetNull() const { return is_null_; }
  // The value becomes Null.
  virtual void SetNull(bool value);

  // Forgets the data type.
  void Clear() { data_type_ = 0; }
  const std::string& GetName() const { return name_; }
  void SetName(std::string value) { name_ = std::move(value); }
  uint16_t GetDataType() const { return data_type_; }
  TParamDirection GetParamType() const { return param_type_; }
  void SetParamType(TParamDirection value) { param_type_ = value; }
  int32_t GetSize() const { return size_; }
  bool GetConvertEOL() const { return convert_eol_; }
  void SetConvertEOL(bool value) { convert_eol_ = value; }

 protected:
  std::string name_;
  uint16_t data_type_ = 0;
  TParamDirection param_type_ = pdUnknown;
  int32_t size_ = 0;
  Variant value_;
  bool is_null_ = false;
  bool convert_eol_ = false;
};

// Owns its descriptors.
class TParamDescs {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  // EListError "List index out of bounds (%d)" outside 0 .. Count - 1.
  TParamDesc* Items(int index) const;
  TParamDesc* Add(std::unique_ptr<TParamDesc> param);
  // Frees the descriptor and closes the gap.
  void Delete(int index);
  // Frees every descriptor.
  void Clear() { items_.clear(); }
  // The first descriptor named so, without regard to case; null when none.
  TParamDesc* FindParam(std::string_view name) const;
  // FindParam; a missing name is an assertion failure.
  TParamDesc* ParamByName(std::string_view name) const;

 private:
  std::vector<std::unique_ptr<TParamDesc>> items_;
};

}  // namespace dac
