// Cineon reading: 1 to 8 channels of 8, 10 (filled or packed), 12 (packed),
// 16, 32 or 64-bit samples in either byte order. Printing-density codes are
// turned into linear half floats through the film's log curve with the
// file's gamma; film-density data loads as 16-bit integers. The first four
// channels are read (grey or R, G, B with alpha from the second or fourth);
// the orientation is applied with the mirror and quarter-turn operations.
// Not handled: the film industry header, chromaticities.
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstring>
#include <vector>

#include <Imath/half.h>

#include "imglib/byte_order.h"
#include "imglib/convert/converter_owner.h"
#include "imglib/formats/cineon.h"
#include "imglib/formats/claimed_size.h"
#include "imglib/formats/codec_guard.h"
#include "imglib/formats/codecs.h"
#include "imglib/memory_budget.h"
#include "imglib/metadata/info.h"
#include "imglib/ops/geometry.h"

namespace cineon {

void Codec::DecodeLine(const Header& header, const uint8_t* bytes, uint64_t n,
                       uint16_t* out) const {
    const bool big = header.swapped;
    auto word = [&](uint64_t k) {
        return big ? ILGetBe32(bytes + 4 * k) : ILGetLe32(bytes + 4 * k);
    };
    switch (header.channels[0].bits) {
        case 8:
            for (uint64_t i = 0; i < n; ++i)
                out[i] = static_cast<uint16_t>(bytes[i] << 8);
            return;
        case 10:
        case 12: {
            const uint32_t bits = header.channels[0].bits;
            if (bits == 10 && header.packing != 0) {
                // Three codes a word, from the top; method B leaves the top
                // two bits empty.
                const uint32_t base = header.packing == 5 ? 22 : 20;
                for (uint64_t i = 0; i < n; ++i) {
                    const uint32_t w = word(i / 3);
                    out[i] = static_cast<uint16_t>(((w >> (base - 10 * (i % 3))) & 0x3FF) << 6);
                }
                return;
            }
            // Consecutive fields, least significant bits first.
            const uint32_t mask = (1u << bits) - 1;
            for (uint64_t i = 0; i < n; ++i) {
                const uint64_t at = i * bits;
                uint64_t v = word(at / 32);
                if (at % 32 + bits > 32) v |= uint64_t{word(at / 32 + 1)} << 32;
                out[i] = static_cast<uint16_t>(((v >> (at % 32)) & mask) << (16 - bits));
            }
            return;
        }
        case 16:
            for (uint64_t i = 0; i < n; ++i)
                out[i] = big ? ILGetBe16(bytes + 2 * i) : ILGetLe16(bytes + 2 * i);
            return;
        case 32:
            for (uint64_t i = 0; i < n; ++i)
                out[i] = static_cast<uint16_t>(word(i) >> 16);
            return;
        default: // 64
            for (uint64_t i = 0; i < n; ++i) {
                const uint8_t* p = bytes + 8 * i;
                out[i] = big ? ILGetBe16(p) : ILGetLe16(p + 6);
            }
    }
}

bool Reader::ReadHeader() {
    uint8_t bytes[kHeaderBytes];
    if (!stream_->Seek(0, 0) || stream_->Read(bytes, sizeof bytes) != sizeof bytes) return false;
    if (!header.Parse(bytes)) return false;
    // The film industry header is read past but not used.
    uint8_t industry[kHeaderBytes];
    const size_t n = std::min<uint32_t>(header.industryLength, kHeaderBytes);
    if (stream_->Read(industry, n) != n) return false;
    // Pixels that start inside the headers would be header bytes.
    return header.imageOffset >= kHeaderBytes + n;
}

bool Reader::ReadLine(uint16_t* out, uint32_t i) {
    const uint64_t bytes = header.LineBytes();
    const uint64_t at = header.imageOffset + uint64_t{i} * (bytes + header.endOfLinePadding);
    line_.resize(bytes);
    if (!stream_->Seek(static_cast<int64_t>(at), 0) ||
        stream_->Read(line_.data(), line_.size()) != line_.size())
        return false;
    if (!codec_) codec_ = std::make_unique<Codec>();
    codec_->DecodeLine(header, line_.data(), uint64_t{header.DefinedChannels()} * header.Width(),
                       out);
    return true;
}

} // namespace cineon

