// Reading the JPEG XR container: the TIFF-like header and first IFD around
// the code-stream (pixel format, size, resolution, plane offsets), texts,
// XMP, IPTC, the EXIF IFD and the ICC profile. Every offset and size is
// checked against the file before anything is read or allocated.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "imglib/byte_order.h"
#include "imglib/convert/profile_owner.h"
#include "imglib/formats/jxr.h"

namespace {

enum : uint16_t {
    kBYTE = 1,
    kASCII = 2,
    kSHORT = 3,
    kLONG = 4,
    kRATIONAL = 5,
    kUNDEFINED = 7,
    kSSHORT = 8,
    kSLONG = 9,
    kSRATIONAL = 10,
    kFLOAT = 11,
};

// The first 15 bytes of the two identifier families.
constexpr uint8_t kFormatFamily[15] = {0x24, 0xC3, 0xDD, 0x6F, 0x03, 0x4E, 0xFE, 0x4B,
                                       0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9};
constexpr uint8_t kFloatFamily[15] = {0x8F, 0xD7, 0xFE, 0xE3, 0xDB, 0xE8, 0xCF, 0x4A,
                                      0x84, 0xC1, 0xE9, 0x7F, 0x61, 0x36, 0xB3};
constexpr uint8_t kFormats[] = {0x00, 0x05, 0x08, 0x0B, 0x13, 0x3E, 0x4B, 0x3F, 0x11, 0x0D, 0x0C,
                                0x0E, 0x15, 0x12, 0x40, 0x3B, 0x42, 0x46, 0x18, 0x27, 0x1B, 0x41,
                                0x48, 0x0F, 0x10, 0x16, 0x17, 0x1D, 0x3A, 0x49, 0x19, 0x1A, 0x1E,
                                0x09, 0x0A, 0x14, 0x1C, 0x2C, 0x1F, 0x2D, 0x20, 0x21, 0x22, 0x23,
                                0x24, 0x25, 0x26, 0x28, 0x29, 0x2A, 0x2B, 0x3D};
constexpr uint8_t kAlphaFormats[] = {0x48, 0x0F, 0x10, 0x16, 0x17, 0x1D, 0x3A,
                                     0x49, 0x19, 0x1A, 0x1E, 0x2C, 0x2D};

constexpr size_t kEntryBytes = 12;
constexpr uint32_t kMinProfileBytes = 16;

uint32_t TypeSize(uint16_t type) {
    switch (type) {
        case kBYTE:
        case kASCII:
        case kUNDEFINED:
            return 1;
        case kSHORT:
        case kSSHORT:
            return 2;
        case kLONG:
        case kSLONG:
        case kFLOAT:
            return 4;
        case kRATIONAL:
        case kSRATIONAL:
            return 8;
        default:
            return 0;
    }
}

struct Entry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    uint32_t value;   // the field as a little-endian number
    uint8_t field[4]; // the field's bytes
};

class Reader {
public:
    Reader(ILHandle* h, ILJxrReadState* s, FILE* file) : h_(h), s_(s), file_(file) {}

    // count bytes at offset; false when they are not all in the file.
    bool ReadAt(uint64_t offset, size_t count, void* out) {
        if (offset > s_->fileSize || count > s_->fileSize - offset) return false;
        if (count == 0) return true;
        return fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0 &&
               std::fread(out, 1, count, file_) == count;
    }

    // The value bytes of an entry: in its field up to 4 bytes, else at the
    // offset the field holds.
    bool Value(const Entry& e, std::vector<uint8_t>* out) {
        const uint64_t size = uint64_t{TypeSize(e.type)} * e.count;
        if (size > s_->fileSize) return false;
        out->resize(size);
        if (size == 0) return true;
        if (size <= 4) {
            std::memcpy(out->data(), e.field, size);
            return true;
        }
        return ReadAt(e.value, size, out->data());
    }

    // The first number of a SHORT or LONG entry.
    static bool Number(const Entry& e, uint32_t* out) {
        if (e.count != 1) return false;
        if (e.type == kSHORT)
            *out = ILGetLe16(e.field);
        else if (e.type == kLONG)
            *out = e.value;
        else
            return false;
        return true;
    }

