// The metafile header parser alone under libFuzzer: placeable and plain
// Windows metafile headers with their records, enhanced metafile headers
// with the record checks, and the raster size of what they give.
#include <cstddef>
#include <cstdint>

#include "imglib/formats/wmf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ILMetafileHeader header;
    if (ILParseMetafileHeader(data, size, &header)) {
        uint32_t width = 0, height = 0;
        if (ILMetafileRasterSize(header, &width, &height) &&
            (width > kMetafileMaxEdge || height > kMetafileMaxEdge ||
             uint64_t{width} * height > kMetafileMaxPixels))
            __builtin_trap();
    }
    return 0;
}
