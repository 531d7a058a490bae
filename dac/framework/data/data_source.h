// TDataSource: the junction between a dataset and the links that follow it.
// While it is enabled and its dataset active, the source passes the
// dataset's events on to its links and its own handlers.
#pragma once

#include <functional>
#include <vector>

#include "dac/framework/classes/component.h"
#include "dac/framework/data/dataset_types.h"

namespace dac {

class TDataLink;
class TDataSet;
class TField;

class TDataSource : public TComponent {
  DAC_DECLARE_CLASS();

 public:
  using TNotifyEvent = std::function<void(TDataSource*)>;
  // The field is the changed one for a field change, else none.
  using TDataChangeEvent = std::function<void(TDataSource*, TField*)>;

  explicit TDataSource(TComponent* owner);

  TDataSet* DataSet() const { return dataset_; }
  // Held with a free notification. EDatabaseError "Circular datalinks are
  // not allowed" when the dataset already follows this source, directly or
  // through the sources its masters follow.
  void SetDataSet(TDataSet* dataset);
  // Whether dataset is met walking from this source's dataset through each
  // dataset's GetDataSource and that source's dataset.
  bool IsLinkedTo(const TDataSet* dataset) const;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  // Default true: Edit puts a browsing dataset into edit.
  bool AutoEdit() const { return auto_edit_; }
  void SetAutoEdit(bool value) { auto_edit_ = value; }
  // The dataset's state while enabled, else inactive.
  TDataSetState State() const { return state_; }
  void Edit();

  void SetOnStateChange(TNotifyEvent handler) { on_state_change_ = std::move(handler); }
  void SetOnDataChange(TDataChangeEvent handler) { on_data_change_ = std::move(handler); }
  void SetOnUpdateData(TNotifyEvent handler) { on_update_data_ = std::move(handler); }

  void Notification(TComponent* component, TOperation operation) override;

 protected:
  // Leaves the dataset and lets every link go; the links see inactive.
  void BeforeDestruction() override;

 private:
  friend class TDataSet;
  friend class TDataLink;

  void DataEvent(TDataEvent event, intptr_t info);
  void AddDataLink(TDataLink* link);
  void RemoveDataLink(TDataLink* link);
  // A link being destroyed leaves without callbacks.
  void ForgetDataLink(TDataLink* link) noexcept;
  void UpdateState();
  void NotifyDataLinks(TDataEvent event, intptr_t info);
  // Whether the walk from dataset through the sources its masters follow reaches this source.
  bool FollowedBy(const TDataSet* dataset) const;

  TDataSet* dataset_ = nullptr;
  std::vector<TDataLink*> links_;
  bool enabled_ = true;
  bool auto_edit_ = true;
  TDataSetState state_ = dsInactive;
  TNotifyEvent on_state_change_;
  TDataChangeEvent on_data_change_;
  TNotifyEvent on_update_data_;
};

}  // namespace dac
