#pragma once
// The move-only owner of one handle of any kind: it closes the handle with the one function that
// frees that kind, through its Traits. It lives in the bottom layer so that the registry object's
// key handles and the shell's window handles share it. Traits may carry state (the registry
// functions a key is closed with); stateless traits cost nothing.

#include <utility>

template <class Traits>
class UniqueHandle : private Traits {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle, Traits traits = Traits())
      : Traits(std::move(traits)), handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept
      : Traits(std::move(other)), handle_(std::exchange(other.handle_, Handle{})) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      Traits::operator=(std::move(other));
      handle_ = std::exchange(other.handle_, Handle{});
    }
    return *this;
  }

  Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != Handle{}; }
  void Reset() {
    if (handle_ != Handle{}) this->Close(handle_);
    handle_ = Handle{};
  }

 private:
  Handle handle_{};
};
