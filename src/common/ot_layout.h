// Where everything sits in the main window's client area: the panel image,
// the glass strip (the window's only opaque, draggable part) with the
// progress bar along its last rows, the seven buttons and the point the
// volume menu hangs from; the hint bubble over it, the menu window and the
// glow colour they share. The hit test, the blur, the progress timer, the
// skin, the buttons, the menus and the painting all take their coordinates
// from here.
#pragma once

#include <cstdint>

namespace OstLayout {

// A rectangle as left, top, width and height.
struct Box {
    int x;
    int y;
    int width;
    int height;

    constexpr int right() const { return x + width; }
    constexpr int bottom() const { return y + height; }
    // Rounded down, as the hint takes it.
    constexpr int centerX() const { return (x + right()) >> 1; }
};

// The glow around the strip, the glyphs, the bubble and the menu frame, and
// the progress bar's colour: 0xAARRGGBB.
constexpr std::uint32_t kGlowColor = 0xFFCCFF99;

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
// height, side by side; close and minimize are small glyphs in its right
// corner. The skin paints each button's image at its box's size.
constexpr int kButtonWidth = 55;
constexpr int kButtonHeight = kStripBottom - kStripTop;
constexpr int kGlyphSize = 7;
constexpr Box kCloseButton = {505, 105, kGlyphSize, kGlyphSize};
constexpr Box kMinimizeButton = {493, 105, kGlyphSize, kGlyphSize};
constexpr Box kPrevButton = {130, kStripTop, kButtonWidth, kButtonHeight};
constexpr Box kStopButton = {185, kStripTop, kButtonWidth, kButtonHeight};
constexpr Box kPlayButton = {240, kStripTop, kButtonWidth, kButtonHeight};
constexpr Box kNextButton = {295, kStripTop, kButtonWidth, kButtonHeight};
constexpr Box kVolumeButton = {350, kStripTop, kButtonWidth, kButtonHeight};
static_assert(kButtonHeight == 30);
static_assert(kStopButton.x == kPrevButton.right() && kPlayButton.x == kStopButton.right() &&
                  kNextButton.x == kPlayButton.right() && kVolumeButton.x == kNextButton.right(),
              "the transport row and volume are unbroken");
static_assert(kMinimizeButton.right() <= kCloseButton.x && kCloseButton.right() < kStripRight &&
                  kCloseButton.y >= kStripTop && kCloseButton.bottom() <= kProgressTop,
              "the window glyphs sit in the strip's corner, above the bar");

// The volume button's bottom-left corner: the menu hangs below the button,
// over its lower half.
constexpr int kVolumeMenuX = kVolumeButton.x;
constexpr int kVolumeMenuY = kVolumeButton.bottom();

// The hint bubble over play and stop: an image drawn with its top at
// kBubbleTop and its tip, column kBubbleTipX of the image, over the hinted
// button's centre.
constexpr int kBubbleWidth = 235;
constexpr int kBubbleHeight = 80;
constexpr int kBubbleTop = 20;
constexpr int kBubbleTipX = kBubbleWidth / 2;
static_assert(kBubbleTipX == 117);
static_assert(kPlayButton.centerX() == 267 && kStopButton.centerX() == 212);
static_assert(kStopButton.centerX() - kBubbleTipX >= 0 && kPlayButton.centerX() + kBubbleTipX < kPanel.right(),
              "the bubble stays inside the window over either button");
static_assert(kBubbleTop + kBubbleHeight == kStripTop, "the bubble ends where the strip begins");

// The menu window: as wide as the frame image. The blur behind it follows
// the frame's rounded body, from (kMenuBlurLeft, kMenuBlurTop) to
// kMenuBlurRight and kMenuBlurBelowItems past the menu's own height, with
// corners kMenuBlurCorner across.
constexpr int kMenuWidth = 180;
constexpr int kMenuBlurLeft = 10;
constexpr int kMenuBlurTop = 15;
constexpr int kMenuBlurRight = 171;
constexpr int kMenuBlurBelowItems = 9;
constexpr int kMenuBlurCorner = 5;
static_assert(kMenuBlurLeft < kMenuBlurRight && kMenuBlurRight < kMenuWidth, "the blur lies inside the menu window");

}  // namespace OstLayout