namespace {

constexpr char kModule[] = "Cineon";
// Up to this size a file may hold fewer lines than it claims (read as a
// partial image); larger claims must be backed by the file.
constexpr uint64_t kImageBytesAlwaysAllowed = uint64_t{64} << 20;

// A gamma that makes no curve (at or below 0, not a number, infinite as
// the undefined value, or so far from 1 that the curve degenerates) is 1.
float UsableGamma(float gamma) {
    return std::isfinite(gamma) && gamma >= 0.01f && gamma <= 100.0f ? gamma : 1.0f;
}

// Linear value of every 10-bit code, as half floats.
std::vector<Imath::half> LogTable(float gamma) {
    const double b = std::pow(10.0, (95 - 685) * 0.002 / 0.6);
    const double v = 1.0 / (1.0 - std::pow(b, gamma));
    std::vector<Imath::half> table(1024);
    for (int c = 0; c < 1024; ++c)
        table[c] = Imath::half(static_cast<float>(
            std::pow(std::pow(10.0, (c - 685) * 0.002 / 0.6), gamma) * v - (v - 1.0)));
    return table;
}

void FillInfo(ILHandle* h, ILInfo* info, const cineon::Header& hd, float gamma) {
    const uint32_t channels = hd.DefinedChannels();
    const bool turned = hd.orientation >= 4;
    info->formatId = IL_FORMAT_CINEON;
    info->width = turned ? hd.Height() : hd.Width();
    info->height = turned ? hd.Width() : hd.Height();
    info->gamma = gamma;
    info->gammaKind = IL_GAMMA_STORED;
    info->channels = channels;
    info->colorType = channels < 3 ? IL_CT_GRAY : IL_CT_RGB;
    uint32_t bits = 0;
    for (uint32_t k = 0; k < channels; ++k)
        bits += hd.channels[k].bits;
    info->bitsPerPixel = bits;
    info->pages = 1;
    if (!h->readMetadata) return;
    if (hd.label[0]) ILInfoAddText(&info->texts, IL_TEXT_TITLE, std::strlen(hd.label), hd.label);
    if (hd.originationDate[0]) {
        const std::string when = std::string(hd.originationDate) + " " +
                                 (hd.originationTime[0] ? hd.originationTime : "00:00:00");
        ILInfoAddText(&info->texts, IL_TEXT_CREATION_TIME, when.size(), when.c_str());
    }
    if (hd.inputDevice[0]) {
        std::string model(hd.inputDevice, strnlen(hd.inputDevice, 32));
        if (hd.inputDeviceModel[0]) model += std::string(" - ") + hd.inputDeviceModel;
        ILInfoAddText(&info->texts, IL_TEXT_MODEL, model.size(), model.c_str());
    }
}

// Whether the file holds every line; in divisions, since the lines' claimed
// sizes may overflow 64 bits.
bool LinesFit(uint64_t fileSize, const cineon::Header& hd, uint64_t lineBytes, uint32_t height) {
    if (hd.imageOffset > fileSize || lineBytes > fileSize - hd.imageOffset) return false;
    const uint64_t rest = fileSize - hd.imageOffset - lineBytes;
    return rest / (lineBytes + hd.endOfLinePadding) >= height - 1;
}

// The orientation codes 1 to 7 as mirrors and quarter turns.
ILResult Orient(ILHandle* h, ILImage* image, uint32_t orientation) {
    ILResult r = IL_OK;
    switch (orientation) {
        case 1:
            return ILMirrorImage(h, image, 1);
        case 2:
            return ILMirrorImage(h, image, 0);
        case 3:
            r = ILMirrorImage(h, image, 0);
            return r == IL_OK ? ILMirrorImage(h, image, 1) : r;
        case 4:
        case 5:
            r = ILRotateImage(h, image, 90);
            return r == IL_OK && orientation == 5 ? ILMirrorImage(h, image, 0) : r;
        case 6:
        case 7:
            r = ILRotateImage(h, image, 270);
            return r == IL_OK && orientation == 7 ? ILMirrorImage(h, image, 0) : r;
        default:
            return IL_OK;
    }
}

ILResult Load(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    ILFileReader file;
    if (const ILResult opened = file.Open(h, path, info); opened != IL_OK) return opened;
    cineon::Reader reader(&file);
    if (!reader.ReadHeader()) return ILReportInvalidHeader(h);
    const cineon::Header& hd = reader.header;
    const uint32_t channels = hd.DefinedChannels();
    const uint32_t width = hd.Width(), height = hd.Height();
    if (channels == 0 || width == 0 || height == 0 || width == cineon::kUndefined32 ||
        height == cineon::kUndefined32)
        return ILReportInvalidHeader(h);
    const float gamma = UsableGamma(hd.gamma);
    if (info) FillInfo(h, info, hd, gamma);
    if (!image) return IL_OK;

    ILClearImage(image);
    const uint64_t lineBytes = hd.LineBytes();
    if (lineBytes == 0) return ILReportUnsupportedDataFormat(h);
    if (channels == 1 && hd.channels[0].designator != 0)
        ILWarningF(h, "inproper channel descriptor");
    const bool colour = channels >= 3;
    const bool alpha = channels == 2 || channels >= 4;
    const bool density = colour && hd.channels[1].designator == 5;
    // Channels are stored red first unless their designators say blue
    // (3 or 6) comes first.
    const uint8_t firstDesignator = hd.channels[0].designator;
    const bool blueFirst = colour && (firstDesignator == 3 || firstDesignator == 6);
    ILPixelType source = !colour   ? IL_GREY_HALF
                         : density ? (blueFirst ? IL_BGR16 : IL_RGB16)
                                   : (blueFirst ? IL_BGR_HALF : IL_RGB_HALF);
    const bool eightBit = h->thumbnailEdge != 0 || h->loadMode != 0;
    const uint32_t kind = eightBit ? IL_KIND_8 : density ? IL_KIND_16 : IL_KIND_HALF;
    ILPixelType target = ((colour || h->loadMode != 0) ? IL_MODEL_RGB : IL_MODEL_GRAY) | kind;
    if (alpha) {
        source |= IL_EXTRA_ALPHA;
        if (h->alphaMode == 1) target |= IL_EXTRA_ALPHA;
    }
    const uint32_t kept = ILChannelCount(source); // samples of a pixel converted

    ILConverterOwner converter;
    ILConverter* c = &converter.c;
    ILConverterInitModes(c, source, target, width);
    ILConverterSetAlphaMode(c, h->alphaMode);
    ILConverterSetBackground(c, h->background);
    if (!ILConverterPrepare(c)) return ILReportUnsupportedDataFormat(h);
    const uint64_t imageBytes = ILImageBufferSize(width, height, target);
    if (!LinesFit(file.size, hd, lineBytes, height) && imageBytes > kImageBytesAlwaysAllowed) {
        return ILReportUnbackedClaim(h, width, height, file.size);
    }
    if (const ILResult budget = ILCheckImageBudget(h, imageBytes); budget != IL_OK) return budget;
    if (ILReallocImage(image, width, height, target, nullptr) != IL_OK)
        return ILReportOutOfMemory(h, imageBytes);

    const std::vector<Imath::half> table = density ? std::vector<Imath::half>{} : LogTable(gamma);
    std::vector<uint16_t> line(size_t{channels} * width);
    std::vector<uint16_t> row(size_t{kept} * width);
    ILResult result = IL_OK;
    for (uint32_t y = 0; y < height; ++y) {
        if (!reader.ReadLine(line.data(), y)) {
            // The lines never reached stay blank.
            for (uint32_t k = y; k < height; ++k)
                std::memset(image->data + int64_t{k} * image->stride, 0, image->stride);
            result = ILReportUnexpectedEnd(h);
            break;
        }
        for (uint32_t x = 0; x < width; ++x)
            for (uint32_t k = 0; k < kept; ++k) {
                const uint16_t s = line[size_t{x} * channels + k];
                row[size_t{x} * kept + k] = density ? s : table[s >> 6].bits();
            }
        c->rowKernel(c, row.data(), image->data + int64_t{y} * image->stride);
    }
    if (const ILResult turned = Orient(h, image, hd.orientation); turned != IL_OK) return turned;
    return result;
}

} // namespace

ILResult ILLoadCineon(ILHandle* h, const char16_t* path, ILImage* image, ILInfo* info) {
    return ILGuardLoad(h, kModule, image, [&] { return Load(h, path, image, info); });
}
