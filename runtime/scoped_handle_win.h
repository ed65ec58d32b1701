#pragma once
// Owner of a kernel handle: closes it when it goes out of scope.

#include <windows.h>

#include <utility>

class ScopedHandle {
  public:
    ScopedHandle() = default;
    // Takes INVALID_HANDLE_VALUE as "no handle" too, as CreateFileA reports failure with it.
    explicit ScopedHandle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept
    {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    ~ScopedHandle() { reset(); }

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    HANDLE release() { return std::exchange(handle_, nullptr); }
    void reset()
    {
        if (handle_ != nullptr)
            CloseHandle(std::exchange(handle_, nullptr));
    }

  private:
    HANDLE handle_ = nullptr;
};
