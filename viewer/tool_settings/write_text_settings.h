// The settings of the Write Text dialog: the settings record and the action
// block, the preview window cut from the image at the anchor, the effect
// field, alignment with its reading-order bit, Reset, and the text buffer's
// size.
#pragma once

#include <cstddef>
#include <cstdint>

#include "viewer/actions/action_blocks.h"
#include "viewer/logic/preferences.h"

// The record the preferences keep and the block an action records carry
// the same fields.
WriteTextSettings WriteTextSettingsOf(const WriteTextBlock& block);
WriteTextBlock WriteTextBlockOf(const WriteTextSettings& settings);
// A stored block as the controls take it: clamped as the preferences are
// (ClampWriteText), the effect quantised to its field's steps of 1/20.
WriteTextSettings WriteTextFromStored(const WriteTextBlock& stored);

// The effect field: effect x 20 truncated, -20 ... 20; its label.
int32_t WriteTextEffectField(float effect);
inline float WriteTextEffectFromField(int32_t field) {
    return static_cast<float>(field) / 20.0f;
}
const char* WriteTextEffectLabel(int32_t field);

// A line alignment radio button (0 left, 1 center, 2 right) keeps the
// right-to-left bit; the text field's reading order sets or clears it.
int32_t WriteTextAlignment(int32_t alignment, int32_t line);
int32_t WriteTextReadingOrder(int32_t alignment, bool rightToLeft);
// Reset: anchor, orientation, offsets and effect to 0; the alignment keeps
// only its right-to-left bit; font and colour stay.
void WriteTextReset(WriteTextSettings* settings);

// The preview: a window of at most 400 x 340 image pixels, centred in the
// frame right of the controls, cut from the image at the anchor's corner,
// edge or centre.
struct WriteTextWindow {
    int32_t width = 1, height = 1; // image pixels shown
    int32_t x = 0, y = 0;          // client position
};
WriteTextWindow WriteTextPreviewWindow(uint32_t imageWidth, uint32_t imageHeight);
struct ImagePoint {
    int32_t x = 0, y = 0;
};
// The image pixel at the window's top-left corner for an anchor 0 ... 8
// (row x 3 + column); the offsets do not move the window.
ImagePoint WriteTextWindowSource(int32_t anchor, uint32_t imageWidth, uint32_t imageHeight,
                                 const WriteTextWindow& window);

// Blocks of 1024 UTF-16 units that hold a text of `length` units and its
// terminator.
inline int32_t WriteTextCapacityBlocks(size_t length) {
    return static_cast<int32_t>(length / 1024 + 1);
}
