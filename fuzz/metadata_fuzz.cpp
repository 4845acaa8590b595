// The metadata glue under libFuzzer, without a file format around it: the
// first byte picks EXIF, IPTC or XMP, the rest is the payload as a loader
// would hand it over, then the info window's dump of it.
#include "fuzz_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    ILHandle* h = vxfuzz::Handle();
    const uint8_t* payload = data + 1;
    const size_t length = size - 1;
    ILInfo info;
    switch (data[0] % 3) {
        case 0:
            ILInfoSetEXIF(&info.exif, length, payload);
            ILApplyExifResolution(&info);
            break;
        case 1:
            ILInfoSetIPTC(h, &info.iptc, length, payload);
            break;
        default:
            ILParseXMP(h, &info.xmp, length, reinterpret_cast<const char*>(payload));
            break;
    }
    vxfuzz::DumpInfo(info);
    return 0;
}
