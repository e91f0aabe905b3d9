// The message box's face: where its text and OK button go and how they are
// drawn, at the desktop's scale. Everything here is in device pixels.
#pragma once

#include <cairo.h>

#include <string>
#include <vector>

namespace x11 {

struct MessageBoxLayout {
    double scale = 1;
    double fontSize = 0;
    double lineHeight = 0;
    int margin = 0;
    int width = 0, height = 0;  // the window
    int buttonX = 0, buttonY = 0, buttonWidth = 0, buttonHeight = 0;

    bool inButton(int x, int y) const {
        return x >= buttonX && x < buttonX + buttonWidth && y >= buttonY && y < buttonY + buttonHeight;
    }
};

// The text's lines: split at line feeds, a carriage return before one
// dropped.
std::vector<std::string> messageLines(const std::string& text);

// Sized for `lines` at `scale` device pixels per window pixel: wide enough
// for the widest line within bounds, tall enough for all of them.
MessageBoxLayout layoutMessageBox(const std::vector<std::string>& lines, double scale);

// The whole box on `surface` (at least the layout's size), its button
// shown pressed or not.
void paintMessageBox(cairo_surface_t* surface, const MessageBoxLayout& layout, const std::vector<std::string>& lines,
                     bool pressed);

}  // namespace x11