    bool ReadIfd(uint64_t offset, uint32_t count, std::vector<Entry>* entries) {
        std::vector<uint8_t> bytes(size_t{count} * kEntryBytes);
        if (!ReadAt(offset, bytes.size(), bytes.data())) return false;
        entries->resize(count);
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* b = bytes.data() + i * kEntryBytes;
            Entry& e = (*entries)[i];
            e.tag = ILGetLe16(b);
            e.type = ILGetLe16(b + 2);
            e.count = ILGetLe32(b + 4);
            e.value = ILGetLe32(b + 8);
            std::memcpy(e.field, b + 8, 4);
        }
        return true;
    }

    bool MetadataOn() const { return h_->readMetadata && s_->info; }
    ExifData* Exif() const { return s_->info ? s_->info->exif : nullptr; }

    bool Tag(const Entry& e);
    void ExifEntry(const Entry& e);
    void IccProfile(const Entry& e);
    uint32_t Resolution(const Entry& e);

private:
    ILHandle* h_;
    ILJxrReadState* s_;
    FILE* file_;
};

// ASCII text with its last byte forced to zero; none for a count of 0.
bool Text(Reader* r, const Entry& e, std::string* out) {
    std::vector<uint8_t> bytes;
    if (e.type != kASCII || e.count == 0 || !r->Value(e, &bytes)) return false;
    bytes.back() = 0;
    out->assign(reinterpret_cast<const char*>(bytes.data()));
    return true;
}

ILTextKey TextKey(uint16_t tag) {
    switch (tag) {
        case 269:
            return IL_TEXT_TITLE;
        case 270:
            return IL_TEXT_DESCRIPTION;
        case 305:
            return IL_TEXT_SOFTWARE;
        case 306:
            return IL_TEXT_CREATION_TIME;
        case 315:
            return IL_TEXT_AUTHOR;
        default:
            return IL_TEXT_COPYRIGHT; // 33432
    }
}

uint32_t Reader::Resolution(const Entry& e) {
    std::vector<uint8_t> bytes;
    double v = 0;
    if (e.type == kRATIONAL && Value(e, &bytes)) {
        const uint32_t d = ILGetLe32(bytes.data() + 4);
        if (d == 0) return 0;
        v = static_cast<double>(ILGetLe32(bytes.data())) / d;
    } else if (e.type == kFLOAT) {
        float f;
        std::memcpy(&f, e.field, 4);
        v = f;
    } else {
        return 0;
    }
    v += 0.499;
    return v >= 1 && v < 4294967295.0 ? static_cast<uint32_t>(v) : 0;
}

void Reader::IccProfile(const Entry& e) {
    if (e.count == 0) return;
    std::vector<uint8_t> bytes;
    if (e.count < kMinProfileBytes || !Value(e, &bytes)) {
        ILWarning(h_, "Invalid ICC Profile");
        return;
    }
    ILProfilePtr profile(cmsOpenProfileFromMem(bytes.data(), static_cast<uint32_t>(bytes.size())));
    if (!profile) {
        ILWarning(h_, "Invalid ICC Profile");
        return;
    }
    ILInfo* info = s_->info;
    if (info) ILReadIccInfo(&info->icc, profile.get());
    const cmsColorSpaceSignature space = cmsGetColorSpace(profile.get());
    if (space == cmsSigRgbData || space == cmsSigGrayData) {
        const double g = ILIccGamma(profile.get());
        if (ILIsSRGBProfile(profile.get())) {
            if (info) {
                if (std::fabs(g - 2.2) <= 0.01)
                    info->gamma = 2.2, info->gammaKind = IL_GAMMA_SRGB;
                else if (std::fabs(g - 1.0) <= 0.01)
                    info->gamma = 1.0, info->gammaKind = IL_GAMMA_SRGB;
                else
                    info->gamma = g, info->gammaKind = IL_GAMMA_ICC;
            }
            return;
        }
        if (info) {
            const bool plausible = g >= 0.01 && g <= 10;
            info->gamma = plausible ? g : 2.2;
            if (plausible) info->gammaKind = IL_GAMMA_ICC;
        }
    } else if (space == cmsSigCmykData && info) {
        info->gamma = 0;
        info->gammaKind = IL_GAMMA_ICC;
    }
    if (s_->profile) cmsCloseProfile(s_->profile);
    s_->profile = profile.release();
}

