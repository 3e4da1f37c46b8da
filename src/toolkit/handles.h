// Owners for Win32 handles: one small template, one line per handle type.
#pragma once

#include <windows.h>
#include <uxtheme.h>

#include <utility>

namespace tk {

template <typename T, auto Close> class unique_any {
  public:
    unique_any() = default;
    explicit unique_any(T value) noexcept : value_(value) {}
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    unique_any(unique_any&& other) noexcept : value_(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~unique_any() { reset(); }

    T get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != T{}; }
    T release() noexcept { return std::exchange(value_, T{}); }
    void reset(T value = T{}) noexcept {
        if (value_ != T{}) Close(value_);
        value_ = value;
    }
    // For out-parameters: frees the current value and gives the address to fill.
    T* put() noexcept {
        reset();
        return &value_;
    }

  private:
    T value_{};
};

inline void closeGdiObject(HGDIOBJ h) noexcept {
    DeleteObject(h);
}
inline void closeHook(HHOOK h) noexcept {
    UnhookWindowsHookEx(h);
}
inline void closeKernelHandle(HANDLE h) noexcept {
    CloseHandle(h);
}

using unique_hkey = unique_any<HKEY, &RegCloseKey>;
using unique_hfont = unique_any<HFONT, &closeGdiObject>;
using unique_hbitmap = unique_any<HBITMAP, &closeGdiObject>;
using unique_hbrush = unique_any<HBRUSH, &closeGdiObject>;
using unique_hdc = unique_any<HDC, &DeleteDC>;
using unique_hhook = unique_any<HHOOK, &closeHook>;
using unique_hmodule = unique_any<HMODULE, &FreeLibrary>;
// A process, thread, token or file handle. Empty is null: a file goes in through openedFile.
using unique_handle = unique_any<HANDLE, &closeKernelHandle>;

// The owner of what CreateFileW returned: its INVALID_HANDLE_VALUE becomes empty.
inline unique_handle openedFile(HANDLE file) noexcept {
    return unique_handle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

// A device context obtained with GetDC (of the screen for a null window), given back with
// ReleaseDC.
class unique_window_dc {
  public:
    unique_window_dc() = default;
    explicit unique_window_dc(HWND window) noexcept { reset(window); }
    unique_window_dc(const unique_window_dc&) = delete;
    unique_window_dc& operator=(const unique_window_dc&) = delete;
    ~unique_window_dc() { release(); }

    // Gives back the DC held, then takes `window`'s; false when there is none.
    bool reset(HWND window) noexcept {
        release();
        window_ = window;
        dc_ = GetDC(window);
        return dc_ != nullptr;
    }
    // Gives the DC back to its window.
    void release() noexcept {
        if (dc_) ReleaseDC(window_, dc_);
        window_ = nullptr;
        dc_ = nullptr;
    }
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

  private:
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
};

// Selects a GDI object into a DC and selects the previous one back on scope exit, so
// an object is never deleted while still selected.
class select_object {
  public:
    select_object(HDC dc, HGDIOBJ object) noexcept
        : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
    select_object(const select_object&) = delete;
    select_object& operator=(const select_object&) = delete;
    ~select_object() {
        if (previous_) SelectObject(dc_, previous_);
    }

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

} // namespace tk
