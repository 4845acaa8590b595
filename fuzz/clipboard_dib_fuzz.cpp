// A bitmap pasted from the clipboard: whatever the reader accepts is turned
// into an image the way the viewer does, so that every offset it gave is
// read.
#include <cstddef>
#include <cstdint>
#include <span>

#include "imglib/handle.h"
#include "imglib/image.h"
#include "viewer/logic/clipboard_dib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ClipboardDib dib;
    if (ParseClipboardDib(std::span<const uint8_t>(data, size), dib) != DibProblem::None) return 0;
    volatile uint8_t sink = 0;
    for (uint32_t i = 0; i < dib.paletteLength * 4; ++i)
        sink = sink + data[dib.paletteOffset + i];
    ILHandle* h = ILCreateHandle("fuzz");
    ILImage image;
    auto* rows = const_cast<uint8_t*>(data + dib.pixelOffset);
    if (h && ILReallocImage(&image, dib.width, dib.height, dib.type, rows) == IL_OK &&
        image.stride == dib.stride) {
        if (dib.paletteLength) image.palette = new ILPalette(1u << dib.bitCount);
        ILImageFromBuffer(h, &image, dib.bottomUp);
    }
    ILClearImage(&image);
    if (h) ILDestroyHandle(h);
    return 0;
}
