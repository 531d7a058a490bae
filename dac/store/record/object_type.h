// Object types of structured columns (objects, arrays, nested tables) and
// their attributes. Attributes of a column's type appear as child field
// descriptors (TData::InitObjectFields).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dac/framework/classes/meta_class.h"
#include "dac/store/runtime/shared_object.h"

namespace dac {

class TObjectType;

// The most array elements turned into child descriptors. Set before other
// threads run and not changed afterwards: record layouts read it unlocked,
// and the connection pool's validation thread builds none.
extern int32_t MaxArrayItem;

class TAttribute : public TObject {
  DAC_DECLARE_CLASS();

 public:
  // owner: the object type that holds the attribute (may be null).
  explicit TAttribute(TObjectType* owner);
  ~TAttribute() override;
  TAttribute(const TAttribute&) = delete;
  TAttribute& operator=(const TAttribute&) = delete;

  const std::string& GetName() const { return name_; }
  void SetName(std::string value) { name_ = std::move(value); }
  uint16_t GetDataType() const { return data_type_; }
  void SetDataType(uint16_t value) { data_type_ = value; }
  uint16_t GetLength() const { return length_; }
  void SetLength(uint16_t value) { length_ = value; }
  bool GetFixed() const { return fixed_; }
  void SetFixed(bool value) { fixed_ = value; }
  TObjectType* GetOwner() const { return owner_; }

  // The attribute's own type, for structured attributes. A reference is
  // held only on a type whose name differs from the owner's, so a type
  // that refers to itself forms no cycle; the one taken is the one released.
  TObjectType* GetObjectType() const { return object_type_; }
  void SetObjectType(TObjectType* value);

 private:
  void ReleaseObjectType();

  std::string name_;
  uint16_t data_type_ = 0;
  uint16_t length_ = 0;
  bool fixed_ = false;
  TObjectType* object_type_ = nullptr;
  bool holds_type_reference_ = false;
  TObjectType* owner_;
};

// Shared: made with one reference, freed by the last Free.
class TObjectType : public TSharedObject {
  DAC_DECLARE_CLASS();

 public:
  TObjectType();

  const std::string& GetName() const { return name_; }
  void SetName(std::string value) { name_ = std::move(value); }
  // dtObject, dtArray or dtTable.
  uint16_t GetDataType() const { return data_type_; }
  void SetDataType(uint16_t value) { data_type_ = value; }
  // For an array: the number of elements.
  int32_t GetSize() const { return size_; }
  void SetSize(int32_t value) { size_ = value; }

  int GetAttributeCount() const { return static_cast<int>(attributes_.size()); }
  TAttribute* GetAttributes(int index) const { return attributes_.at(static_cast<size_t>(index)).get(); }
  // Takes the attribute, whose owner must be this type.
  TAttribute* AddAttribute(std::unique_ptr<TAttribute> attribute);
  void ClearAttributes();

  // A path of attribute names joined by points, where a name may be
  // followed by an index in brackets ("ITEMS[2].PRICE"): an index steps
  // into the array's "ELEMENT" attribute. Letter case is ignored. Null
  // when a step is missing or a point follows a scalar attribute.
  TAttribute* FindAttribute(const std::string& name) const;
  // Exception "Attribute %s not found".
  TAttribute* AttributeByName(const std::string& name) const;

 protected:
  ~TObjectType() override;

 private:
  std::string name_;
  uint16_t data_type_ = 0;
  int32_t size_ = 0;
  std::vector<std::unique_ptr<TAttribute>> attributes_;
};

}  // namespace dac
