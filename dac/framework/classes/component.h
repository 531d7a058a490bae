// TComponent: the owned, named, two-phase object of the framework.
//
// A component is made with new (MakeComponent, or its metaclass's Create),
// then Init runs, where virtual calls are safe. It ends with Free(), never
// with delete: Free runs the most derived BeforeDestruction (close there),
// frees the owned components latest first, tells the owner and everyone who
// asked through FreeNotification, and deletes. A destructor calls nothing
// virtual of its own and never throws.
#pragma once

#include <string>
#include <vector>

#include "dac/framework/classes/exceptions.h"
#include "dac/framework/classes/persistent.h"
#include "dac/framework/classes/small_set.h"

namespace dac {

enum TComponentStateFlag : uint8_t { csLoading, csReading, csWriting, csDestroying, csDesigning, csUpdating };
using TComponentState = TSet<TComponentStateFlag>;

enum TOperation : uint8_t { opInsert, opRemove };

class EComponentError : public Exception {
 public:
  using Exception::Exception;
};

class TComponent;

// The metaclass of component classes: Create(owner) makes an instance and runs Init.
class TComponentClass : public TMetaClass {
 public:
  using TMetaClass::TMetaClass;
  using TMetaClass::Create;
  virtual TComponent* Create(TComponent* owner) const;
};

class TComponent : public TPersistent {
  DAC_DECLARE_CLASS();

 public:
  explicit TComponent(TComponent* owner);
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  // The second phase of construction; overrides call the inherited one first.
  virtual void Init() {}
  // Ends the component (see above). Errors from BeforeDestruction go to the
  // application's exception hook; nothing escapes.
  void Free();
  // Free for a pointer that may be null, which is then cleared.
  template <typename T>
  static void FreeAndNil(T*& component) {
    T* doomed = component;
    component = nullptr;
    if (doomed) doomed->Free();
  }

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  // EComponentError "A component named %s already exists" for a name that
  // another component of the same owner carries (names compare without case).
  virtual void SetName(const std::string& name);

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const;
  TComponent* FindComponent(const std::string& name) const;
  // Moves ownership; the owner's Notification hears of both.
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  TComponentState ComponentState() const { return state_; }
  void SetDesigning(bool value, bool set_children = true);
  // Marks the component (and its owned components) as being loaded and read;
  // Loaded ends loading.
  void BeginLoading();
  void EndReading() { state_.Exclude(csReading); }
  // Ends loading without Loaded, after a failed read.
  void EndLoading() { state_.Exclude(csLoading); }
  virtual void Loaded();

  // Asks to hear (through Notification with opRemove) when component is
  // freed; it hears of this one in turn.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  // opRemove: component is going; drop every pointer to it. The base drops
  // the free-notification link and passes the news to the owned components.
  virtual void Notification(TComponent* component, TOperation operation);

 protected:
  ~TComponent() override;
  // Runs first in Free while the whole object stands.
  virtual void BeforeDestruction() {}

 private:
  void MarkDestroying();
  void FreeOwnedComponents();
  void SendFreeNotifications();
  void Unlink(TComponent* component);

  TComponent* owner_ = nullptr;
  std::string name_;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> free_notifies_;
  TComponentState state_;
  bool freed_ = false;
};

// Makes a component, runs Init and tells the owner. A failing Init frees it.
template <typename T, typename... Args>
T* MakeComponent(TComponent* owner, Args&&... args) {
  T* component = new T(owner, std::forward<Args>(args)...);
  try {
    component->Init();
  } catch (...) {
    component->Free();
    throw;
  }
  if (owner) owner->Notification(component, opInsert);
  return component;
}

template <typename T>
class TComponentClassOf : public TComponentClass {
 public:
  using TComponentClass::TComponentClass;
  using TComponentClass::Create;
  TComponent* Create(TComponent* owner) const override { return MakeComponent<T>(owner); }
};

}  // namespace dac
