#include "toolkit/memory_image.h"

#include <algorithm>

namespace tk {

bool MemoryImage::resize(HDC reference, int width, int height, COLORREF background) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (!dc_) {
        dc_.reset(CreateCompatibleDC(reference));
        if (!dc_) return false;
        originalFont_ = GetCurrentObject(dc_.get(), OBJ_FONT);
        originalBitmap_ = GetCurrentObject(dc_.get(), OBJ_BITMAP);
    }
    unique_hbitmap bitmap(CreateCompatibleBitmap(reference, width, height));
    if (!bitmap) return false;
    {
        unique_hdc scratch(CreateCompatibleDC(reference));
        select_object selected(scratch.get(), bitmap.get());
        const RECT all{0, 0, width, height};
        unique_hbrush brush(CreateSolidBrush(background));
        FillRect(scratch.get(), &all, brush.get());
        if (bitmap_)
            BitBlt(scratch.get(), 0, 0, std::min(width, width_), std::min(height, height_),
                   dc_.get(), 0, 0, SRCCOPY);
    }
    SelectObject(dc_.get(), bitmap.get());
    bitmap_ = std::move(bitmap);
    width_ = width;
    height_ = height;
    return true;
}

void MemoryImage::reset() noexcept {
    if (dc_) {
        SelectObject(dc_.get(), originalFont_);
        SelectObject(dc_.get(), originalBitmap_);
    }
    bitmap_.reset();
    dc_.reset();
    originalFont_ = originalBitmap_ = nullptr;
    width_ = height_ = 0;
}

void MemoryImage::paint(HWND window) const {
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(window, &ps);
    if (dc && bitmap_) {
        const RECT& r = ps.rcPaint;
        BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, dc_.get(), r.left, r.top,
               SRCCOPY);
    }
    EndPaint(window, &ps);
}

} // namespace tk
