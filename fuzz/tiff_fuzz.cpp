// TIFF loader under libFuzzer: directories, every codec libtiff decodes, the
// predictor stage, strips and tiles, YCbCr and planar layouts, colour
// profiles, texts, XMP, IPTC and the EXIF copy (dumped as text) are reached
// from the bytes.
#include "fuzz_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return vxfuzz::Load(data, size, "tif");
}
