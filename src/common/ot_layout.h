// The glass strip's place in the main window's client area. The strip is
// the window's only opaque, draggable part; the progress bar runs along its
// last rows. The hit test, the blur, the progress timer and the painting all
// take their coordinates from here.
#pragma once

namespace OstStrip {

constexpr int kLeft = 20;
constexpr int kTop = 100;
constexpr int kRight = 520;
constexpr int kBottom = 130;

// The rows the progress timer repaints.
constexpr int kProgressTop = 126;

// The bar itself starts a pixel inside the strip and is as wide as the strip.
constexpr int kBarLeft = kLeft + 1;
constexpr int kBarWidth = kRight - kLeft;
constexpr int kBarHeight = kBottom - kProgressTop;

}  // namespace OstStrip
