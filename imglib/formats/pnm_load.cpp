// PNM reading: the portable bitmaps (P1 ASCII, P4 binary), graymaps (P2, P5)
// and pixmaps (P3, P6) with any maximum value up to 65535, colour and grey
// floatmaps (PF, Pf) in either byte order, and arbitrary maps (P7) of the
// black-and-white, grey and RGB tuple types with or without alpha. Header
// and raster comments become texts of the info record.
// Not handled: tuple types of other names, several images in one file.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "imglib/convert/converter_owner.h"
#include "imglib/formats/claimed_size.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/formats/pnm.h"
#include "imglib/memory_budget.h"
#include "imglib/memory_owner.h"
#include "imglib/metadata/info.h"

namespace {

constexpr size_t kBufferBytes = 32000;
constexpr size_t kMaxComment = 1999;
constexpr size_t kMaxScaleChars = 255;
constexpr uint32_t kMaxValue = 65535;
// A file may hold fewer rows than it claims (it is then read as a partial
// image), but only for images up to this size: larger claims must be backed
// by the file, so that a few bytes cannot ask for gigabytes.
constexpr uint64_t kImageBytesAlwaysAllowed = uint64_t{64} << 20;

bool IsBlank(int c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// A '#' was read: the comment runs to the next CR or LF; its first 1999
// bytes are kept as a text when the load collects them.
void ReadComment(ILPnmReader* r) {
    char text[kMaxComment + 1];
    size_t n = 0;
    for (int c = r->Byte(); c >= 0 && c != '\n' && c != '\r'; c = r->Byte())
        if (n < kMaxComment) text[n++] = static_cast<char>(c);
    while (n > 0 && IsBlank(static_cast<unsigned char>(text[n - 1])))
        --n;
    size_t start = 0;
    while (start < n && IsBlank(static_cast<unsigned char>(text[start])))
        ++start;
    if (r->comments && start < n) ILAddComment(&r->comments->texts, n - start, text + start);
}

// The floatmap's scale: up to 255 digits, points, signs and exponent
// letters after blanks and comments; the byte that ends it is consumed.
bool ReadScale(ILPnmReader* r, float* scale) {
    int c = r->Byte();
    for (; c >= 0 && !(std::isdigit(c) || c == '+' || c == '-' || c == '.'); c = r->Byte()) {
        if (c == '#')
            ReadComment(r);
        else if (!IsBlank(c))
            return false;
    }
    char text[kMaxScaleChars + 1];
    size_t n = 0;
    for (; c >= 0 && (std::isdigit(c) || c == '+' || c == '-' || c == '.' || c == 'e' || c == 'E');
         c = r->Byte())
        if (n < kMaxScaleChars) text[n++] = static_cast<char>(c);
    text[n] = 0;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (n == 0 || end == text || !std::isfinite(value)) return false;
    *scale = static_cast<float>(value);
    return true;
}

// Sample scaling of integer maps: the value of every sample 0..m in the
// row's sample size, (m / 2 + full x v) / m; samples above m are clamped.
std::vector<uint16_t> ScaleTable(uint32_t maxValue, uint32_t full) {
    std::vector<uint16_t> table(maxValue + 1);
    for (uint32_t v = 0; v <= maxValue; ++v)
        table[v] = static_cast<uint16_t>((maxValue / 2 + uint64_t{full} * v) / maxValue);
    return table;
}

ILPixelType SourceType(const ILPnmReader& r) {
    switch (r.type) {
        case 1:
            return IL_GREY1;
        case 2:
            return r.maxValue < 16 ? IL_GREY4 : r.maxValue < 256 ? IL_GREY8 : IL_GREY16;
        case 3:
            return r.maxValue < 256 ? IL_RGB8 : IL_RGB16;
        case 4:
            return r.channels == 1 ? IL_GREY_FLOAT : IL_RGB_FLOAT;
        default: {
            static constexpr ILPixelType k8[] = {IL_GREY8, IL_GREY_A8, IL_RGB8, IL_RGBA8};
            static constexpr ILPixelType k16[] = {IL_GREY16, IL_GREY_A16, IL_RGB16, IL_RGBA16};
            return (r.maxValue < 256 ? k8 : k16)[r.channels - 1];
        }
    }
}

// Bytes of one row in the source type.
uint64_t RowBytes(const ILPnmReader& r) {
    const uint64_t w = r.width;
    if (r.type == 5) return w * r.channels * (r.maxValue < 256 ? 1 : 2);
    switch (SourceType(r)) {
        case IL_GREY1:
            return (w + 7) / 8;
        case IL_GREY4:
            return (w + 1) / 2;
        case IL_GREY8:
            return w;
        case IL_GREY16:
            return w * 2;
        case IL_RGB8:
            return w * 3;
        case IL_RGB16:
            return w * 6;
        case IL_GREY_FLOAT:
            return w * 4;
        default:
            return w * 12;
    }
}

// Bytes the file must hold for the raster: binary rows as stored, one
// byte per sample at least in ASCII.
uint64_t RasterBytesNeeded(const ILPnmReader& r) {
    const uint64_t samples = uint64_t{r.width} * r.height * r.channels;
    if (r.ascii) return samples;
    if (r.type == 1) return (uint64_t{r.width} + 7) / 8 * r.height;
    return samples * (r.type == 4 ? 4 : r.maxValue < 256 ? 1 : 2);
}

void FillInfo(ILInfo* info, const ILPnmReader& r) {
    info->width = r.width;
    info->height = r.height;
    info->channels = r.channels;
    info->bitsPerPixel = r.bitsPerPixel;
    info->colorType = r.colorType;
    info->formatId = r.formatId;
    info->compression = r.ascii ? IL_COMP_ASCII : IL_COMP_NONE;
    info->gamma = r.gamma;
    info->gammaKind = IL_GAMMA_ASSUMED;
    info->alphaKind = r.channels == 2 || r.channels == 4 ? IL_ALPHA_STRAIGHT : IL_ALPHA_NONE;
    info->pages = 1;
}

// One row of an ASCII map into the source row; false when the data ends.
bool ReadAsciiRow(ILPnmReader* r, uint8_t* row, const std::vector<uint16_t>& scale) {
    const uint32_t w = r->width;
    if (r->type == 1) {
        // One pixel per '0' or '1' character, with or without separators.
        std::memset(row, 0xFF, (w + 7) / 8);
        for (uint32_t x = 0; x < w;) {
            const int c = r->Byte();
            if (c < 0) return false;
            if (c == '#')
                ReadComment(r);
            else if (c == '1')
                row[x / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8))), ++x;
            else if (c == '0')
                ++x;
            else if (!IsBlank(c))
                return false;
        }
        return true;
    }
    const uint32_t samples = r->type == 3 ? w * 3 : w;
    const ILPixelType type = SourceType(*r);
    if (type == IL_GREY4) std::memset(row, 0, (w + 1) / 2);
    for (uint32_t i = 0; i < samples; ++i) {
        uint32_t v = 0;
        if (!ILPnmReadNumber(r, &v)) return false;
        const uint16_t s = scale[std::min(v, r->maxValue)];
        if (type == IL_GREY4)
            row[i / 2] |= static_cast<uint8_t>(i % 2 ? s : s << 4);
        else if (type == IL_GREY8 || type == IL_RGB8)
            row[i] = static_cast<uint8_t>(s);
        else
            reinterpret_cast<uint16_t*>(row)[i] = s;
    }
    return true;
}

