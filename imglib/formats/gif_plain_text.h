// Drawing the text of a GIF plain-text extension into its frame.
#pragma once

#include <cstddef>
#include <cstdint>

// The frame of a plain-text extension: its index bytes (width x height)
// and the extension's cell size and foreground index.
struct ILGifTextFrame {
    uint8_t* pixels;
    uint32_t width, height;
    uint8_t cellWidth, cellHeight, foreground;
};

// Where the next character goes; carried from one text sub-block to the
// next of the same extension.
struct ILGifTextCursor {
    int64_t column = 0, row = 0;
};

// Draws the characters cell by cell, wrapping to the next cell row at the
// frame's right edge and stopping (the cursor left as it was) at its bottom.
void ILGifDrawPlainText(const ILGifTextFrame& frame, ILGifTextCursor* cursor, const uint8_t* text,
                        size_t length);
