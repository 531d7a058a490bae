// Reference-counted objects that record buffers share between record copies.
// Counts are plain (one thread at a time); an object is made with a count of
// 1 and destroyed through its virtual destructor when Free meets a count of 1.
#pragma once

#include <cstdint>
#include <utility>

#include "dac/framework/classes/meta_class.h"
#include "dac/framework/values/variant.h"
#include "dac/store/runtime/unaligned.h"

namespace dac {

class TSharedObject : public TObject {
  DAC_DECLARE_CLASS();

 public:
  TSharedObject() = default;
  TSharedObject(const TSharedObject&) = delete;
  TSharedObject& operator=(const TSharedObject&) = delete;

  int32_t RefCount() const { return ref_count_; }
  void AddRef();
  // Below 1: assertion failure "<ClassName>.Free RefCount = <count>"; at 1
  // the object is destroyed; otherwise the count goes down by one.
  void Free();
  void Release() { Free(); }
  // Exception "Invalid SharedObject" for an object being destroyed.
  void CheckValid() const;

  // The handle record slots keep: the object's own address.
  void* GetGCHandle();
  static TSharedObject* FromGCHandle(void* handle) { return static_cast<TSharedObject*>(handle); }
  // The object of class T whose handle lies at `place` (a record slot, at
  // any address); null for an empty slot or an object of another class.
  template <typename T = TSharedObject>
  static T* At(const void* place) {
    return dynamic_cast<T*>(FromGCHandle(LoadAt<void*>(place)));
  }

 protected:
  // Only Free destroys; objects live on the heap.
  ~TSharedObject() override { ref_count_ = 0; }

 private:
  int32_t ref_count_ = 1;
  bool has_gc_handle_ = false;
};

// Free for a pointer that may be null.
inline void FreeShared(TSharedObject* object) {
  if (object) object->Free();
}

// Holds one reference for C++ callers and frees it on scope exit.
template <typename T>
class SharedRef {
 public:
  SharedRef() = default;
  // Takes over the caller's reference (a new object's first one).
  static SharedRef Adopt(T* object) { return SharedRef(object); }
  // Adds a reference of its own.
  static SharedRef Share(T* object) {
    if (object) object->AddRef();
    return SharedRef(object);
  }
  SharedRef(const SharedRef& other) : object_(other.object_) {
    if (object_) object_->AddRef();
  }
  SharedRef(SharedRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  SharedRef& operator=(SharedRef other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~SharedRef() { FreeShared(object_); }

  T* get() const { return object_; }
  T* operator->() const { return object_; }
  T& operator*() const { return *object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // Hands the reference back to the caller.
  T* Detach() { return std::exchange(object_, nullptr); }

 private:
  explicit SharedRef(T* object) : object_(object) {}
  T* object_ = nullptr;
};

template <typename T, typename... Args>
SharedRef<T> MakeShared(Args&&... args) {
  return SharedRef<T>::Adopt(new T(std::forward<Args>(args)...));
}

// The holder of a dtVariant field's value; the record store reads and writes it directly.
class TVariantObject : public TSharedObject {
  DAC_DECLARE_CLASS();

 public:
  TVariantObject() = default;
  Variant& Value() { return value_; }
  const Variant& Value() const { return value_; }

 protected:
  ~TVariantObject() override = default;

 private:
  Variant value_;
};

}  // namespace dac