// One row of a binary map into the source row; false when the data ends
// (the missing part of the row is zero).
bool ReadBinaryRow(ILPnmReader* r, uint8_t* row, uint8_t* fileRow, uint64_t fileRowBytes,
                   const std::vector<uint16_t>& scale) {
    const ILPixelType type = SourceType(*r);
    const size_t got = r->Bytes(fileRow, fileRowBytes);
    std::memset(fileRow + got, 0, fileRowBytes - got);
    const uint32_t w = r->width;
    switch (type) {
        case IL_GREY1:
            for (uint64_t i = 0; i < fileRowBytes; ++i)
                row[i] = static_cast<uint8_t>(~fileRow[i]);
            break;
        case IL_GREY4:
            std::memset(row, 0, (w + 1) / 2);
            for (uint32_t x = 0; x < w; ++x)
                row[x / 2] |= static_cast<uint8_t>(
                    x % 2 ? scale[std::min<uint32_t>(fileRow[x], r->maxValue)]
                          : scale[std::min<uint32_t>(fileRow[x], r->maxValue)] << 4);
            break;
        case IL_GREY8:
        case IL_GREY_A8:
        case IL_RGB8:
        case IL_RGBA8:
            if (r->maxValue != 255)
                for (uint64_t i = 0; i < fileRowBytes; ++i)
                    row[i] =
                        static_cast<uint8_t>(scale[std::min<uint32_t>(fileRow[i], r->maxValue)]);
            break;
        case IL_GREY16:
        case IL_GREY_A16:
        case IL_RGB16:
        case IL_RGBA16: {
            auto* out = reinterpret_cast<uint16_t*>(row);
            for (uint64_t i = 0; i < fileRowBytes / 2; ++i) {
                const uint32_t v = fileRow[2 * i] << 8 | fileRow[2 * i + 1];
                out[i] = r->maxValue == kMaxValue ? static_cast<uint16_t>(v)
                                                  : scale[std::min(v, r->maxValue)];
            }
            break;
        }
        default: {
            const bool bigEndian = r->scale > 0;
            const float factor = std::fabs(r->scale);
            auto* out = reinterpret_cast<float*>(row);
            for (uint64_t i = 0; i < fileRowBytes / 4; ++i) {
                const uint8_t* p = fileRow + 4 * i;
                const uint32_t bits = bigEndian
                                          ? uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3]
                                          : uint32_t{p[3]} << 24 | p[2] << 16 | p[1] << 8 | p[0];
                float f;
                std::memcpy(&f, &bits, 4);
                out[i] = f * factor;
            }
        }
    }
    return got == fileRowBytes;
}

