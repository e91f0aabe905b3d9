// One XImage set-up for every pixel upload (see put_image.h).
#include "platform/x11/put_image.h"

#include <X11/Xutil.h>

#include <cstdint>

namespace x11 {

void putImage(Display* display, Drawable target, GC gc, Visual* visual, int depth, void* pixels, int stride, int x,
              int y, int width, int height) {
    XImage* image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, static_cast<char*>(pixels),
                                 static_cast<unsigned>(width), static_cast<unsigned>(height), 32, stride);
    if (!image) return;
    const std::uint32_t probe = 1;
    image->byte_order = *reinterpret_cast<const std::uint8_t*>(&probe) ? LSBFirst : MSBFirst;
    XPutImage(display, target, gc, image, 0, 0, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height));
    image->data = nullptr;  // the caller's
    XDestroyImage(image);
}

}  // namespace x11
