// The rules of the Mode submenu's conversions: whether a conversion dithers
// (or asks), and the quantiser's settings for the indexed targets.
#pragma once

#include <cstdint>

enum class DitherDecision {
    Off,
    On,
    Ask, // "Use Dithering?"
};

// command: one of the Mode submenu's ids (not monochrome); bitsPerChannel of
// the current image; preference: 0 off, 1 on, 2 ask.
DitherDecision DecideDither(uint32_t command, uint32_t bitsPerChannel, uint8_t preference);

// The monochrome preference's dither kind, or -1 when the dialog decides.
int MonochromeDitherKind(uint8_t preference);
// The last choice kept in the monochrome preference (its low four bits), 0
// for a value no choice gives.
int LastMonochromeDither(uint8_t preference);

// Index bits (1, 2, 4, 8) of an indexed target, 0 for the other commands.
uint32_t IndexedTargetBits(uint32_t command);
// The colour histogram's bits per channel for a quantisation to indexBits.
int32_t QuantizerHistogramBits(uint32_t indexBits);