ILResult Load(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    ILPnmReader r;
    const ILResult opened = r.Open(h, path, info);
    if (opened != IL_OK) return opened;
    if (image) ILClearImage(image);
    if (info && h->readMetadata) r.comments = info;
    if (!r.StartBuffer()) return ILReportUnexpectedEnd(h);
    if (!ILPnmReadHeader(&r)) return ILReportInvalidHeader(h);
    if (info) FillInfo(info, r);
    if (!image) return IL_OK;

    const ILPixelType source = SourceType(r);
    const ILPixelType target = ILGetLoadPixelType(h, source, false);
    if (!target) return ILReportUnsupportedDataFormat(h);
    const uint64_t imageBytes = ILImageBufferSize(r.width, r.height, target);
    const uint64_t held = r.size - (r.Tell() - (r.fill - r.pos));
    if (RasterBytesNeeded(r) > held && imageBytes > kImageBytesAlwaysAllowed)
        return ILReportUnbackedClaim(h, r.width, r.height, r.size);
    if (const ILResult budget = ILCheckImageBudget(h, imageBytes); budget != IL_OK) return budget;
    if (ILReallocImage(image, r.width, r.height, target, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, imageBytes);

    ILConverterOwner converter;
    ILConverter* c = &converter.c;
    ILConverterSetModes(c, source, target, r.width);
    if (!ILConverterPrepare(c)) return ILReportUnsupportedDataFormat(h);

    // Binary rows whose bytes are the source row need no second buffer.
    const uint64_t rowBytes = RowBytes(r);
    const uint64_t fileRowBytes = r.ascii              ? 0
                                  : source == IL_GREY4 ? r.width
                                                       : RasterBytesNeeded(r) / r.height;
    const bool inPlace = !r.ascii && r.maxValue < 256 && source != IL_GREY4 && r.type != 4 &&
                         fileRowBytes == rowBytes;
    ILBuffer<uint8_t> row(static_cast<uint8_t*>(ILAlloc(h, rowBytes)));
    ILBuffer<uint8_t> fileRow;
    if (!row) return IL_OUT_OF_MEMORY;
    if (!r.ascii && !inPlace) {
        fileRow.reset(static_cast<uint8_t*>(ILAlloc(h, fileRowBytes)));
        if (!fileRow) return IL_OUT_OF_MEMORY;
    }
    // Integer samples scale to their full value (floatmaps do not scale).
    const uint32_t full = (1u << std::min(ILBitsPerSample(source), 16u)) - 1;
    const std::vector<uint16_t> scale =
        r.type == 4 ? std::vector<uint16_t>{} : ScaleTable(r.maxValue, r.type == 1 ? 1 : full);

    for (uint32_t i = 0; i < r.height; ++i) {
        const uint32_t y = r.type == 4 ? r.height - 1 - i : i;
        const bool complete =
            r.ascii ? ReadAsciiRow(&r, row.get(), scale)
                    : ReadBinaryRow(&r, row.get(), inPlace ? row.get() : fileRow.get(),
                                    fileRowBytes, scale);
        c->rowKernel(c, row.get(), image->data + int64_t{y} * image->stride);
        if (!complete) {
            // The rows never reached stay zero.
            for (uint32_t j = i + 1; j < r.height; ++j) {
                const uint32_t yy = r.type == 4 ? r.height - 1 - j : j;
                std::memset(image->data + int64_t{yy} * image->stride, 0, image->stride);
            }
            return ILReportUnexpectedEnd(h);
        }
    }
    return IL_OK;
}

} // namespace

