// A memory DC holding a fresh device bitmap, with direct pixel access; for
// tests that draw and then read the bytes back.
#pragma once

#include <cstdint>

#include "platform/win32/gdi.h"
#include "platform/win32/internal/gdi_objects.h"

class MemorySurface {
public:
    MemorySurface(int width, int height) {
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateCompatibleBitmap(dc, width, height);
        previous = SelectObject(dc, bitmap);
    }
    ~MemorySurface() {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    MemorySurface(const MemorySurface&) = delete;
    MemorySurface& operator=(const MemorySurface&) = delete;

    std::uint32_t at(int x, int y) const {
        auto b = win32::findBitmap(bitmap);
        cairo_surface_flush(b->surface());
        return b->row(y)[x];
    }
    void set(int x, int y, std::uint32_t value) {
        auto b = win32::findBitmap(bitmap);
        cairo_surface_flush(b->surface());
        b->row(y)[x] = value;
        cairo_surface_mark_dirty(b->surface());
    }
    void fill(std::uint32_t value) {
        auto b = win32::findBitmap(bitmap);
        for (int y = 0; y < b->height; ++y)
            for (int x = 0; x < b->width; ++x) set(x, y, value);
    }

    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
};
