// Repeating a recorded action on the current image. The library's
// operations are called here directly; the mode change, Write Text and the
// paths the viewer records are reached through ActionHost, which the viewer
// provides.
#pragma once

#include <cstdint>
#include <string>

#include "imglib/handle.h"
#include "imglib/image.h"
#include "imglib/ops/write_text.h"
#include "viewer/actions/action_blocks.h"
#include "viewer/actions/action_list.h"
#include "viewer/logic/projection_size.h"

class ActionHost {
public:
    virtual ~ActionHost() = default;
    // Converts without asking and without recording a Mode action.
    virtual bool ChangeMode(const ModeBlock& mode) = 0;
    virtual bool WriteText(const WriteTextBlock& params, const char16_t* text) = 0;
    // The path ImgLib opens for a path as the viewer recorded it; empty when
    // there is none.
    virtual std::u16string LibraryPath(const std::u16string& recorded) = 0;
};

// True exactly when the operation succeeded; false without touching the
// image for an image without pixels, an empty, unknown or block-less action
// and a block whose fields are out of range.
bool ApplyAction(const Action& action, ILHandle* h, ILImage* image, ActionHost& host);

// The library's parameters for a Write Text block (the byte the dialog
// keeps at offset 94 is the alpha choice); the text pointer stays null.
WriteTextParams WriteTextParamsOf(const WriteTextBlock& b);
// Writes a recorded text into the image, as the viewer's host does for a
// Write Text action; false for a missing or empty text and when the library
// answers anything but 1.
bool ApplyWriteText(const WriteTextBlock& b, const char16_t* text, ILHandle* h, ILImage* image);

// The rectangle a Crop block keeps of a width x height image: margins that
// would leave no pixel give way, the right (bottom) one first, until one
// column (row) remains. False when the rectangle does not fit 32 bits.
struct CropRect {
    int32_t x, y, width, height;
};
bool CropRectOf(const MarginsBlock& m, uint32_t width, uint32_t height, CropRect* rect);
// The grown canvas of an Expand block; false when it does not fit.
bool ExpandRectOf(const MarginsBlock& m, uint32_t width, uint32_t height, CropRect* rect);
