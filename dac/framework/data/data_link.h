// TDataLink: what a control (or a detail dataset) attaches to a data source
// to follow its dataset. A link sees a window of BufferCount records of the
// dataset's ring that always holds the active record, and hears the
// dataset's events through the virtual operations below. Links are plain
// objects owned by their users; a freed source lets its links go.
#pragma once

#include <cstdint>

#include "dac/framework/data/dataset_types.h"

namespace dac {

class TDataSet;
class TDataSource;
class TField;

class TDataLink {
 public:
  TDataLink() = default;
  // Leaves its source without calling anything of its own.
  virtual ~TDataLink();
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;

  TDataSource* DataSource() const { return source_; }
  void SetDataSource(TDataSource* source);
  TDataSet* DataSet() const;
  // The source is enabled and its dataset active.
  bool Active() const { return active_; }
  // The dataset is in edit, insert or set-key.
  bool Editing() const { return editing_; }
  // Records the link wants to see at once (at least 1); the dataset's ring
  // grows to the largest wish of its links.
  int BufferCount() const { return buffer_count_; }
  void SetBufferCount(int count);
  // The active record's place in the window.
  int ActiveRecord() const;
  // Makes another record of the window the dataset's active one (as a grid
  // does while it draws). EListError for a place outside the window's records.
  void SetActiveRecord(int value);
  // Records in the window.
  int RecordCount() const;
  // Asks the source to put the dataset into edit; true when it is editing.
  bool Edit();
  // Writes the link's pending input (UpdateData).
  void UpdateRecord();

 protected:
  virtual void ActiveChanged() {}
  virtual void EditingChanged() {}
  // field: the field that changed; none for the whole record.
  virtual void RecordChanged(TField* /*field*/) {}
  virtual void DataSetChanged() { RecordChanged(nullptr); }
  // distance: how far the window moved.
  virtual void DataSetScrolled(int /*distance*/) { RecordChanged(nullptr); }
  virtual void LayoutChanged() { DataSetChanged(); }
  virtual void UpdateData() {}
  // The dataset is about to leave the record (post or cancel an edit).
  virtual void CheckBrowseMode() {}
  virtual void FocusControl(TField* /*field*/) {}

 private:
  friend class TDataSource;

  void DataEvent(TDataEvent event, intptr_t info);
  void UpdateState();
  void SetActive(bool value);
  void SetEditing(bool value);
  // Moves the window by the ring's shift, then as little as keeps the active
  // record in it; returns how far it moved in the records.
  int FollowActive(int shift);

  TDataSource* source_ = nullptr;
  bool active_ = false;
  bool editing_ = false;
  bool updating_ = false;
  int buffer_count_ = 1;
  int first_record_ = 0;
};

// The link through which a detail dataset follows its master.
class TDetailDataLink : public TDataLink {
 public:
  virtual TDataSet* GetDetailDataSet() { return nullptr; }
};

}  // namespace dac
