// The module handle, icons loaded from the program's resources, cursors.
#include <cstring>
#include <map>

#include "platform/win32/internal/icon.h"
#include "platform/win32/internal/pixels.h"
#include "platform/win32/internal/resources.h"
#include "platform/win32/kernel.h"
#include "platform/win32/user.h"

namespace win32 {
namespace {

struct PngReader {
    const unsigned char* data;
    std::size_t size;
    std::size_t offset = 0;
};

cairo_status_t readPng(void* closure, unsigned char* out, unsigned int length) {
    auto* reader = static_cast<PngReader*>(closure);
    if (reader->size - reader->offset < length) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, reader->data + reader->offset, length);
    reader->offset += length;
    return CAIRO_STATUS_SUCCESS;
}

std::shared_ptr<BitmapObject> decodePng(const Resource& resource) {
    PngReader reader{resource.data, resource.size};
    cairo_surface_t* png = cairo_image_surface_create_from_png_stream(readPng, &reader);
    if (cairo_surface_status(png) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(png);
        return nullptr;
    }
    auto image =
        std::make_shared<BitmapObject>(cairo_image_surface_get_width(png), cairo_image_surface_get_height(png));
    cairo_t* cr = cairo_create(image->surface());
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, png, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(png);
    cairo_surface_flush(image->surface());
    return image;
}

// The system's application icon: a plain window, a blue title bar over a
// white body in a grey border, drawn once.
std::shared_ptr<BitmapObject> applicationIconImage() {
    constexpr int kSize = 32;
    auto image = std::make_shared<BitmapObject>(kSize, kSize);
    cairo_surface_flush(image->surface());
    for (int y = 2; y < kSize - 2; ++y)
        for (int x = 1; x < kSize - 1; ++x) {
            bool border = y == 2 || y == kSize - 3 || x == 1 || x == kSize - 2;
            std::uint32_t pixel = border ? 0xFF808080u : (y < 9 ? 0xFF2050C0u : 0xFFFFFFFFu);
            image->row(y)[x] = pixel;
        }
    cairo_surface_mark_dirty(image->surface());
    return image;
}

HICON systemApplicationIcon() {
    static HICON icon = nullptr;
    if (findIcon(icon)) return icon;
    auto object = std::make_shared<IconObject>();
    object->image = applicationIconImage();
    object->shared = true;
    icon = static_cast<HICON>(addHandle(HandleKind::Icon, object));
    return icon;
}

}  // namespace

std::shared_ptr<IconObject> findIcon(HICON icon) { return findAs<IconObject>(icon, HandleKind::Icon); }

// Straight ARGB (A<<24 | R<<16 | G<<8 | B), as window managers want icons.
std::vector<std::uint32_t> iconPixels(HICON handle, int* width, int* height) {
    auto icon = findIcon(handle);
    if (!icon || !icon->image) return {};
    const BitmapObject& image = *icon->image;
    std::vector<std::uint32_t> out;
    out.reserve(static_cast<std::size_t>(image.width) * image.height);
    for (int y = 0; y < image.height; ++y) {
        const std::uint32_t* row = image.row(y);
        for (int x = 0; x < image.width; ++x) out.push_back(unpremultiply(row[x]));
    }
    *width = image.width;
    *height = image.height;
    return out;
}

}  // namespace win32

using namespace win32;

HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
    // Each resource icon is loaded once and shared, as LoadIcon does.
    static std::map<int, HICON> loaded;
    if (!instance && name == IDI_APPLICATION) return systemApplicationIcon();
    if (instance != GetModuleHandleW(NULL) || !IS_INTRESOURCE(name)) {
        SetLastError(ERROR_RESOURCE_NOT_FOUND);
        return nullptr;
    }
    int id = static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
    if (auto it = loaded.find(id); it != loaded.end() && findIcon(it->second)) return it->second;
    const Resource* resource = findResource(id);
    std::shared_ptr<BitmapObject> image = resource ? decodePng(*resource) : nullptr;
    if (!image) {
        SetLastError(ERROR_RESOURCE_NOT_FOUND);
        return nullptr;
    }
    auto icon = std::make_shared<IconObject>();
    icon->image = std::move(image);
    icon->shared = true;
    HICON handle = static_cast<HICON>(addHandle(HandleKind::Icon, icon));
    loaded[id] = handle;
    return handle;
}

HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT load) {
    // Only the icon at its own size is used.
    if (type != IMAGE_ICON || cx != 0 || cy != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HICON shared = LoadIconW(instance, name);
    if (!shared || (load & LR_SHARED)) return shared;
    auto icon = std::make_shared<IconObject>();
    icon->image = findIcon(shared)->image;  // never drawn into: the pixels can be shared
    return addHandle(HandleKind::Icon, icon);
}

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
    static HCURSOR arrow = [] {
        auto cursor = std::make_shared<IconObject>();
        cursor->shared = true;
        return static_cast<HCURSOR>(addHandle(HandleKind::Icon, cursor));
    }();
    if (instance || name != IDC_ARROW) return nullptr;  // the arrow is the only system cursor the program uses
    return arrow;
}

BOOL DestroyIcon(HICON handle) {
    auto icon = findIcon(handle);
    if (!icon) return FALSE;
    if (icon->shared) return TRUE;
    return removeHandle(handle, HandleKind::Icon) ? TRUE : FALSE;
}
