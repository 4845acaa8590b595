// The pixel-type converter: a plain record set up once per conversion. The
// setters only record what they are given; ILConverterPrepare then selects
// one row kernel (with its transform and tables), called once per row.
#pragma once

#include <cstdint>
#include <lcms2.h>

#include "imglib/color.h"
#include "imglib/handle.h"
#include "imglib/image.h"

// (4x4 Bayer value + 0.5) / 16, indexed by 4 x (x mod 4) + (y mod 4): the
// dither the converter adds before truncating, also used by the operations
// that encode 8-bit samples.
extern const float ILOrderedDitherF[16];

struct ILConverter;

// Converts `width` pixels of one row.
using ILRowKernel = void (*)(ILConverter* c, const void* source, void* target);

struct ILConverter {
    uint64_t width;
    uint64_t rowBytes;
    uint32_t ditherRow;
    uint8_t backgroundBGR8[3];
    uint16_t backgroundBGR16[3];
    float backgroundBGRF[3];
    uint8_t backgroundGray8;
    uint16_t backgroundGray16;
    float backgroundGrayF;
    void* chainRow;
    const uint8_t* greyMap;
    int32_t* ycbcrCrR;
    int32_t* ycbcrCbB;
    int32_t* ycbcrCrG;
    int32_t* ycbcrCbG;
    int32_t* ycbcrY;
    uint32_t ownsYCbCr;
    uint8_t oneBitWhite;
    uint8_t needsPaletteTable;
    uint8_t needsPaletteMapper;
    uint8_t ownsPalette;
    uint8_t dither;
    uint8_t premultipliedSource;
    const int32_t* ditherMatrix;
    const float* ditherMatrixF;
    uint8_t alphaHandling;
    cmsHTRANSFORM transform;
    cmsHPROFILE sourceProfile;
    uint32_t sourceFormat;
    ILPalette* palette;
    void* paletteTable;
    ILPaletteMapper* paletteMapper;
    ILRowKernel rowKernel;
    ILRowKernel chainFirst;
    ILRowKernel chainSecond;
    ILPixelType sourceType;
    ILPixelType targetType;
    uint8_t needsSelection; // a setting changed: ILConverterPrepare selects the kernel
};

ILConverter* ILConverterInit(ILConverter* c);
void ILConverterClear(ILConverter* c);
void ILConverterInitModes(ILConverter* c, ILPixelType source, ILPixelType target, uint64_t width);
void ILConverterSetModes(ILConverter* c, ILPixelType source, ILPixelType target, uint64_t width);
void ILConverterSetImages(ILConverter* c, const ILImage* source, const ILImage* target);
void ILConverterSetImageTarget(ILConverter* c, const ILImage* source, ILPixelType target);
void ILConverterSetAlphaMode(ILConverter* c, uint8_t mode);
void ILConverterSetBackground(ILConverter* c, const ILColor& color);
void ILConverterSetProfile(ILConverter* c, cmsHPROFILE profile, uint32_t lcmsFormat);
void ILConverterSetDither(ILConverter* c, bool on);
void ILConverterSetYCbCr(ILConverter* c, const float luma[3], const float referenceBlackWhite[6]);
void ILConverterSetPalette(ILConverter* c, ILPalette* palette);
ILPalette* ILConverterNewPalette(ILConverter* c, uint32_t count);
void ILConverterGivePalette(ILConverter* c, ILImage* target);
bool ILConverterHasPalette(const ILConverter* c);
bool ILConverterIsPlainCopy(const ILConverter* c);
void ILConverterSelectKernel(ILConverter* c);
bool ILConverterAllocPaletteTable(ILConverter* c, uint32_t bytesPerEntry);
bool ILConverterPrepare(ILConverter* c);
bool ILConverterConvertImage(ILConverter* c, ILHandle* h, const ILImage* source, ILImage* target);
void ILConverterFree(ILConverter* c);

void ILConverterCopyRow(ILConverter* c, const void* source, void* target);
void ILConverterTransformRow(ILConverter* c, const void* source, void* target);
void ILConverterChainRow(ILConverter* c, const void* source, void* target);

ILPixelType ILGetLoadPixelType(const ILHandle* h, ILPixelType fileType, bool keepPremultiplied);
uint32_t ILPixelTypeToLcmsFormat(ILPixelType type);

// Arithmetic shared by the row kernels.
uint32_t ILUnpremultiply16(uint32_t v, uint32_t a);
uint32_t ILPremultiply16(uint32_t v, uint32_t a);
uint32_t ILUnpremultiply8(uint32_t v, uint32_t a);
uint32_t ILPremultiply8(uint32_t v, uint32_t a);
uint8_t ILUnpremultiply8F(float v, float a);
float ILLuminance(float r, float g, float b);
uint16_t ILGray16FromRGB16(uint16_t r, uint16_t g, uint16_t b);
uint8_t ILGray8FromRGB16(uint16_t r, uint16_t g, uint16_t b);
uint16_t ILGray16FromRGB8(uint8_t r, uint8_t g, uint8_t b);
uint8_t ILGray8FromRGB8(uint8_t r, uint8_t g, uint8_t b);
float ILGray16FFromLinear(float r, float g, float b);
float ILGray8FFromLinear(float r, float g, float b);
double ILSrgb32ToLinear(uint32_t v);
float ILFloat24ToFloat(uint32_t v);
void ILConverterCompositeBGR8(const ILConverter* c, uint8_t* out, uint8_t b, uint8_t g, uint8_t r,
                              uint8_t alpha);

// Readers of deep samples shared by the kernel families: signed fixed point
// (value / 8191 and value / 16777215) and packed 12-bit rows (two samples in
// three bytes, big-endian bit order; the reader advances *cursor).
float ILFixed16ToFloat(uint16_t v);
float ILFixed32ToFloat(uint32_t v);
uint16_t ILRead12To16(bool highPhase, const uint8_t** cursor);
uint8_t ILRead12To8(bool highPhase, const uint8_t** cursor);
// Inverted inks (1 - ink, 0..1) to linear red, green and blue.
void ILCmykToLinearRgb(float c, float m, float y, float k, float* red, float* green, float* blue);
