#include "dac/framework/data/def_collection.h"

#include "dac/framework/classes/database_error.h"
#include "dac/framework/data/dataset_base.h"
#include "platform/ascii.h"

namespace dac {

DAC_DEFINE_CLASS(TNamedItem, TCollectionItem, ::dac::TMetaClassOf<TNamedItem>)
DAC_DEFINE_CLASS(TDefCollection, TCollection, ::dac::TMetaClass)

void TNamedItem::SetName(const std::string& name) {
  if (name == name_) return;
  if (const auto* defs = dynamic_cast<const TDefCollection*>(Collection())) defs->CheckName(name, this);
  name_ = name;
  Changed(false);
}

TDefCollection::TDefCollection(const TMetaClass& item_class, TPersistent* owner, TDataSetBase* dataset)
    : TCollection(item_class, owner), dataset_(dataset) {
  DAC_ASSERT(item_class.InheritsFrom(TNamedItem::ClassInfo()), "Named item class expected");
}

int TDefCollection::IndexOf(const std::string& name) const {
  for (int i = 0; i < Count(); ++i) {
    if (plat::SameText(static_cast<const TNamedItem*>(Items(i))->Name(), name)) return i;
  }
  return -1;
}

void TDefCollection::CheckName(const std::string& name, const TNamedItem* except) const {
  const TNamedItem* other = FindItem(name);
  if (other && other != except) {
    DatabaseErrorFmt(DataSet(), "Duplicate name '%s' in %s", name.c_str(), ClassName().c_str());
  }
}

TNamedItem* TDefCollection::FindItem(const std::string& name) const {
  const int index = IndexOf(name);
  return index < 0 ? nullptr : static_cast<TNamedItem*>(Items(index));
}

}  // namespace dac
