// The definition lists of a dataset (field and index definitions): named
// items, found by name without ASCII case, in a collection that knows its
// dataset and whether it is up to date.
#pragma once

#include <string>

#include "dac/framework/classes/collection.h"

namespace dac {

class TDataSetBase;

class TNamedItem : public TCollectionItem {
  DAC_DECLARE_CLASS();

 public:
  const std::string& Name() const { return name_; }
  // The collection's CheckName first.
  void SetName(const std::string& name);
  std::string GetDisplayName() const override { return name_; }

 private:
  std::string name_;
};

class TDefCollection : public TCollection {
  DAC_DECLARE_CLASS();

 public:
  // item_class must describe a TNamedItem class.
  TDefCollection(const TMetaClass& item_class, TPersistent* owner, TDataSetBase* dataset);

  virtual TDataSetBase* DataSet() const { return dataset_; }
  // -1 when no item has the name.
  int IndexOf(const std::string& name) const;
  TNamedItem* FindItem(const std::string& name) const;
  // EDatabaseError "Duplicate name '%s' in %s" (name, collection class) when
  // an item other than except has the name.
  void CheckName(const std::string& name, const TNamedItem* except = nullptr) const;
  bool Updated() const { return updated_; }
  void SetUpdated(bool value) { updated_ = value; }

 private:
  TDataSetBase* dataset_;
  bool updated_ = false;
};

}  // namespace dac