bool ILPnmReader::StartBuffer() {
    capacity = static_cast<size_t>(std::min<uint64_t>(size, kBufferBytes));
    buffer = std::make_unique<uint8_t[]>(capacity);
    fill = Read(buffer.get(), capacity);
    pos = 0;
    return fill == capacity;
}

bool ILPnmReader::Refill() {
    fill = Read(buffer.get(), capacity);
    pos = 0;
    return fill > 0;
}

size_t ILPnmReader::Bytes(uint8_t* out, size_t n) {
    size_t done = std::min(n, fill - pos);
    std::memcpy(out, buffer.get() + pos, done);
    pos += done;
    // Large remainders go straight from the file.
    if (done < n && n - done >= capacity) {
        done += Read(out + done, n - done);
        return done;
    }
    while (done < n && Refill()) {
        const size_t k = std::min(n - done, fill);
        std::memcpy(out + done, buffer.get(), k);
        pos = k;
        done += k;
    }
    return done;
}

bool ILPnmReadNumber(ILPnmReader* r, uint32_t* value) {
    int c = r->Byte();
    for (; c >= 0 && !std::isdigit(c); c = r->Byte()) {
        // A sign or any other byte before the digits is no number of ours.
        if (c == '#')
            ReadComment(r);
        else if (!IsBlank(c))
            return false;
    }
    if (c < 0) return false;
    uint64_t v = 0;
    for (; c >= 0 && std::isdigit(c); c = r->Byte())
        v = std::min<uint64_t>(v * 10 + (c - '0'), UINT32_MAX);
    *value = static_cast<uint32_t>(v);
    return true;
}

namespace {

// One line of an arbitrary map's header without its line end; false at the
// end of the data or for a line too long to be a header item.
bool ReadPamLine(ILPnmReader* r, std::string* line) {
    line->clear();
    for (int c = r->Byte(); c != '\n'; c = r->Byte()) {
        if (c < 0 || line->size() > kMaxComment) return false;
        line->push_back(static_cast<char>(c));
    }
    return true;
}

// The items of an arbitrary map's header after "P7", up to the line
// "ENDHDR" after which the raster starts. The tuple type names the
// channels; without one the depth does.
bool ReadPamHeader(ILPnmReader* r) {
    struct Tuple {
        const char* name;
        uint32_t depth;
    };
    static constexpr Tuple kTuples[] = {
        {"BLACKANDWHITE", 1},       {"GRAYSCALE", 1},       {"RGB", 3},
        {"BLACKANDWHITE_ALPHA", 2}, {"GRAYSCALE_ALPHA", 2}, {"RGB_ALPHA", 4}};
    std::string line, tuple;
    uint32_t depth = 0;
    bool haveWidth = false, haveHeight = false, haveDepth = false, haveMax = false;
    if (!ReadPamLine(r, &line) || line.find_first_not_of(" \t\r") != std::string::npos)
        return false;
    for (;;) {
        if (!ReadPamLine(r, &line)) return false;
        const size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string::npos) continue;
        if (line[start] == '#') {
            if (r->comments && start + 1 < line.size())
                ILAddComment(&r->comments->texts, line.size() - start - 1,
                             line.c_str() + start + 1);
            continue;
        }
        const size_t keyEnd = line.find_first_of(" \t\r", start);
        const std::string key = line.substr(start, keyEnd - start);
        const size_t valueStart =
            keyEnd == std::string::npos ? keyEnd : line.find_first_not_of(" \t\r", keyEnd);
        std::string value = valueStart == std::string::npos ? "" : line.substr(valueStart);
        while (!value.empty() && IsBlank(static_cast<unsigned char>(value.back())))
            value.pop_back();
        if (key == "ENDHDR") break;
        if (key == "TUPLTYPE") {
            tuple = value;
            continue;
        }
        uint32_t* field = key == "WIDTH"    ? &r->width
                          : key == "HEIGHT" ? &r->height
                          : key == "DEPTH"  ? &depth
                          : key == "MAXVAL" ? &r->maxValue
                                            : nullptr;
        if (!field || value.empty() || value.size() > 10 ||
            value.find_first_not_of("0123456789") != std::string::npos)
            return false;
        const uint64_t number = std::strtoull(value.c_str(), nullptr, 10);
        if (number > UINT32_MAX) return false;
        *field = static_cast<uint32_t>(number);
        haveWidth |= field == &r->width;
        haveHeight |= field == &r->height;
        haveDepth |= field == &depth;
        haveMax |= field == &r->maxValue;
    }
    if (!haveWidth || !haveHeight || !haveDepth || !haveMax) return false;
    if (r->width == 0 || r->height == 0 || r->maxValue == 0 || r->maxValue > kMaxValue ||
        depth == 0 || depth > 4)
        return false;
    if (!tuple.empty()) {
        const Tuple* known = std::find_if(std::begin(kTuples), std::end(kTuples),
                                          [&](const Tuple& t) { return tuple == t.name; });
        if (known == std::end(kTuples) || known->depth != depth) return false;
    }
    const uint32_t bits = r->maxValue < 256 ? 8 : 16;
    r->type = 5;
    r->channels = depth;
    r->bitsPerPixel = (r->maxValue == 1 ? 1 : bits) * depth;
    r->formatId = IL_FORMAT_PAM;
    r->colorType = depth <= 2 ? IL_CT_GRAY : IL_CT_RGB;
    r->gamma = 2.2f;
    return true;
}

} // namespace

