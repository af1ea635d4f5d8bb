#pragma once
// Move-only owners for the handle kinds the programs use. A raw handle in a
// signature is borrowed; whoever holds one of these closes it.

#include <windows.h>
#include <commctrl.h>

#include <utility>

namespace tidewell {

template <class T, class Traits>
class UniqueResource {
 public:
  UniqueResource() = default;
  explicit UniqueResource(T value) : value_(value) {}
  ~UniqueResource() { Reset(); }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : value_(other.Release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  T Get() const { return value_; }
  explicit operator bool() const { return Traits::IsValid(value_); }
  T Release() { return std::exchange(value_, Traits::Invalid()); }
  void Reset(T value = Traits::Invalid()) {
    if (Traits::IsValid(value_)) Traits::Close(value_);
    value_ = value;
  }
  // For APIs that fill a handle through a pointer.
  T* Put() {
    Reset();
    return &value_;
  }

 private:
  T value_ = Traits::Invalid();
};

struct KernelHandleTraits {
  static HANDLE Invalid() { return nullptr; }
  static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};

struct FindHandleTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(HANDLE h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static void Close(HANDLE h) { ::FindClose(h); }
};

// The kinds whose only empty value is null.
template <class T>
struct NullEmptyTraits {
  static T Invalid() { return nullptr; }
  static bool IsValid(T h) { return h != nullptr; }
};

struct KeyTraits : NullEmptyTraits<HKEY> {
  static void Close(HKEY k) { ::RegCloseKey(k); }
};

template <class T>
struct GdiTraits : NullEmptyTraits<T> {
  static void Close(T object) { ::DeleteObject(object); }
};

struct IconTraits : NullEmptyTraits<HICON> {
  static void Close(HICON icon) { ::DestroyIcon(icon); }
};

struct ModuleTraits : NullEmptyTraits<HMODULE> {
  static void Close(HMODULE module) { ::FreeLibrary(module); }
};

struct MenuTraits : NullEmptyTraits<HMENU> {
  static void Close(HMENU menu) { ::DestroyMenu(menu); }
};

struct ImageListTraits : NullEmptyTraits<HIMAGELIST> {
  static void Close(HIMAGELIST list) { ::ImageList_Destroy(list); }
};

// A DC of CreateCompatibleDC's, not one borrowed with GetDC.
struct MemoryDcTraits : NullEmptyTraits<HDC> {
  static void Close(HDC dc) { ::DeleteDC(dc); }
};

using UniqueHandle = UniqueResource<HANDLE, KernelHandleTraits>;
using UniqueFindHandle = UniqueResource<HANDLE, FindHandleTraits>;
using UniqueKey = UniqueResource<HKEY, KeyTraits>;
template <class T>
using UniqueGdi = UniqueResource<T, GdiTraits<T>>;
using UniqueIcon = UniqueResource<HICON, IconTraits>;
using UniqueModule = UniqueResource<HMODULE, ModuleTraits>;
using UniqueMenu = UniqueResource<HMENU, MenuTraits>;
using UniqueImageList = UniqueResource<HIMAGELIST, ImageListTraits>;
using UniqueMemoryDc = UniqueResource<HDC, MemoryDcTraits>;

}  // namespace tidewell
