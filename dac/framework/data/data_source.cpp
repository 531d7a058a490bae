#include "dac/framework/data/data_source.h"

#include <algorithm>

#include "dac/framework/classes/application.h"
#include "dac/framework/data/data_link.h"
#include "dac/framework/data/dataset.h"

namespace dac {

namespace {

// start, the dataset of the source it follows, that one's master, and so
// on; a chain that comes round again stops there.
std::vector<const TDataSet*> MasterChain(const TDataSet* start) {
  std::vector<const TDataSet*> chain;
  for (const TDataSet* dataset = start; dataset;) {
    if (std::find(chain.begin(), chain.end(), dataset) != chain.end()) break;
    chain.push_back(dataset);
    const TDataSource* source = dataset->GetDataSource();
    dataset = source ? source->DataSet() : nullptr;
  }
  return chain;
}

template <typename T, typename U>
bool Contains(const std::vector<T>& list, const U& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

DAC_DEFINE_CLASS(TDataSource, TComponent, ::dac::TComponentClassOf<TDataSource>)

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

void TDataSource::BeforeDestruction() {
  on_state_change_ = nullptr;
  on_data_change_ = nullptr;
  on_update_data_ = nullptr;
  // Each step detaches before it calls out, so a failing link stops nothing.
  try {
    SetDataSet(nullptr);
  } catch (const std::exception& error) {
    ApplicationHandleException(this, error);
  }
  while (!links_.empty()) {
    try {
      RemoveDataLink(links_.back());
    } catch (const std::exception& error) {
      ApplicationHandleException(this, error);
    }
  }
}

void TDataSource::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == dataset_) SetDataSet(nullptr);
}

bool TDataSource::IsLinkedTo(const TDataSet* dataset) const {
  const std::vector<const TDataSet*> chain = MasterChain(dataset_);
  return dataset && Contains(chain, dataset);
}

bool TDataSource::FollowedBy(const TDataSet* dataset) const {
  for (const TDataSet* master : MasterChain(dataset)) {
    if (master->GetDataSource() == this) return true;
  }
  return false;
}

void TDataSource::SetDataSet(TDataSet* dataset) {
  if (dataset == dataset_) return;
  if (dataset && FollowedBy(dataset)) DatabaseError("Circular datalinks are not allowed", this);
  if (TDataSet* old = dataset_) {
    dataset_ = nullptr;
    RemoveFreeNotification(old);
    old->RemoveDataSource(this);
  }
  if (dataset) {
    dataset_ = dataset;
    FreeNotification(dataset);
    dataset->AddDataSource(this);
  }
  UpdateState();
}

void TDataSource::SetEnabled(bool value) {
  enabled_ = value;
  UpdateState();
}

void TDataSource::Edit() {
  if (auto_edit_ && state_ == dsBrowse) dataset_->Edit();
}

void TDataSource::UpdateState() {
  const TDataSetState state = enabled_ && dataset_ ? dataset_->GetState() : dsInactive;
  if (state == state_) return;
  const TDataSetState prior = state_;
  state_ = state;
  NotifyDataLinks(deUpdateState, 0);
  if (on_state_change_) on_state_change_(this);
  if (prior == dsInactive) NotifyDataLinks(deLayoutChange, 0);
}

void TDataSource::DataEvent(TDataEvent event, intptr_t info) {
  if (event == deUpdateState) {
    UpdateState();
    return;
  }
  if (state_ == dsInactive) return;
  NotifyDataLinks(event, info);
  switch (event) {
    case deFieldChange:
      if (on_data_change_) on_data_change_(this, reinterpret_cast<TField*>(info));
      break;
    case deRecordChange:
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
      if (on_data_change_) on_data_change_(this, nullptr);
      break;
    case deUpdateRecord:
      if (on_update_data_) on_update_data_(this);
      break;
    default:
      break;
  }
}

void TDataSource::NotifyDataLinks(TDataEvent event, intptr_t info) {
  // Handlers may detach links: only those still attached hear the event.
  const std::vector<TDataLink*> links = links_;
  for (TDataLink* link : links) {
    if (Contains(links_, link)) link->DataEvent(event, info);
  }
}

void TDataSource::AddDataLink(TDataLink* link) {
  links_.push_back(link);
  link->source_ = this;
  if (dataset_) dataset_->UpdateBufferCount();
  link->UpdateState();
}

void TDataSource::RemoveDataLink(TDataLink* link) {
  ForgetDataLink(link);
  link->UpdateState();
  if (dataset_) dataset_->UpdateBufferCount();
}

void TDataSource::ForgetDataLink(TDataLink* link) noexcept {
  const auto it = std::find(links_.begin(), links_.end(), link);
  if (it != links_.end()) links_.erase(it);
  link->source_ = nullptr;
}

}  // namespace dac
