// The camera data of a raw file as EXIF entries, and its XMP sidecar file.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <string>

#include "imglib/formats/raw.h"
#include "imglib/io/file_owner.h"
#include "imglib/io/path.h"
#include "imglib/memory_owner.h"

namespace {

// Tags of IFD 0 and of the EXIF IFD.
enum : uint16_t {
    kMake = 271,
    kModel = 272,
    kSoftware = 305,
    kArtist = 315,
    kExposureTime = 33434,
    kFNumber = 33437,
    kShutterSpeedValue = 37377,
    kFlash = 37385,
    kFocalLength = 37386,
};

// A sidecar of this size or less holds no packet.
constexpr uint64_t kMinSidecarBytes = 16;
// A sidecar is a small text: larger files are not read.
constexpr uint64_t kMaxSidecarBytes = uint64_t{64} << 20;

void AddText(ExifData* exif, uint16_t tag, const char* text, size_t capacity) {
    const std::string value(text, strnlen(text, capacity));
    if (!value.empty()) ILExifAddAscii(exif, IL_EXIF_IFD_0, tag, value.c_str());
}

uint32_t Rounded(double v) {
    return static_cast<uint32_t>(std::clamp(v + 0.5, 0.0, 4294967295.0));
}

// A value below 1 as 1 / n with n rounded to the denominator's scale, other
// values to two decimals.
void AddRational(ExifData* exif, uint16_t tag, double v, double scale) {
    if (v > 0 && v < 1)
        ILExifAddUnsignedRational(exif, IL_EXIF_IFD_EXIF, tag, static_cast<uint32_t>(scale),
                                  Rounded(scale / v));
    else
        ILExifAddUnsignedRational(exif, IL_EXIF_IFD_EXIF, tag, Rounded(100 * v), 100);
}

} // namespace

void ILRawAddExif(ExifData* exif, const LibRaw& raw) {
    const libraw_iparams_t& id = raw.imgdata.idata;
    const libraw_imgother_t& other = raw.imgdata.other;
    AddText(exif, kMake, id.make, sizeof id.make);
    AddText(exif, kModel, id.model, sizeof id.model);
    AddText(exif, kSoftware, id.software, sizeof id.software);
    AddText(exif, kArtist, other.artist, sizeof other.artist);
    if (other.timestamp) ILExifAddDateTime(exif, other.timestamp);

    const double shutter = other.shutter;
    if (shutter != 0) AddRational(exif, kExposureTime, shutter, 100000);
    AddRational(exif, kFNumber, other.aperture, 10000);
    if (other.focal_len > 0.0001)
        ILExifAddUnsignedRational(exif, IL_EXIF_IFD_EXIF, kFocalLength, 10000,
                                  Rounded(10000 / other.focal_len));
    if (shutter > 0) {
        const double v = std::log(1 / shutter) / std::log(2.0);
        if (v > 0 && v < 1)
            ILExifAddSignedRational(exif, kShutterSpeedValue, 100000,
                                    static_cast<int32_t>(std::lround(100000 / v)));
        else // negative for exposures longer than a second: rounded to nearest
            ILExifAddSignedRational(exif, kShutterSpeedValue,
                                    static_cast<int32_t>(std::lround(100 * v)), 100);
    }
    ILExifAddUnsignedShort(exif, IL_EXIF_IFD_EXIF, kFlash,
                           static_cast<uint16_t>(raw.imgdata.color.flash_used));
}

void ILRawReadSidecar(ILHandle* h, const char16_t* path, ILInfo* info) {
    std::u16string sidecar(path);
    const size_t dot = sidecar.rfind(u'.');
    const size_t slash = sidecar.rfind(u'/');
    if (dot == std::u16string::npos || (slash != std::u16string::npos && dot < slash)) return;
    sidecar.resize(dot + 1);
    for (const char16_t* extension : {u"XMP", u"xmp"}) {
        const std::u16string candidate = sidecar + extension;
        ILPathStat stat;
        if (!ILPathStatOf(candidate.c_str(), &stat) || stat.isDirectory) continue;
        if (stat.size <= kMinSidecarBytes || stat.size > kMaxSidecarBytes) return;
        ILFilePtr file(ILPathOpen(candidate.c_str(), "rb"));
        if (!file) return;
        std::string packet(stat.size, '\0');
        if (std::fread(packet.data(), 1, packet.size(), file.get()) != packet.size()) return;
        ILParseXMP(h, &info->xmp, packet.size(), packet.data());
        return;
    }
}
