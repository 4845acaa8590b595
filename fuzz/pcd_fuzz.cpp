// Photo CD loader under libFuzzer: at 4Base (the default), the reduced load
// of thumbnails, and at 16Base. A pack too short for the 4Base data loads at
// Base whatever is asked, so 16Base is only asked of longer inputs.
#include "fuzz_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Where the 4Base Huffman table starts in an image pack.
    constexpr size_t k4BaseTableAt = 0xC2000;
    ILHandle* h = vxfuzz::Handle();
    h->pcd.resolution = 4;
    vxfuzz::Load(data, size, "pcd");
    h->pcd.resolution = 5;
    vxfuzz::Load(data, size, "pcd", 128);
    if (size > k4BaseTableAt) vxfuzz::Load(data, size, "pcd");
    return 0;
}
