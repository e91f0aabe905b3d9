#include "platform/x11/display_scale.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/x11/xsettings.h"

namespace x11 {

namespace {

constexpr double kMinScale = 1.0;
constexpr double kMaxScale = 4.0;
constexpr double kBaseDpi = 96.0;
// Settings lists run to a few kilobytes, resources to some tens: these are
// far beyond any, and bound what another client can make each read cost.
constexpr long kMaxSettingsLongs = 16 * 1024;
constexpr long kMaxResourceLongs = 64 * 1024;

std::optional<double> usable(std::optional<double> value) {
    if (!value || !std::isfinite(*value) || *value <= 0) return std::nullopt;
    return value;
}

std::optional<double> integerScale(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    std::optional<double> value = parseNumber(*text);
    if (!value || *value != std::floor(*value)) return std::nullopt;
    return usable(value);
}

std::optional<double> numberScale(const std::optional<std::string>& text) {
    return text ? usable(parseNumber(*text)) : std::nullopt;
}

std::optional<double> xsettingsScale(const ScaleSources& s) {
    if (s.xftDpi && *s.xftDpi > 0) return *s.xftDpi / 1024.0 / kBaseDpi;
    const std::optional<double> window = s.windowScalingFactor ? usable(*s.windowScalingFactor) : std::nullopt;
    if (s.unscaledDpi && *s.unscaledDpi > 0) return window.value_or(1.0) * (*s.unscaledDpi / 1024.0 / kBaseDpi);
    if (window) return window;
    return std::nullopt;
}

std::optional<double> resourceScale(const ScaleSources& s) {
    std::optional<double> dpi = numberScale(s.xftDpiResource);
    return dpi ? std::optional<double>(*dpi / kBaseDpi) : std::nullopt;
}

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

}  // namespace

std::optional<double> parseNumber(const std::string& text) {
    const char* first = text.data();
    const char* last = first + text.size();
    while (first < last && (*first == ' ' || *first == '\t')) ++first;
    while (last > first && (last[-1] == ' ' || last[-1] == '\t' || last[-1] == '\n' || last[-1] == '\r')) --last;
    double value = 0;
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::fixed);
    if (first == last || error != std::errc() || end != last) return std::nullopt;
    return value;
}

double chooseScale(const ScaleSources& sources) {
    std::optional<double> scale = numberScale(sources.ostrelScale);
    if (!scale) scale = integerScale(sources.gdkScale);
    if (!scale) scale = numberScale(sources.qtScaleFactor);
    if (!scale) scale = xsettingsScale(sources);
    if (!scale) scale = resourceScale(sources);
    if (!scale) return kMinScale;
    const double clamped = std::clamp(*scale, kMinScale, kMaxScale);
    return std::round(clamped * 8) / 8;
}

ScaleSources environmentScaleSources() {
    ScaleSources sources;
    sources.ostrelScale = environment("OSTREL_SCALE");
    sources.gdkScale = environment("GDK_SCALE");
    sources.qtScaleFactor = environment("QT_SCALE_FACTOR");
    return sources;
}

void readXSettingsScale(Display* display, unsigned long owner, unsigned long settings, ScaleSources* sources) {
    sources->windowScalingFactor.reset();
    sources->xftDpi.reset();
    sources->unscaledDpi.reset();
    if (!owner) return;
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::optional<XSettingsIntegers> integers;
    // A list cut short by the limit would not parse; it is read whole or not at all.
    if (XGetWindowProperty(display, owner, settings, 0, kMaxSettingsLongs, False, AnyPropertyType, &type, &format,
                           &count, &after, &data) == Success &&
        format == 8 && after == 0)
        integers = parseXSettings(data, count);
    if (data) XFree(data);
    if (!integers) return;
    if (auto it = integers->find("Gdk/WindowScalingFactor"); it != integers->end())
        sources->windowScalingFactor = it->second;
    if (auto it = integers->find("Xft/DPI"); it != integers->end()) sources->xftDpi = it->second;
    if (auto it = integers->find("Gdk/UnscaledDPI"); it != integers->end()) sources->unscaledDpi = it->second;
}

std::optional<std::string> readXftDpiResource(Display* display, unsigned long root) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string text;
    if (XGetWindowProperty(display, root, XA_RESOURCE_MANAGER, 0, kMaxResourceLongs, False, XA_STRING, &type, &format,
                           &count, &after, &data) == Success &&
        type == XA_STRING && format == 8 && data)
        text.assign(reinterpret_cast<const char*>(data), count);
    if (data) XFree(data);
    if (text.empty()) return std::nullopt;

    // Xlib's own reader, so that comments, continued lines and wildcards
    // mean what they mean to every other X client.
    XrmInitialize();
    XrmDatabase database = XrmGetStringDatabase(text.c_str());
    if (!database) return std::nullopt;
    char* valueType = nullptr;
    XrmValue value{};
    std::optional<std::string> dpi;
    if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &valueType, &value) && value.addr)
        dpi = std::string(value.addr, strnlen(value.addr, value.size));
    XrmDestroyDatabase(database);
    return dpi;
}

}  // namespace x11
