// The image record, aligned memory, the raw image file and raw pixel access
// (pixel-type codes are in pixel_type.h).
#pragma once

#include <cstdint>

#include "imglib/color.h"
#include "imglib/handle.h"
#include "imglib/pixel_type.h"

struct ILImage {
    uint8_t* data = nullptr;
    int64_t stride = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    ILPixelType type = 0;
    uint32_t channels = 0;
    uint32_t bits = 0;
    uint8_t ownsData = 0;
    ILColor background;
    ILPalette* palette = nullptr;

    void SetExtraChannelBits(uint32_t extraBits);
    void SetBackgroundBGR8(uint8_t b, uint8_t g, uint8_t r, int32_t index);
    void SetBackgroundBGR16(uint16_t b, uint16_t g, uint16_t r);
    // Number of palette entries a saver must write.
    uint32_t UsedPaletteSize() const;
};

// Memory: 16-byte aligned; ILAlloc reports "Out of memory" with the size.
void* ILAlloc(ILHandle* h, uint64_t bytes);
void ILFree(void* p);
// Row size padded to 32 bits; 0 when width x bits x channels does not fit
// below 2^32 - 31, so that such an image is refused rather than under-allocated.
uint32_t ILRowStride(uint32_t width, uint32_t bits, uint32_t channels);
uint64_t ILImageBufferSize(uint32_t width, uint32_t height, ILPixelType type);

void ILInitImage(ILImage* image);
ILResult ILCreateImage(ILImage* image, uint32_t width, uint32_t height, ILPixelType type,
                       void* buffer);
ILResult ILAllocImage(ILImage* image, uint32_t width, uint32_t height, ILPixelType type,
                      void* buffer);
ILResult ILReallocImage(ILImage* image, uint32_t width, uint32_t height, ILPixelType type,
                        void* buffer);
void ILClearImage(ILImage* image);
void ILFreeImage(ILImage* image);
void ILMoveImage(ILImage* target, ILImage* source, bool zeroSource, bool keepTargetPalette);
ILResult ILAssignImage(ILImage* target, const ILImage* source);
void ILAliasImage(ILImage* target, const ILImage* source);
ILResult ILViewImageRect(ILImage* target, const ILImage* source, int32_t x, int32_t y, int32_t w,
                         int32_t h);
ILResult ILImageFromBuffer(ILHandle* h, ILImage* image, bool bottomUp);
bool ILIsValidImage(const ILImage* image);

// The raw image file (the viewer's undo snapshot).
bool ILSaveRawImage(const ILImage* image, const char16_t* path);
bool ILLoadRawImage(ILImage* image, const char16_t* path);

// Raw pixel access, chosen once per image by its bits per pixel. Values are
// passed in buffers of at least 16 bytes; no bounds checks.
using ILGetPixelProc = void (*)(const ILImage* image, int32_t x, int32_t y, void* value);
using ILSetPixelProc = void (*)(ILImage* image, int32_t x, int32_t y, const void* value);

bool ILGetPixelAccessors(const ILImage* image, ILSetPixelProc* set, ILGetPixelProc* get);
void ILGetPixel1(const ILImage* image, int32_t x, int32_t y, void* value);
void ILSetPixel1(ILImage* image, int32_t x, int32_t y, const void* value);
void ILGetPixel2(const ILImage* image, int32_t x, int32_t y, void* value);
void ILSetPixel2(ILImage* image, int32_t x, int32_t y, const void* value);
void ILGetPixel4(const ILImage* image, int32_t x, int32_t y, void* value);
void ILSetPixel4(ILImage* image, int32_t x, int32_t y, const void* value);
void ILGetPixel8(const ILImage* image, int32_t x, int32_t y, void* value);
void ILSetPixel8(ILImage* image, int32_t x, int32_t y, const void* value);
void ILGetPixel16(const ILImage* image, int32_t x, int32_t y, void* value);
void ILSetPixel16(ILImage* image, int32_t x, int32_t y, const void* value);
void ILGetPixel24(const ILImage* image, int32_t x, int32_t y, void* value);
void ILSetPixel24(ILImage* image, int32_t x, int32_t y, const void* value);
void ILGetPixel32(const ILImage* image, int32_t x, int32_t y, void* value);
void ILSetPixel32(ILImage* image, int32_t x, int32_t y, const void* value);
void ILGetPixel48(const ILImage* image, int32_t x, int32_t y, void* value);
void ILSetPixel48(ILImage* image, int32_t x, int32_t y, const void* value);
void ILGetPixel64(const ILImage* image, int32_t x, int32_t y, void* value);
void ILSetPixel64(ILImage* image, int32_t x, int32_t y, const void* value);
void ILGetPixel96(const ILImage* image, int32_t x, int32_t y, void* value);
void ILSetPixel96(ILImage* image, int32_t x, int32_t y, const void* value);
void ILGetPixel128(const ILImage* image, int32_t x, int32_t y, void* value);
void ILSetPixel128(ILImage* image, int32_t x, int32_t y, const void* value);
bool ILTestBit(const uint8_t* bytes, uint32_t n);
ILResult ILFillImagePixel(ILImage* image, const void* value);
ILResult ILFillImage(ILImage* image, const ILColor& color);
