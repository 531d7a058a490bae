#include "dac/framework/classes/collection.h"

#include <algorithm>
#include <iterator>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/classes/update_pair.h"

namespace dac {

DAC_DEFINE_CLASS(TCollectionItem, TPersistent, ::dac::TMetaClassOf<TCollectionItem>)
DAC_DEFINE_CLASS(TCollection, TPersistent, ::dac::TMetaClass)

TCollectionItem::~TCollectionItem() {
  if (collection_) collection_->RemoveItem(this, cnDeleting);
}

void TCollectionItem::SetCollection(TCollection* collection) {
  if (collection == collection_) return;
  if (collection_) collection_->RemoveItem(this, cnExtracting);
  if (collection) collection->InsertItem(this, collection->Count());
}

int TCollectionItem::Index() const {
  if (!collection_) return -1;
  const auto& items = collection_->items_;
  return static_cast<int>(std::find(items.begin(), items.end(), this) - items.begin());
}

void TCollectionItem::SetIndex(int index) {
  if (collection_) collection_->MoveItem(this, index);
}

TPersistent* TCollectionItem::GetOwner() const { return collection_; }

void TCollectionItem::Changed(bool all_items) {
  if (collection_) collection_->ItemChanged(all_items ? nullptr : this);
}

TCollection::TCollection(const TMetaClass& item_class, TPersistent* owner) : item_class_(item_class), owner_(owner) {
  DAC_ASSERT(item_class.InheritsFrom(TCollectionItem::ClassInfo()), "Collection item class expected");
}

TCollection::~TCollection() {
  for (TCollectionItem* item : items_) {
    item->collection_ = nullptr;
    delete item;
  }
}

TCollectionItem* TCollection::Items(int index) const {
  if (index < 0 || index >= Count()) ListIndexError(index);
  return items_[static_cast<size_t>(index)];
}

TCollectionItem* TCollection::Add() { return Insert(Count()); }

TCollectionItem* TCollection::Insert(int index) {
  if (index < 0 || index > Count()) ListIndexError(index);
  auto* item = static_cast<TCollectionItem*>(item_class_.Create());
  InsertItem(item, index);
  return item;
}

void TCollection::Delete(int index) {
  TCollectionItem* item = Items(index);
  RemoveItem(item, cnDeleting);
  delete item;
}

void TCollection::Clear() {
  if (items_.empty()) return;
  WithinUpdate(*this, [this] {
    while (!items_.empty()) Delete(Count() - 1);
  });
}

TCollectionItem* TCollection::FindItemID(int id) const {
  for (TCollectionItem* item : items_) {
    if (item->id_ == id) return item;
  }
  return nullptr;
}

void TCollection::ExchangeItems(TCollection& other) {
  DAC_ASSERT(&item_class_ == &other.item_class_, "Collections of one item class expected");
  items_.swap(other.items_);
  for (TCollectionItem* item : items_) item->collection_ = this;
  for (TCollectionItem* item : other.items_) item->collection_ = &other;
}

void TCollection::EndUpdate() {
  if (update_count_ > 0 && --update_count_ == 0) Changed();
}

void TCollection::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TCollection*>(source);
  if (!other) {
    TPersistent::Assign(source);
    return;
  }
  if (other == this) return;
  WithinUpdate(*this, [this, other] {
    Clear();
    for (TCollectionItem* item : other->items_) Add()->Assign(item);
  });
}

void TCollection::Changed() {
  if (update_count_ == 0) Update(nullptr);
}

void TCollection::InsertItem(TCollectionItem* item, int index) {
  items_.insert(items_.begin() + index, item);
  item->collection_ = this;
  item->id_ = next_id_++;
  Notify(item, cnAdded);
  Changed();
}

void TCollection::RemoveItem(TCollectionItem* item, TCollectionNotification action) {
  Notify(item, action);
  // From the back: Clear and a failed read remove the last item each time.
  const auto it = std::find(items_.rbegin(), items_.rend(), item);
  if (it != items_.rend()) items_.erase(std::next(it).base());
  item->collection_ = nullptr;
  Changed();
}

void TCollection::ItemChanged(TCollectionItem* item) {
  if (update_count_ == 0) Update(item);
}

void TCollection::MoveItem(TCollectionItem* item, int index) {
  const int current = item->Index();
  if (index < 0 || index >= Count()) ListIndexError(index);
  if (index == current) return;
  items_.erase(items_.begin() + current);
  items_.insert(items_.begin() + index, item);
  Changed();
}

}  // namespace dac
