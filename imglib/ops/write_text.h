// Write Text: a block of text drawn into an image through the drawing
// surface, blended in linear light, with an optional glow or shadow.
#pragma once

#include <cstdint>

#include "imglib/color.h"
#include "imglib/handle.h"
#include "imglib/image.h"
#include "imglib/surface.h"

// The record the viewer stores byte for byte in its Write Text actions
// (112 bytes there; the text pointer is not read by ILWriteText).
struct WriteTextParams {
    ILLogFont font;
    ILColor color;       // linear light; alpha scales the text and the effect
    int32_t lineAlign;   // IL_DT_LEFT, IL_DT_CENTER or IL_DT_RIGHT, may add IL_DT_RTLREADING
    int32_t offsetX;     // pixels to the right
    int32_t offsetY;     // pixels upwards
    uint8_t anchor;      // 0..8: top-left, top-centre, ... bottom-right
    uint8_t orientation; // 0 upright, 1 turned 90 degrees clockwise, 2 180, 3 counter-clockwise
    uint8_t alphaWrite;  // 0 alpha unchanged, 1 alpha = coverage, 2 alpha = text opacity
    uint8_t reserved1;
    float effect;            // 0 none, > 0 glow, < 0 shadow, scaled by its size
    uint8_t blur;            // radius of the effect's blur, 0 none
    int8_t effectX, effectY; // effect offset right and up, before turning
    uint8_t reserved2;
    const char16_t* text;
};

// 1 also when nothing of the text falls inside the image; -2 for an anchor
// above 8, an orientation above 3, or an effect or colour that is not a
// finite number; -4 for fewer than 8 bits per sample;
// 0 when the text cannot be measured or the type not converted to float
// and back; -100 when a surface, the float row or the blur fails.
ILResult ILWriteText(ILHandle* h, ILImage* image, const WriteTextParams* params,
                     const char16_t* text);
