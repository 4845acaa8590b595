// Cineon loader under libFuzzer.
#include "fuzz_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return vxfuzz::Load(data, size, "cin");
}
