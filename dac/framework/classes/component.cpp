#include "dac/framework/classes/component.h"

#include <algorithm>

#include "dac/framework/classes/application.h"
#include "platform/ascii.h"

namespace dac {

namespace {

bool Erase(std::vector<TComponent*>& list, TComponent* component) {
  const auto it = std::find(list.begin(), list.end(), component);
  if (it == list.end()) return false;
  list.erase(it);
  return true;
}

}  // namespace

DAC_DEFINE_CLASS(TComponent, TPersistent, ::dac::TComponentClass)

TComponent* TComponentClass::Create(TComponent*) const {
  throw NotSupportedException("Cannot create an instance of " + ClassName());
}

TComponent::TComponent(TComponent* owner) : owner_(owner) {
  if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
  // Reached without Free only for components ended as plain objects; the
  // links still have to go, but nothing virtual of this object runs.
  if (freed_) return;
  FreeOwnedComponents();
  SendFreeNotifications();
  if (owner_) owner_->RemoveComponent(this);
}

void TComponent::Free() {
  if (freed_) return;
  freed_ = true;
  MarkDestroying();
  try {
    BeforeDestruction();
  } catch (const std::exception& error) {
    ApplicationHandleException(this, error);
  } catch (...) {
    ApplicationHandleException(this, Exception("Unknown error while closing " + ClassName()));
  }
  FreeOwnedComponents();
  SendFreeNotifications();
  if (owner_) owner_->RemoveComponent(this);
  delete this;
}

void TComponent::MarkDestroying() {
  state_.Include(csDestroying);
  for (TComponent* child : components_) child->MarkDestroying();
}

void TComponent::FreeOwnedComponents() {
  while (!components_.empty()) {
    TComponent* child = components_.back();
    child->Free();
    // A child already inside its own Free stays listed: let it go here.
    if (!components_.empty() && components_.back() == child) {
      components_.pop_back();
      child->owner_ = nullptr;
    }
  }
}

void TComponent::SendFreeNotifications() {
  while (!free_notifies_.empty()) {
    TComponent* other = free_notifies_.back();
    free_notifies_.pop_back();
    Erase(other->free_notifies_, this);
    other->Notification(this, opRemove);
  }
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount()) ListIndexError(index);
  return components_[static_cast<size_t>(index)];
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* child : components_) {
    if (plat::SameText(child->name_, name)) return child;
  }
  return nullptr;
}

void TComponent::SetName(const std::string& name) {
  if (name == name_) return;
  if (owner_) {
    const TComponent* other = owner_->FindComponent(name);
    if (other && other != this) throw EComponentError(Format("A component named %s already exists", name.c_str()));
  }
  name_ = name;
}

void TComponent::InsertComponent(TComponent* component) {
  if (!component || component->owner_ == this) return;
  const TComponent* other = FindComponent(component->name_);
  if (other) throw EComponentError(Format("A component named %s already exists", component->name_.c_str()));
  if (component->owner_) component->owner_->RemoveComponent(component);
  components_.push_back(component);
  component->owner_ = this;
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  if (!component || component->owner_ != this) return;
  Notification(component, opRemove);
  Erase(components_, component);
  component->owner_ = nullptr;
}

void TComponent::SetDesigning(bool value, bool set_children) {
  if (value) {
    state_.Include(csDesigning);
  } else {
    state_.Exclude(csDesigning);
  }
  if (!set_children) return;
  for (TComponent* child : components_) child->SetDesigning(value, true);
}

void TComponent::BeginLoading() { state_.Include(csLoading).Include(csReading); }

void TComponent::Loaded() { state_.Exclude(csLoading); }

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(free_notifies_.begin(), free_notifies_.end(), component) == free_notifies_.end()) {
    free_notifies_.push_back(component);
  }
  if (std::find(component->free_notifies_.begin(), component->free_notifies_.end(), this) ==
      component->free_notifies_.end()) {
    component->free_notifies_.push_back(this);
  }
}

void TComponent::RemoveFreeNotification(TComponent* component) { Unlink(component); }

void TComponent::Unlink(TComponent* component) {
  if (!component) return;
  Erase(free_notifies_, component);
  Erase(component->free_notifies_, this);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove) Unlink(component);
  // Handlers may free siblings: walk by index and recheck the bound.
  for (size_t i = components_.size(); i-- > 0;) {
    if (i >= components_.size()) continue;
    TComponent* child = components_[i];
    if (child != component) child->Notification(component, operation);
  }
}

}  // namespace dac
