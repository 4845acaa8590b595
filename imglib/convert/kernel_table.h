// Kernels as data: each family of row kernels publishes a table of the pairs
// it converts; the selection (select.cpp) looks a pair up once per
// preparation. Which pairs the plain route converts at all is the selection's
// pair list; the family tables say which kernel serves a pair, how a pair is
// composited (IL_KV_COMPOSITE entries) and which 8-bit R, G, B targets need
// the B, G, R kernel and a swap (those without an entry of their own).
//
// How to fill a family table (for the authors of rows_*.cpp):
// - One entry per (source, target, variant) that one of your kernels serves,
//   with the exact types your tables name (every type on one side with every
//   type on the other). Listing more pairs than the pair list admits is
//   harmless.
// - variant: IL_KV_ANY unless the kernel exists only for compositing (alpha
//   handling 2), for one polarity of a 1-bit grey source, for the grey map or
//   for the colour-managed route (see the enum).
// - The selection builds these itself; do not list them: copies of a type to
//   itself, the palette mapper flags, the swap chains into IL_RGB8 (for a
//   source with no IL_RGB8 entry it looks up your IL_BGR8 kernel and the
//   IL_BGR8 -> IL_RGB8 exchange), and the two-stage straight/premultiplied
//   chains (it looks up your kernel for the pair with the source's alpha
//   form, then the alpha-form kernel).
// - A pair whose extra bits differ but whose kernel keeps the alpha form
//   (IL_GREY_A16 -> IL_GREY_A_FLOAT also serving IL_GREY_A16 ->
//   IL_GREY_PA_FLOAT) may be listed under either pair: the selection tries
//   the exact pair first, then the pair with the target's extra bits replaced
//   by the source's.
// - Indexed sources: the entry carries the palette-table builder. When the
//   lookup kernel and the builder live in different families (half and BGRA
//   float tables), each family lists the pair with its own half and null for
//   the other; the selection merges kernel and builder of equal keys.
// - IL_KV_TRANSFORM entries are keyed by straight-alpha, B, G, R types with
//   YCbCr and Lab counted as RGB: 24-bit float sources list
//   (IL_GREY_A_FLOAT24, IL_GREY_A_FLOAT), (IL_BGRA_FLOAT24, IL_BGRA_FLOAT) and
//   (IL_CMYK_A_FLOAT24, IL_BGRA_FLOAT).
// - Straight <-> premultiplied kernels are listed under their exact pairs:
//   float ones (IL_BGRA_FLOAT <-> IL_BGRPA_FLOAT, IL_GREY_A_FLOAT <->
//   IL_GREY_PA_FLOAT) by the float-target family, 8-bit, 16-bit and half ones
//   by ILKernelsAlphaForm, which also serves grey with alpha 8 into 1-, 2- and
//   4-bit grey.
#pragma once

#include <cstdint>
#include <span>

#include "imglib/convert/converter.h"

// Which converter settings an entry is for.
enum ILKernelVariant : uint8_t {
    IL_KV_ANY = 0, // every alpha handling and polarity
    // Alpha handling 2: composite onto the background. The selection
    // composites every pair with an entry (8-bit R, G, B targets through the
    // B, G, R entry and a swap) whose source has alpha: a filler byte is no
    // coverage, and laying it over the background would lose the picture.
    IL_KV_COMPOSITE = 1,
    IL_KV_ONE_BIT_WHITE = 2, // 1-bit grey source, a set bit is white
    IL_KV_ONE_BIT_BLACK = 3, // 1-bit grey source, a set bit is black
    IL_KV_GREY_MAP = 4,      // grey 8 source through the converter's greyMap
    IL_KV_TRANSFORM = 5,     // lcms2 transform over the row, alpha carried over
};

// Builds the converter's palette table for an indexed source (allocates it
// through ILConverterAllocPaletteTable); false when no table could be made.
using ILPaletteTableBuilder = bool (*)(ILConverter* c);

struct ILKernelEntry {
    ILPixelType source;
    ILPixelType target;
    ILKernelVariant variant;
    ILRowKernel kernel;
    ILPaletteTableBuilder paletteBuilder; // null unless the kernel reads paletteTable
};

// The families' tables.
std::span<const ILKernelEntry> ILKernels8Bit();    // 8-bit, 1-bit, packed, YCbCr, CMYK sources
std::span<const ILKernelEntry> ILKernelsIndexed(); // indexed sources and targets
std::span<const ILKernelEntry> ILKernelsFloatTarget();
std::span<const ILKernelEntry> ILKernelsWideSource(); // 16-bit, half, float and RGBE sources
std::span<const ILKernelEntry> ILKernelsHalfFloatTarget();
std::span<const ILKernelEntry> ILKernelsAlphaForm(); // compositing, (un)premultiplying, alpha carry
