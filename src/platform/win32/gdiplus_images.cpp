// GDI+ images and bitmaps: PNG files read into straight BGRA, and the
// bitmaps the skin paints into and locks.
#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/win32/internal/gdiplus_internal.h"
#include "platform/win32/internal/pixels.h"
#include "platform/win32/internal/scale.h"
#include "platform/win32/internal/strings.h"

namespace win32 {
namespace {

// Reads a PNG into straight BGRA.
Gdiplus::Status loadPng(const WCHAR* filename, std::shared_ptr<ImageData>& out) {
    if (!filename || !*filename) return Gdiplus::InvalidParameter;
    cairo_surface_t* surface = cairo_image_surface_create_from_png(toFileName(filename).c_str());
    cairo_status_t status = cairo_surface_status(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        if (status == CAIRO_STATUS_FILE_NOT_FOUND) return Gdiplus::FileNotFound;
        if (status == CAIRO_STATUS_NO_MEMORY) return Gdiplus::OutOfMemory;
        return errno == EACCES ? Gdiplus::AccessDenied : Gdiplus::UnknownImageFormat;
    }
    auto image = std::make_shared<ImageData>();
    image->width = cairo_image_surface_get_width(surface);
    image->height = cairo_image_surface_get_height(surface);
    image->logicalWidth = image->width;
    image->logicalHeight = image->height;
    image->pixels.resize(static_cast<std::size_t>(image->width) * image->height);
    cairo_format_t format = cairo_image_surface_get_format(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < image->height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
        for (int x = 0; x < image->width; ++x) {
            std::uint32_t p = row[x];
            if (format == CAIRO_FORMAT_RGB24) {
                p |= 0xFF000000u;
            } else {
                p = win32::unpremultiply(p);
            }
            image->pixels[static_cast<std::size_t>(y) * image->width + x] = p;
        }
    }
    cairo_surface_destroy(surface);
    out = std::move(image);
    return Gdiplus::Ok;
}

}  // namespace
}  // namespace win32

namespace Gdiplus {

// Images and bitmaps

Image::Image(const WCHAR* filename, BOOL) { m_lastStatus = win32::loadPng(filename, m_data); }

Image* Image::FromFile(const WCHAR* filename, BOOL useEmbeddedColorManagement) {
    return new Image(filename, useEmbeddedColorManagement);
}

Image::~Image() = default;

UINT Image::GetWidth() {
    if (!m_data) {
        m_lastStatus = InvalidParameter;
        return 0;
    }
    return static_cast<UINT>(m_data->logicalWidth);
}

UINT Image::GetHeight() {
    if (!m_data) {
        m_lastStatus = InvalidParameter;
        return 0;
    }
    return static_cast<UINT>(m_data->logicalHeight);
}

PixelFormat Image::GetPixelFormat() {
    if (!m_data) {
        m_lastStatus = InvalidParameter;
        return 0;
    }
    return PixelFormat32bppARGB;
}

// A failed load keeps its status until asked; later errors replace it.
Status Image::GetLastStatus() const { return std::exchange(m_lastStatus, Ok); }

Bitmap::Bitmap(INT width, INT height, PixelFormat format) {
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767 || format != PixelFormat32bppARGB) {
        m_lastStatus = InvalidParameter;
        return;
    }
    auto data = std::make_shared<win32::ImageData>();
    data->scale = win32::displayScale();
    data->logicalWidth = width;
    data->logicalHeight = height;
    data->width = win32::toDevice(width, data->scale);
    data->height = win32::toDevice(height, data->scale);
    data->pixels.assign(static_cast<std::size_t>(data->width) * data->height, 0);
    m_data = std::move(data);
}

Bitmap::Bitmap(const WCHAR* filename, BOOL) { m_lastStatus = win32::loadPng(filename, m_data); }

Status Bitmap::LockBits(const Rect* rect, UINT flags, PixelFormat format, BitmapData* locked) {
    if (!m_data || !locked || format != PixelFormat32bppARGB) return m_lastStatus = InvalidParameter;
    if (flags & ImageLockModeUserInputBuf) return m_lastStatus = NotImplemented;
    if (!(flags & (ImageLockModeRead | ImageLockModeWrite))) return m_lastStatus = InvalidParameter;
    Rect r = rect ? *rect : Rect(0, 0, m_data->logicalWidth, m_data->logicalHeight);
    if (r.X < 0 || r.Y < 0 || r.Width <= 0 || r.Height <= 0 || r.Width > m_data->logicalWidth - r.X ||
        r.Height > m_data->logicalHeight - r.Y)
        return m_lastStatus = InvalidParameter;
    if (m_data->locked) return m_lastStatus = WrongState;
    m_data->locked = true;
    locked->Width = static_cast<UINT>(r.Width);
    locked->Height = static_cast<UINT>(r.Height);
    locked->PixelFormat = PixelFormat32bppARGB;
    locked->Reserved = 0;
    if (m_data->scale == 1.0) {
        locked->Stride = m_data->width * 4;
        locked->Scan0 = m_data->pixels.data() + static_cast<std::size_t>(r.Y) * m_data->width + r.X;
        return Ok;
    }
    // Whoever reads locked bits works in window pixels (a blur's radius, a
    // pixel's neighbours): they see the bitmap at scale 1.
    m_data->lockCopy = win32::windowPixels(*m_data, r);
    m_data->lockRect = r;
    m_data->lockWrites = flags & ImageLockModeWrite;
    locked->Stride = r.Width * 4;
    locked->Scan0 = m_data->lockCopy.data();
    return Ok;
}

Status Bitmap::UnlockBits(BitmapData* locked) {
    if (!m_data || !locked) return m_lastStatus = InvalidParameter;
    if (!m_data->locked) return m_lastStatus = WrongState;
    m_data->locked = false;
    if (!m_data->lockCopy.empty()) {
        if (m_data->lockWrites) win32::putWindowPixels(*m_data, m_data->lockRect, m_data->lockCopy);
        m_data->lockCopy = {};
    }
    return Ok;
}

}  // namespace Gdiplus
