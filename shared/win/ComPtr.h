#pragma once
// Owner of one COM reference: released when the owner goes. Move-only, like
// the handle owners; a raw interface pointer in a signature is borrowed.

#include <unknwn.h>

#include <utility>

namespace tidewell {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* owned) : pointer_(owned) {}  // takes over a reference already counted
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      pointer_ = std::exchange(other.pointer_, nullptr);
    }
    return *this;
  }

  T* Get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

  void Reset() {
    if (pointer_) std::exchange(pointer_, nullptr)->Release();
  }
  // For creation functions and QueryInterface, which fill a pointer.
  T** Put() {
    Reset();
    return &pointer_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }

  // Another interface of the same object; empty when it has none.
  template <class U>
  ComPtr<U> As(REFIID iid) const {
    ComPtr<U> other;
    if (pointer_) pointer_->QueryInterface(iid, other.PutVoid());
    return other;
  }

 private:
  T* pointer_ = nullptr;
};

}  // namespace tidewell
