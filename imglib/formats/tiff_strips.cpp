// The strip reader: decodes each strip (all planes of it for separate
// planes), undoes the predictor, and hands every row to the converter.
#include <algorithm>
#include <cstring>

#include "imglib/formats/tiff.h"
#include "imglib/memory_owner.h"

ILResult ILTiffReadStrips(const ILTiffSource& src, ILConverter* c, ILImage* image) {
    TIFF* tif = src.tif;
    const uint64_t stripSize = TIFFStripSize64(tif);
    const uint32_t perPlane = TIFFNumberOfStrips(tif) / src.planes;
    uint32_t rowsPerStrip = src.height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<uint32_t>(rowsPerStrip, 1, src.height);
    const uint32_t v = src.subsampling ? src.subsampling & 15 : 1;
    const uint64_t rowBytes = src.subsampling ? ILTiffYCbCrUnitRowBytes(src.width, src.subsampling)
                                              : TIFFScanlineSize64(tif);
    if (stripSize == 0 || rowBytes == 0 || perPlane == 0) {
        ILError(src.h, "Invalid strip layout");
        return IL_FAILED;
    }

    ILBuffer<uint8_t> buffer(static_cast<uint8_t*>(ILAlloc(src.h, src.planes * stripSize)));
    if (!buffer) return IL_FAILED;
    // Unpacked YCbCr or interleaved planes; 8 bytes spare for the packers.
    ILBuffer<uint8_t> row;
    // Samples beyond those the converter takes are left out of each row.
    const bool dropping = src.keptSamples < src.samplesPerPixel;
    if (src.subsampling || src.planes > 1 || dropping) {
        const uint64_t bytes = src.subsampling ? uint64_t{src.width} * 3 : rowBytes * src.planes;
        row.reset(static_cast<uint8_t*>(ILAlloc(src.h, bytes + 8)));
        if (!row) return IL_FAILED;
    }
    uint16_t positioning = YCBCRPOSITION_CENTERED;
    if (src.subsampling) TIFFGetFieldDefaulted(tif, TIFFTAG_YCBCRPOSITIONING, &positioning);

    // Planes of samples the rows leave out are never read: one that holds
    // no data must not stop the load.
    const uint32_t usedPlanes = src.planes > 1 ? src.keptSamples : 1;
    bool missing = false, anyData = false;
    uint32_t y = 0;
    for (uint32_t s = 0; s < perPlane && y < src.height; ++s) {
        const uint32_t rows = std::min(rowsPerStrip, src.height - y);
        const uint64_t expected = (rows + v - 1) / v * rowBytes;
        for (uint32_t p = 0; p < usedPlanes; ++p)
            if (!ILTiffReadChunk(src, false, s + p * perPlane, p, buffer.get() + p * stripSize,
                                 stripSize, std::min(expected, stripSize), &anyData))
                missing = true;
        for (uint32_t k = 0; k < rows; ++k, ++y) {
            const uint8_t* from = buffer.get() + k * rowBytes;
            if (src.subsampling) {
                ILTiffUnpackYCbCr(k, buffer.get(), row.get(), src.width, src.subsampling,
                                  positioning);
                from = row.get();
            } else if (src.planes > 1) {
                ILTiffInterleavePlanes(row.get(), buffer.get(), k * rowBytes, src.width,
                                       src.keptSamples, stripSize, src.bitsPerSample);
                from = row.get();
            } else if (dropping) {
                ILTiffKeepSamples(row.get(), from, src.width, src.samplesPerPixel, src.keptSamples,
                                  src.bitsPerSample / 8);
                from = row.get();
            }
            c->rowKernel(c, from, image->data + int64_t{y} * image->stride);
        }
    }
    if (y < src.height) {
        ILErrorF(src.h, "The strips end after %u of %u rows", y, src.height);
        std::memset(image->data + int64_t{y} * image->stride, 0,
                    static_cast<size_t>(image->stride) * (src.height - y));
        missing = true;
    }
    if (!missing) return IL_OK;
    return anyData ? IL_PARTIAL : IL_FAILED;
}