bool ILPnmReadHeader(ILPnmReader* r) {
    int c = r->Byte();
    while (c == ' ' || c == '\r' || c == '\n')
        c = r->Byte();
    if (c != 'P') return false;
    switch (r->Byte()) {
        case '1':
            r->type = 1, r->ascii = true;
            break;
        case '2':
            r->type = 2, r->ascii = true;
            break;
        case '3':
            r->type = 3, r->ascii = true;
            break;
        case '4':
            r->type = 1;
            break;
        case '5':
            r->type = 2;
            break;
        case '6':
            r->type = 3;
            break;
        case 'F':
            r->type = 4;
            r->channels = 3;
            break;
        case 'f':
            r->type = 4;
            r->channels = 1;
            break;
        case '7':
            return ReadPamHeader(r);
        default:
            return false;
    }
    if (!ILPnmReadNumber(r, &r->width) || !ILPnmReadNumber(r, &r->height)) return false;
    if (r->width == 0 || r->height == 0 || r->width == UINT32_MAX || r->height == UINT32_MAX)
        return false;
    // A binary raster starts right after the one byte that ends the last
    // header item, so that raster bytes 10 and 13 stay pixels.
    switch (r->type) {
        case 1:
            r->maxValue = 1;
            r->channels = 1;
            r->bitsPerPixel = 1;
            r->formatId = IL_FORMAT_PBM;
            r->colorType = IL_CT_MONOCHROME;
            r->gamma = 0;
            return true;
        case 4:
            if (!ReadScale(r, &r->scale)) return false;
            r->maxValue = 256;
            r->bitsPerPixel = 32 * r->channels;
            r->formatId = IL_FORMAT_PFM;
            r->colorType = r->channels == 1 ? IL_CT_GRAY : IL_CT_RGB;
            r->gamma = 1.0f;
            return true;
        default: {
            if (!ILPnmReadNumber(r, &r->maxValue)) return false;
            if (r->maxValue == 0 || r->maxValue > kMaxValue) return false;
            const uint32_t m = r->maxValue;
            const uint32_t bits = m == 1 ? 1 : m < 16 ? 4 : m < 256 ? 8 : 16;
            r->channels = r->type == 3 ? 3 : 1;
            r->bitsPerPixel = bits * r->channels;
            r->formatId = r->type == 3 ? IL_FORMAT_PPM : IL_FORMAT_PGM;
            r->colorType = r->type == 3 ? IL_CT_RGB : IL_CT_GRAY;
            r->gamma = 2.2f;
            return true;
        }
    }
}

ILResult ILLoadPNM(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    return ILGuardLoad(h, kPnmModule, image, [&] { return Load(h, path, image, info); });
}
