// One move-only owner for every kind of platform handle; the traits name the
// close call and the invalid value, which differ between kinds.
#pragma once

#include <utility>

#include "platform/platform.h"

namespace plat {

template <class Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;
  UniqueHandle() = default;
  explicit UniqueHandle(Type h) : h_(h) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, Traits::Invalid())) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) {
      reset();
      h_ = std::exchange(o.h_, Traits::Invalid());
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Type get() const { return h_; }
  explicit operator bool() const { return h_ != Traits::Invalid(); }
  void reset(Type h = Traits::Invalid()) {
    if (h_ != Traits::Invalid()) Traits::Close(h_);
    h_ = h;
  }

 private:
  Type h_ = Traits::Invalid();
};

struct DevInfoTraits {
  using Type = HDEVINFO;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { SetupDiDestroyDeviceInfoList(h); }
};
struct RegKeyTraits {
  using Type = HKEY;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { RegCloseKey(h); }
};
struct KernelHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { CloseHandle(h); }
};

// Files, volumes, interfaces and hubs from CreateFileA/W.
struct FileHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { CloseHandle(h); }
};

using UniqueDevInfo = UniqueHandle<DevInfoTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFile = UniqueHandle<FileHandleTraits>;

}  // namespace plat
