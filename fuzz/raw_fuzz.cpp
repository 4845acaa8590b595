// Camera RAW loader under libFuzzer, at full size and at a thumbnail's half
// size; the extension picks LibRaw's identification only through the data.
#include "fuzz_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vxfuzz::Load(data, size, "dng");
    return vxfuzz::Load(data, size, "dng", 64);
}
