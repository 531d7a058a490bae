// TCollection: an owned, ordered list of items of one class, with counted
// update pairs and a virtual Update after each change.
//
// Items are made by the collection (Add, Insert, through the item class) or
// made alone and joined with SetCollection. A collection deletes its items.
#pragma once

#include <string>
#include <vector>

#include "dac/framework/classes/persistent.h"

namespace dac {

class TCollection;

enum TCollectionNotification : uint8_t {
  cnAdded,       // the item has joined
  cnExtracting,  // the item leaves and lives on
  cnDeleting,    // the item leaves and is being destroyed: compare its pointer only
};

class TCollectionItem : public TPersistent {
  DAC_DECLARE_CLASS();

 public:
  TCollectionItem() = default;
  TCollectionItem(const TCollectionItem&) = delete;
  TCollectionItem& operator=(const TCollectionItem&) = delete;
  // Leaves its collection.
  ~TCollectionItem() override;

  TCollection* Collection() const { return collection_; }
  // Leaves the current collection (if any) and joins the new one (if any).
  void SetCollection(TCollection* collection);
  // Position in the collection, -1 outside one; setting moves the item.
  int Index() const;
  void SetIndex(int index);
  int ID() const { return id_; }
  // The class name in the base.
  virtual std::string GetDisplayName() const { return ClassName(); }
  std::string DisplayName() const { return GetDisplayName(); }
  TPersistent* GetOwner() const override;

 protected:
  // Tells the collection of a change: of this item, or of all when all_items.
  void Changed(bool all_items);

 private:
  friend class TCollection;
  TCollection* collection_ = nullptr;
  int id_ = 0;
};

class TCollection : public TPersistent {
  DAC_DECLARE_CLASS();

 public:
  // item_class must describe a default-constructible TCollectionItem class.
  explicit TCollection(const TMetaClass& item_class, TPersistent* owner = nullptr);
  TCollection(const TCollection&) = delete;
  TCollection& operator=(const TCollection&) = delete;
  // Deletes the items without notifications: nothing virtual runs here.
  ~TCollection() override;

  const TMetaClass& ItemClass() const { return item_class_; }
  int Count() const { return static_cast<int>(items_.size()); }
  // EListError "List index out of bounds (%d)" outside 0 .. Count - 1.
  TCollectionItem* Items(int index) const;
  TCollectionItem* Add();
  TCollectionItem* Insert(int index);
  void Delete(int index);
  void Clear();
  TCollectionItem* FindItemID(int id) const;
  // Trades items with another collection of the same item class, without
  // notifications and in time independent of the owners: each item moves
  // with its id, and the items of each side keep their order.
  void ExchangeItems(TCollection& other);

  // Counted; the last EndUpdate sends one Update(nullptr).
  void BeginUpdate() { ++update_count_; }
  void EndUpdate();
  int UpdateCount() const { return update_count_; }

  TPersistent* GetOwner() const override { return owner_; }
  // From another collection: Clear, then one new item per source item, each
  // assigned from it, inside one update pair.
  void Assign(const TPersistent* source) override;

 protected:
  // After a change while not updating: the changed item, or nullptr for many.
  virtual void Update(TCollectionItem* /*item*/) {}
  virtual void Notify(TCollectionItem* /*item*/, TCollectionNotification /*action*/) {}
  void Changed();

 private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* item, int index);
  void RemoveItem(TCollectionItem* item, TCollectionNotification action);
  void ItemChanged(TCollectionItem* item);
  void MoveItem(TCollectionItem* item, int index);

  const TMetaClass& item_class_;
  TPersistent* owner_;
  std::vector<TCollectionItem*> items_;
  int update_count_ = 0;
  int next_id_ = 0;
};

}  // namespace dac
