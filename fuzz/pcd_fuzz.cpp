// Photo CD loader under libFuzzer: at 4Base (the default), at 16Base, and
// the reduced load of thumbnails.
#include "fuzz_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ILHandle* h = vxfuzz::Handle();
    h->pcd.resolution = 4;
    vxfuzz::Load(data, size, "pcd");
    h->pcd.resolution = 5;
    vxfuzz::Load(data, size, "pcd", 128);
    return vxfuzz::Load(data, size, "pcd");
}
