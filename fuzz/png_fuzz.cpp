// PNG loader under libFuzzer: colour chunks, palettes, texts and both the
// row-by-row and the interlaced decoding paths are reached from the bytes.
#include "fuzz_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return vxfuzz::Load(data, size, "png");
}
