// The message box's face, measured and drawn with cairo's toy text API.
#include "platform/x11/message_box_layout.h"

#include <algorithm>
#include <cmath>

#include "platform/win32/internal/scale.h"

namespace x11 {

namespace {

// At a scale of 1, in window pixels.
constexpr double kFontSize = 13;
constexpr double kLineHeight = 18;
constexpr int kMargin = 20;
constexpr int kBelowButton = 14;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 28;
constexpr int kMinWidth = 240, kMaxWidth = 900, kMaxHeight = 700;

void selectFont(cairo_t* cr, const MessageBoxLayout& layout) {
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, layout.fontSize);
}

double measureWidest(const std::vector<std::string>& lines, const MessageBoxLayout& layout) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(surface);
    selectFont(cr, layout);
    double widest = 0;
    for (const std::string& line : lines) {
        cairo_text_extents_t extents;
        cairo_text_extents(cr, line.c_str(), &extents);
        widest = std::max(widest, extents.x_advance);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return widest;
}

}  // namespace

std::vector<std::string> messageLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (true) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

MessageBoxLayout layoutMessageBox(const std::vector<std::string>& lines, double scale) {
    MessageBoxLayout layout;
    layout.scale = scale;
    layout.fontSize = kFontSize * scale;
    layout.lineHeight = kLineHeight * scale;
    layout.margin = win32::toDevice(kMargin, scale);
    layout.buttonWidth = win32::toDevice(kButtonWidth, scale);
    layout.buttonHeight = win32::toDevice(kButtonHeight, scale);
    const int belowButton = win32::toDevice(kBelowButton, scale);
    layout.width = std::clamp(static_cast<int>(std::ceil(measureWidest(lines, layout))) + 2 * layout.margin,
                              win32::toDevice(kMinWidth, scale), win32::toDevice(kMaxWidth, scale));
    const int textHeight = static_cast<int>(static_cast<double>(lines.size()) * layout.lineHeight);
    layout.height = std::min(layout.margin + textHeight + layout.margin + layout.buttonHeight + belowButton,
                             win32::toDevice(kMaxHeight, scale));
    layout.buttonX = (layout.width - layout.buttonWidth) / 2;
    layout.buttonY = layout.height - layout.buttonHeight - belowButton;
    return layout;
}

void paintMessageBox(cairo_surface_t* surface, const MessageBoxLayout& layout, const std::vector<std::string>& lines,
                     bool pressed) {
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 0.94, 0.94, 0.94);
    cairo_paint(cr);
    selectFont(cr, layout);
    cairo_set_source_rgb(cr, 0, 0, 0);
    double baseline = layout.margin + layout.fontSize;
    for (const std::string& line : lines) {
        cairo_move_to(cr, layout.margin, baseline);
        cairo_show_text(cr, line.c_str());
        baseline += layout.lineHeight;
    }
    // A border of whole device pixels, on the pixel grid.
    const double border = std::max(1.0, std::round(layout.scale));
    const double shade = pressed ? 0.78 : 0.88;
    cairo_rectangle(cr, layout.buttonX + border / 2, layout.buttonY + border / 2, layout.buttonWidth - border,
                    layout.buttonHeight - border);
    cairo_set_source_rgb(cr, shade, shade, shade);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.45, 0.45, 0.45);
    cairo_set_line_width(cr, border);
    cairo_stroke(cr);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, "OK", &extents);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_move_to(cr, std::round(layout.buttonX + (layout.buttonWidth - extents.x_advance) / 2),
                  std::round(layout.buttonY + (layout.buttonHeight + layout.fontSize) / 2 - 2 * layout.scale));
    cairo_show_text(cr, "OK");
    cairo_destroy(cr);
    cairo_surface_flush(surface);
}

}  // namespace x11
