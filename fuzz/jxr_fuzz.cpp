// JPEG XR loader under libFuzzer (container and code-stream), at full size
// and at a thumbnail's scale.
#include "fuzz_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vxfuzz::Load(data, size, "jxr");
    return vxfuzz::Load(data, size, "jxr", 64);
}
