// The JPEG XR container parser alone under libFuzzer: header, first IFD,
// EXIF IFD and ICC profile, with metadata on, and the metadata dumps of
// what it found.
#include <cstdio>
#include <string>

#include "fuzz_load.h"
#include "imglib/formats/jxr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ILHandle* h = vxfuzz::Handle();
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!file) return 0;
    ILInfo info;
    ILJxrReadState s;
    s.info = &info;
    s.fileSize = size;
    ILJxrReadContainer(h, &s, file);
    if (s.profile) cmsCloseProfile(s.profile);
    std::fclose(file);
    std::string dump;
    ILFormatTexts(&info.texts, &dump);
    ILFormatIccInfo(&info.icc, &dump);
    ILFormatExif(info.exif, &dump);
    ILFormatIPTC(info.iptc, &dump);
    ILFormatXMP(info.xmp, &dump);
    return 0;
}
