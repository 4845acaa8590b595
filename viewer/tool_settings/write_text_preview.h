// The Write Text dialog's preview: a window of at most 400 x 340 pixels cut
// from the unedited image at the anchor's corner, edge or centre at full
// scale, converted to B,G,R 8-bit, with the text drawn on it. Its cost
// depends on the window alone, not on the image's size.
#pragma once

#include <cstdint>

#include "imglib/convert/converter_owner.h"
#include "imglib/memory_owner.h"
#include "imglib/ops/write_text.h"
#include "viewer/tool_settings/write_text_settings.h"

class WriteTextPreview {
public:
    // The window's geometry, its pixels and the row converter for the
    // image's type (its palette, alpha dropped); false when memory runs out
    // or the type does not convert.
    bool Init(const ILImage& image);
    // Moves the window to the anchor's place in the image (the offsets do
    // not move it).
    void Place(int32_t anchor);
    // Copies the window out of the image (the one Init was given) and draws
    // the text; the library's result. An empty text draws nothing.
    ILResult Render(ILHandle* h, const ILImage& image, const WriteTextParams& params,
                    const char16_t* text);

    const ILImage& Pixels() const { return window_.image; }
    const WriteTextWindow& Geometry() const { return geometry_; }
    ImagePoint Source() const { return source_; }

private:
    WriteTextWindow geometry_;
    ImagePoint source_;
    uint32_t imageWidth_ = 0, imageHeight_ = 0;
    ILImageOwner window_;
    ILConverterOwner converter_;
};
