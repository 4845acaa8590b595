// JPEG loader under libFuzzer. Odd-sized inputs also take the DCT-scaled
// thumbnail path, whose IDCT and upsampling differ from the full decode.
#include "fuzz_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vxfuzz::Load(data, size, "jpg");
    if (size & 1) vxfuzz::Load(data, size, "jpg", 16);
    return 0;
}