bool Reader::Tag(const Entry& e) {
    std::vector<uint8_t> bytes;
    std::string text;
    switch (e.tag) {
        case 269:
        case 270:
        case 305:
        case 306:
        case 315:
        case 33432:
            if (MetadataOn() && Text(this, e, &text)) {
                ILInfoAddText(&s_->info->texts, TextKey(e.tag), text.size(), text.c_str());
                if (Exif()) ILExifAddAscii(Exif(), IL_EXIF_IFD_0, e.tag, text.c_str());
            }
            return true;
        case 271:
        case 272:
            if (MetadataOn() && Exif() && Text(this, e, &text))
                ILExifAddAscii(Exif(), IL_EXIF_IFD_0, e.tag, text.c_str());
            return true;
        case 700:
            if (MetadataOn() && e.count >= 7 && Value(e, &bytes))
                ILParseXMP(h_, &s_->info->xmp, bytes.size(),
                           reinterpret_cast<const char*>(bytes.data()));
            return true;
        case 33723:
            if (MetadataOn() && e.count >= 7 && Value(e, &bytes))
                ILInfoSetIPTC(h_, &s_->info->iptc, bytes.size(), bytes.data());
            return true;
        case 34665:
            if (MetadataOn() && e.count == 1) s_->exifOffset = e.value;
            return true;
        case 34675:
            IccProfile(e);
            return true;
        case 0xBC01:
            if (e.count != 16 || !Value(e, &bytes) || bytes.size() != 16) return false;
            std::memcpy(s_->pixelFormat, bytes.data(), 16);
            return ILJxrLookupPixelFormat(s_->pixelFormat, &s_->alpha);
        case 0xBC80:
        case 0xBC81: {
            uint32_t v = 0;
            return !Number(e, &v) || v != 0;
        }
        case 0xBC82:
        case 0xBC83: {
            if (e.count != 1) return false;
            if (!s_->info) return true;
            const uint32_t ppi = Resolution(e);
            if (ppi) (e.tag == 0xBC82 ? s_->info->ppiX : s_->info->ppiY) = ppi;
            return true;
        }
        case 0xBCC0:
        case 0xBCC1:
        case 0xBCC2:
        case 0xBCC3: {
            uint32_t v = 0;
            if (!Number(e, &v)) return false;
            uint32_t* fields[] = {&s_->imageOffset, &s_->imageBytes, &s_->alphaOffset,
                                  &s_->alphaBytes};
            *fields[e.tag - 0xBCC0] = v;
            return true;
        }
        case 285:
        case 297:
        case 316:
        case 34377:
        case 34853:
        case 40961:
        case 0xBC02:
        case 0xBC03:
        case 0xBC04:
        case 0xBC05:
        case 0xBC06:
        case 0xBCC4:
        case 0xBCC5:
        case 0xEA1C:
            return true;
        default:
            ILWarningF(h_, "Unrecognized tag %d (%#x)", e.tag, e.tag);
            return true;
    }
}

void Reader::ExifEntry(const Entry& e) {
    ExifData* exif = Exif();
    std::vector<uint8_t> bytes;
    std::string text;
    switch (e.type) {
        case kASCII:
            if (Text(this, e, &text)) ILExifAddAscii(exif, IL_EXIF_IFD_EXIF, e.tag, text.c_str());
            break;
        case kSHORT:
            if (e.count == 1)
                ILExifAddUnsignedShort(exif, IL_EXIF_IFD_EXIF, e.tag, ILGetLe16(e.field));
            break;
        case kLONG:
            if (e.count == 1) ILExifAddUnsignedLong(exif, e.tag, e.value);
            break;
        case kSSHORT:
            if (e.count == 1)
                ILExifAddSignedShort(exif, e.tag, static_cast<int16_t>(ILGetLe16(e.field)));
            break;
        case kSLONG:
            if (e.count == 1) ILExifAddSignedLong(exif, e.tag, static_cast<int32_t>(e.value));
            break;
        case kRATIONAL:
        case kSRATIONAL:
            if (e.count == 1 && Value(e, &bytes)) {
                const uint32_t n = ILGetLe32(bytes.data()), d = ILGetLe32(bytes.data() + 4);
                if (e.type == kRATIONAL)
                    ILExifAddUnsignedRational(exif, IL_EXIF_IFD_EXIF, e.tag, n, d);
                else
                    ILExifAddSignedRational(exif, e.tag, static_cast<int32_t>(n),
                                            static_cast<int32_t>(d));
            }
            break;
        case kUNDEFINED:
            if (e.count && Value(e, &bytes))
                ILExifAddUndefined(exif, e.tag, bytes.data(), static_cast<uint32_t>(bytes.size()));
            break;
        default:
            break;
    }
}

} // namespace

