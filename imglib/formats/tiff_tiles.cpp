// The tile reader: tiles left to right and top to bottom, each decoded (all
// planes of it for separate planes), the predictor undone, and its visible
// rows handed to the converter at the tile's place in the image.
//
//   x = 0        tileWidth     width
//   +------------+------------+----+ - - +
//   |  tile 0    |  tile 1    | t2 :     :  the right-hand tiles deliver
//   +------------+------------+----+ - - +  only their visible columns,
//   |  tile 3    |  tile 4    | t5 :     :  the bottom ones only their
//   +------------+------------+----+ - - +  visible rows
#include <algorithm>
#include <cstring>

#include "imglib/formats/tiff.h"
#include "imglib/memory_owner.h"

ILResult ILTiffReadTiles(const ILTiffSource& src, ILConverter* c, ILImage* image) {
    TIFF* tif = src.tif;
    uint32_t tileWidth = 0, tileLength = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileLength);
    const uint64_t tileSize = TIFFTileSize64(tif);
    const uint32_t v = src.subsampling ? src.subsampling & 15 : 1;
    const uint64_t rowBytes = src.subsampling ? ILTiffYCbCrUnitRowBytes(tileWidth, src.subsampling)
                                              : TIFFTileRowSize64(tif);
    // Tiles start on whole bytes of the image's rows.
    const uint64_t pixelBits = uint64_t{ILBitsPerSample(image->type)} * ILChannelCount(image->type);
    if (tileWidth == 0 || tileLength == 0 || tileSize == 0 || rowBytes == 0 ||
        pixelBits * tileWidth % 8 != 0 || (tileLength % v) != 0) {
        ILError(src.h, "Invalid tile layout");
        return IL_FAILED;
    }

    ILBuffer<uint8_t> buffer(static_cast<uint8_t*>(ILAlloc(src.h, src.planes * tileSize)));
    if (!buffer) return IL_FAILED;
    ILBuffer<uint8_t> row;
    // Samples beyond those the converter takes are left out of each row.
    const bool dropping = src.keptSamples < src.samplesPerPixel;
    if (src.subsampling || src.planes > 1 || dropping) {
        const uint64_t bytes = src.subsampling ? uint64_t{tileWidth} * 3 : rowBytes * src.planes;
        row.reset(static_cast<uint8_t*>(ILAlloc(src.h, bytes + 8)));
        if (!row) return IL_FAILED;
    }
    uint16_t positioning = YCBCRPOSITION_CENTERED;
    if (src.subsampling) TIFFGetFieldDefaulted(tif, TIFFTAG_YCBCRPOSITIONING, &positioning);

    // Planes of samples the rows leave out are never read: one that holds
    // no data must not stop the load.
    const uint32_t usedPlanes = src.planes > 1 ? src.keptSamples : 1;
    bool missing = false, anyData = false;
    for (uint32_t y = 0; y < src.height; y += tileLength) {
        const uint32_t rows = std::min(tileLength, src.height - y);
        for (uint32_t x = 0; x < src.width; x += tileWidth) {
            for (uint32_t p = 0; p < usedPlanes; ++p) {
                const uint32_t tile = TIFFComputeTile(tif, x, y, 0, static_cast<uint16_t>(p));
                if (!ILTiffReadChunk(src, true, tile, p, buffer.get() + p * tileSize, tileSize,
                                     tileSize, &anyData))
                    missing = true;
            }
            // The converter's copy works by bytes of its width.
            const uint32_t visible = std::min(tileWidth, src.width - x);
            if (c->width != visible) {
                c->width = visible;
                if (ILConverterIsPlainCopy(c)) ILConverterSelectKernel(c);
            }
            uint8_t* target = image->data + int64_t{y} * image->stride + pixelBits * x / 8;
            for (uint32_t k = 0; k < rows; ++k) {
                const uint8_t* from = buffer.get() + k * rowBytes;
                if (src.subsampling) {
                    ILTiffUnpackYCbCr(k, buffer.get(), row.get(), tileWidth, src.subsampling,
                                      positioning);
                    from = row.get();
                } else if (src.planes > 1) {
                    ILTiffInterleavePlanes(row.get(), buffer.get(), k * rowBytes, visible,
                                           src.keptSamples, tileSize, src.bitsPerSample);
                    from = row.get();
                } else if (dropping) {
                    ILTiffKeepSamples(row.get(), from, visible, src.samplesPerPixel,
                                      src.keptSamples, src.bitsPerSample / 8);
                    from = row.get();
                }
                c->rowKernel(c, from, target + int64_t{k} * image->stride);
            }
        }
    }
    if (!missing) return IL_OK;
    return anyData ? IL_PARTIAL : IL_FAILED;
}
