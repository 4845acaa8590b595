// Shared body of the loader fuzz targets. The loaders read files by path, so
// the input goes to a file in /dev/shm (memory, no disk wear) whose extension
// picks the format-table row, and through ILLoadImage: a full load and the
// info-only load of the viewer's folder scan, each followed by the info
// window's text dumps (texts, ICC, EXIF, IPTC, XMP). Messages are silenced:
// only crashes, leaks, undefined behaviour and runaway memory or time count.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "imglib/format.h"
#include "imglib/image.h"
#include "imglib/metadata/info.h"
#include "imglib/io/path.h"

namespace vxfuzz {

inline ILHandle* Handle() {
    static ILHandle* h = [] {
        ILHandle* created = ILCreateHandle("fuzz");
        ILSetErrorProc(created, nullptr);
        ILSetWarningProc(created, nullptr);
        // Far below libFuzzer's memory limit: an image claim the budget
        // refuses is an answer, not a finding.
        const uint64_t budget = uint64_t{256} << 20;
        ILSetImageMemoryBudget(created, &budget);
        return created;
    }();
    return h;
}

// What the info window shows of a load's info record.
inline void DumpInfo(const ILInfo& info) {
    std::string text;
    ILFormatTexts(&info.texts, &text);
    ILFormatIccInfo(&info.icc, &text);
    ILFormatExif(info.exif, &text);
    ILFormatIPTC(info.iptc, &text);
    ILFormatXMP(info.xmp, &text);
}

// Writes the bytes to a per-process file named with the extension and loads
// it into an image and an info record, whose metadata is then dumped as text
// the way the info window shows it; thumbnailEdge above 0 asks for the
// reduced load that thumbnails use. Always answers 0 (libFuzzer's "keep").
inline int Load(const uint8_t* data, size_t size, const char* extension,
                uint32_t thumbnailEdge = 0) {
    ILHandle* h = Handle();
    const std::string path = "/dev/shm/vx_fuzz_" + std::to_string(::getpid()) + "." + extension;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    const bool written = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !written) return 0;

    const std::u16string wide = ILUtf8ToPath(path);
    ILSetThumbnailSize(h, thumbnailEdge);
    ILImage image;
    ILInfo info;
    ILLoadImage(h, wide.c_str(), &image, &info);
    DumpInfo(info);
    ILFreeImage(&image);
    ILClearInfo(&info);
    ILLoadImage(h, wide.c_str(), nullptr, &info);
    DumpInfo(info);
    ILClearInfo(&info);
    std::remove(path.c_str());
    return 0;
}

} // namespace vxfuzz
