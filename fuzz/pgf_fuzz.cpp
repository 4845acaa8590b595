// PGF loader under libFuzzer, at full size and at a thumbnail's level.
#include "fuzz_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vxfuzz::Load(data, size, "pgf");
    return vxfuzz::Load(data, size, "pgf", 64);
}
