// The desktop's scale on X11: where it is published, and which source wins.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Xlib's display, without the macros of Xlib.h (None, Bool, Status...),
// which clash with much that includes this.
typedef struct _XDisplay Display;

namespace x11 {

// Everything the scale is chosen from, each as found (absent when unset).
struct ScaleSources {
    // The environment, read once: the person's own choice for this process.
    std::optional<std::string> ostrelScale{};    // OSTREL_SCALE, any number
    std::optional<std::string> gdkScale{};       // GDK_SCALE, an integer
    std::optional<std::string> qtScaleFactor{};  // QT_SCALE_FACTOR, any number
    // The settings manager's Gdk/WindowScalingFactor, and its Xft/DPI (dots
    // per inch times 1024, already multiplied by the window scale; -1 unset)
    // and Gdk/UnscaledDPI (the same before the window scale: KDE publishes
    // only this, its fractional part of the scale in it).
    std::optional<std::int32_t> windowScalingFactor{};
    std::optional<std::int32_t> xftDpi{};
    std::optional<std::int32_t> unscaledDpi{};
    // The Xft.dpi X resource, as written.
    std::optional<std::string> xftDpiResource{};
};

// The first source that holds a usable value, in the order the fields are
// declared (Xft/DPI, then the unscaled DPI times the window scaling factor,
// then that factor alone); 1 from none.
// Unusable: not a number, not finite, not above 0. The result is kept to
// [1, 4] (below 1 is drawn at 1) and to the nearest eighth, so that a
// monitor a few dpi off 96 is not drawn blurred at 1.01.
double chooseScale(const ScaleSources& sources);

// A whole decimal number ("1.5", " 2 "); null for anything else. The
// locale does not matter.
std::optional<double> parseNumber(const std::string& text);

// The environment's part of the sources.
ScaleSources environmentScaleSources();

// The settings manager's part: the _XSETTINGS_SETTINGS property (atom
// `settings`) of the window `owner` read into `sources`, both cleared when
// it cannot be read.
void readXSettingsScale(Display* display, unsigned long owner, unsigned long settings, ScaleSources* sources);

// Xft.dpi from the RESOURCE_MANAGER property on the window `root` (read
// afresh, not the copy Xlib took when the display was opened).
std::optional<std::string> readXftDpiResource(Display* display, unsigned long root);

}  // namespace x11
