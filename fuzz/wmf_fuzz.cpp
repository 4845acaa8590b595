// Metafile loader under libFuzzer (headers and record checks; natively no
// renderer draws the pixels).
#include "fuzz_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return vxfuzz::Load(data, size, size & 1 ? "wmf" : "emf");
}
