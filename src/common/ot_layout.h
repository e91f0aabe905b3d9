// Where everything sits in the main window's client area: the panel image,
// the glass strip (the window's only opaque, draggable part) with the
// progress bar along its last rows, the seven buttons and the point the
// volume menu hangs from. The hit test, the blur, the progress timer, the
// skin, the buttons and the painting all take their coordinates from here.
#pragma once

namespace OstLayout {

// A rectangle as left, top, width and height.
struct Box {
    int x;
    int y;
    int width;
    int height;

    constexpr int right() const { return x + width; }
    constexpr int bottom() const { return y + height; }
};

// The panel image, the strip with its glow around it, copied once into the
// static layer.
constexpr Box kPanel = {10, 90, 520, 50};

// The strip itself.
constexpr int kStripLeft = 20;
constexpr int kStripTop = 100;
constexpr int kStripRight = 520;
constexpr int kStripBottom = 130;

// The rows the progress timer repaints.
constexpr int kProgressTop = 126;

// The bar starts a pixel inside the strip and is as wide as the strip; the
// track under it, painted into the panel, covers the same rows.
constexpr int kBarLeft = kStripLeft + 1;
constexpr int kBarWidth = kStripRight - kStripLeft;
constexpr int kBarHeight = kStripBottom - kProgressTop;

// The buttons. The transport row and the volume button fill the strip's
// height; close and minimize are small glyphs in its right corner.
constexpr Box kCloseButton = {505, 105, 7, 7};
constexpr Box kMinimizeButton = {493, 105, 7, 7};
constexpr Box kPrevButton = {130, kStripTop, 55, 30};
constexpr Box kStopButton = {185, kStripTop, 55, 30};
constexpr Box kPlayButton = {240, kStripTop, 55, 30};
constexpr Box kNextButton = {295, kStripTop, 55, 30};
constexpr Box kVolumeButton = {350, kStripTop, 55, 30};

// The volume button's bottom-left corner: the menu hangs below the button,
// over its lower half.
constexpr int kVolumeMenuX = kVolumeButton.x;
constexpr int kVolumeMenuY = kVolumeButton.bottom();

}  // namespace OstLayout
