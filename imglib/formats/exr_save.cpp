// OpenEXR writing through the RGBA interface of OpenEXR 3.1: scan-line files
// of half samples, Y or Y + A for grey images, R, G, B (+ A, premultiplied)
// for the others, with the handle's compression; texts and the creator as
// string attributes, the horizontal resolution as "xDensity".
// Not written: tiles, chromaticities, other channel sets.
#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include <Imath/half.h>
#include <OpenEXR/ImfFloatAttribute.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfRgbaFile.h>
#include <OpenEXR/ImfStringAttribute.h>

#include "imglib/convert/converter_owner.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/formats/exr.h"
#include "imglib/pixel_type.h"
#include "imglib/io/path.h"
#include "imglib/io/stream.h"
#include "imglib/memory_owner.h"
#include "imglib/metadata/info.h"

namespace {

Imf::Compression CompressionOf(uint32_t option) {
    switch (option) {
        case 1:
            return Imf::RLE_COMPRESSION;
        case 2:
            return Imf::ZIPS_COMPRESSION;
        case 3:
            return Imf::ZIP_COMPRESSION;
        case 4:
            return Imf::PIZ_COMPRESSION;
        case 5:
            return Imf::PXR24_COMPRESSION;
        default:
            return Imf::NO_COMPRESSION;
    }
}

void SetTextAttribute(Imf::Header* header, const char* name, const char* text) {
    if (text) header->insert(name, Imf::StringAttribute(text));
}

half ClampedAlpha(half a) {
    return half(std::clamp(static_cast<float>(a), 0.0f, 1.0f));
}

// The half samples of the converted row into the RGBA interface's pixels.
void UnpackRow(const half* in, uint32_t width, bool grey, bool alpha, Imf::Rgba* out) {
    for (uint32_t x = 0; x < width; ++x, ++out) {
        if (grey) {
            out->r = out->g = out->b = *in++;
        } else {
            out->b = *in++;
            out->g = *in++;
            out->r = *in++;
        }
        out->a = alpha ? ClampedAlpha(*in++) : half(0.0f);
    }
}

ILResult Save(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info) {
    FILE* created = nullptr;
    const ILResult opened = ILOpenWrite(h, path, &created);
    if (opened != IL_OK) return opened;
    std::fclose(created);
    const std::optional<std::string> name = ILPathToUtf8(path);
    if (!name) return ILReportOpenFailed(h, false);

    const bool grey = ILPixelModel(image->type) == IL_MODEL_GRAY;
    const bool alpha = ILHasAlpha(image->type);
    const Imf::RgbaChannels mask =
        grey ? (alpha ? Imf::WRITE_YA : Imf::WRITE_Y) : (alpha ? Imf::WRITE_RGBA : Imf::WRITE_RGB);
    const ILPixelType rowType =
        grey ? (alpha ? IL_GREY_PA_HALF : IL_GREY_HALF) : (alpha ? IL_BGRPA_HALF : IL_BGR_HALF);
    const uint32_t width = image->width, height = image->height;

    Imf::Header header(static_cast<int>(width), static_cast<int>(height), 1.0f, Imath::V2f(0, 0),
                       1.0f, Imf::INCREASING_Y, CompressionOf(h->exrCompression));
    if (info) {
        if (info->ppiX) header.insert("xDensity", Imf::FloatAttribute(float(info->ppiX)));
        if (ILShouldWriteTexts(h, info))
            for (const ILExrTextAttribute& a : kExrTextAttributes)
                if (a.key != IL_TEXT_SOFTWARE)
                    SetTextAttribute(&header, a.name, ILFindText(&info->texts, a.key));
        SetTextAttribute(&header, "software", h->creator);
    }

    ILConverterOwner converter;
    ILConverterSetImageTarget(&converter.c, image, rowType);
    if (!ILConverterPrepare(&converter.c)) return ILReportInternalError(h);
    const uint32_t samples = (grey ? 1 : 3) + (alpha ? 1 : 0);
    ILBuffer<half> row(static_cast<half*>(ILAlloc(h, uint64_t{width} * samples * sizeof(half))));
    ILBuffer<Imf::Rgba> band(
        static_cast<Imf::Rgba*>(ILAlloc(h, uint64_t{width} * kExrBandRows * sizeof(Imf::Rgba))));
    if (!row || !band) return IL_OUT_OF_MEMORY;

    try {
        Imf::RgbaOutputFile file(name->c_str(), header, mask, 0);
        for (uint32_t y = 0; y < height; y += kExrBandRows) {
            const uint32_t rows = std::min<uint32_t>(kExrBandRows, height - y);
            for (uint32_t i = 0; i < rows; ++i) {
                converter.c.rowKernel(&converter.c, image->data + int64_t{y + i} * image->stride,
                                      row.get());
                UnpackRow(row.get(), width, grey, alpha, band.get() + uint64_t{i} * width);
            }
            file.setFrameBuffer(band.get() - int64_t{y} * width, 1, width);
            file.writePixels(static_cast<int>(rows));
        }
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        ILError(h, e.what());
        return IL_FAILED;
    }
    return IL_OK;
}

} // namespace

ILResult ILSaveEXR(ILHandle* h, const char16_t* path, const ILImage* image, const ILInfo* info) {
    return ILGuardSave(h, kExrModule, [&] {
        ILUseOpenEXR();
        return Save(h, path, image, info);
    });
}
