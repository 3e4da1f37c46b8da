// An offscreen picture: a bitmap selected into a memory DC. What is drawn into it stays until
// drawn over, and a window's paint shows it. The DC's own bitmap and font are selected back
// before it goes, so nothing is deleted while still selected.
#pragma once

#include "toolkit/handles.h"

namespace tk {

class MemoryImage {
  public:
    MemoryImage() = default;
    MemoryImage(const MemoryImage&) = delete;
    MemoryImage& operator=(const MemoryImage&) = delete;
    ~MemoryImage() { reset(); }

    // Makes the picture width x height pixels (1 x 1 at the least), compatible with
    // `reference`, filled with `background` and with the previous picture in its top-left
    // corner. False, with the previous picture kept, when it cannot be made.
    bool resize(HDC reference, int width, int height, COLORREF background);
    // Frees the picture and its DC.
    void reset() noexcept;

    HDC dc() const noexcept { return dc_.get(); }
    int width() const noexcept { return width_; }
    int height() const noexcept { return height_; }
    explicit operator bool() const noexcept { return static_cast<bool>(bitmap_); }

    // Answers WM_PAINT of `window` with the picture.
    void paint(HWND window) const;

  private:
    unique_hdc dc_;
    unique_hbitmap bitmap_;
    HGDIOBJ originalBitmap_ = nullptr;
    HGDIOBJ originalFont_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

} // namespace tk