void ILJxrMakePixelFormat(uint8_t nn, uint8_t out[16]) {
    std::memcpy(out, kFormatFamily, 15);
    out[15] = nn;
}

bool ILJxrLookupPixelFormat(const uint8_t id[16], bool* alpha) {
    *alpha = false;
    if (std::memcmp(id, kFloatFamily, 15) == 0) return true;
    if (std::memcmp(id, kFormatFamily, 15) != 0) return false;
    if (std::memchr(kFormats, id[15], sizeof kFormats) == nullptr) return false;
    *alpha = std::memchr(kAlphaFormats, id[15], sizeof kAlphaFormats) != nullptr;
    return true;
}

ILResult ILJxrReadContainer(ILHandle* h, ILJxrReadState* s, FILE* file) {
    Reader r(h, s, file);
    uint8_t head[8];
    if (!r.ReadAt(0, sizeof head, head)) return IL_INVALID_HEADER;
    // A bare code-stream starts with the codec's own signature.
    if (std::memcmp(head, "WMPHOTO", 7) == 0) {
        s->imageOffset = 0;
        s->imageBytes = static_cast<uint32_t>(std::min<uint64_t>(s->fileSize, UINT32_MAX));
        return fseeko(file, 0, SEEK_SET) == 0 ? IL_OK : IL_INVALID_HEADER;
    }
    if (head[0] != 'I' || head[1] != 'I' || head[2] != 0xBC || head[3] > 1)
        return IL_INVALID_HEADER;
    const uint32_t ifd = ILGetLe32(head + 4);
    uint8_t countBytes[2];
    if (!r.ReadAt(ifd, 2, countBytes)) return IL_INVALID_HEADER;
    const uint32_t count = ILGetLe16(countBytes);
    if (count == 0 || count == 0xFFFF) return IL_INVALID_HEADER;
    if (r.MetadataOn()) ILInfoNewEXIF(&s->info->exif);

    std::vector<Entry> entries;
    if (!r.ReadIfd(uint64_t{ifd} + 2, count, &entries)) return IL_INVALID_HEADER;
    for (const Entry& e : entries)
        if (!r.Tag(e)) return IL_INVALID_HEADER;
    s->alphaPlane = s->alpha && s->alphaOffset && s->alphaBytes;

    // The code-stream and a separate alpha plane must lie in the file. jxrlib's
    // own writer stores the end of the file as the alpha plane's size: that
    // size is cut to the file, only its start must be inside.
    const uint64_t imageEnd = uint64_t{s->imageOffset} + s->imageBytes;
    if (!s->imageOffset || imageEnd > s->fileSize) return IL_INVALID_HEADER;
    if (s->alphaPlane) {
        if (s->alphaOffset >= s->fileSize) return IL_INVALID_HEADER;
        s->alphaBytes =
            static_cast<uint32_t>(std::min<uint64_t>(s->alphaBytes, s->fileSize - s->alphaOffset));
    }

    if (s->exifOffset && r.Exif()) {
        uint8_t exifCount[2];
        if (r.ReadAt(s->exifOffset, 2, exifCount)) {
            const uint32_t n = ILGetLe16(exifCount);
            std::vector<Entry> exif;
            if (n != 0 && n != 0xFFFF && r.ReadIfd(uint64_t{s->exifOffset} + 2, n, &exif))
                for (const Entry& e : exif)
                    r.ExifEntry(e);
        }
    }
    return fseeko(file, s->imageOffset, SEEK_SET) == 0 ? IL_OK : IL_INVALID_HEADER;
}
