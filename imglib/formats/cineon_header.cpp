// The Cineon generic header as read (either byte order) and as written
// (little-endian), and the 10-bit logarithmic code of a linear value.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>

#include "imglib/byte_order.h"
#include "imglib/formats/cineon.h"

namespace cineon {

namespace {

struct Fields {
    const uint8_t* b;
    bool bigEndian;
    uint32_t U32(size_t at) const { return bigEndian ? ILGetBe32(b + at) : ILGetLe32(b + at); }
    float F32(size_t at) const {
        const uint32_t bits = U32(at);
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    template <size_t N>
    void Text(size_t at, char (&out)[N]) const {
        std::memcpy(out, b + at, N - 1);
        out[N - 1] = 0;
    }
};

constexpr size_t kChannelsAt = 196, kChannelBytes = 28;

} // namespace

bool Header::Parse(const uint8_t* bytes) {
    const uint32_t magic = ILGetLe32(bytes);
    if (magic != kMagic && ILGetBe32(bytes) != kMagic) return false;
    const Fields f{bytes, magic != kMagic};
    swapped = f.bigEndian;
    imageOffset = f.U32(4);
    industryLength = f.U32(12);
    orientation = bytes[192];
    channelCount = bytes[193];
    for (uint32_t k = 0; k < kMaxChannels; ++k) {
        const size_t at = kChannelsAt + k * kChannelBytes;
        Channel& c = channels[k];
        c.metric = bytes[at];
        c.designator = bytes[at + 1];
        c.bits = bytes[at + 2];
        c.pixelsPerLine = f.U32(at + 4);
        c.lines = f.U32(at + 8);
        c.minData = f.F32(at + 12);
        c.minQuantity = f.F32(at + 16);
        c.maxData = f.F32(at + 20);
        c.maxQuantity = f.F32(at + 24);
    }
    f.Text(452, label);
    packing = bytes[681];
    endOfLinePadding = f.U32(684);
    if (endOfLinePadding == kUndefined32) endOfLinePadding = 0;
    f.Text(820, originationDate);
    f.Text(832, originationTime);
    f.Text(844, inputDevice);
    f.Text(908, inputDeviceModel);
    gamma = f.F32(980);
    return true;
}

uint32_t Header::DefinedChannels() const {
    return channelCount >= 1 && channelCount <= kMaxChannels ? channelCount : 0;
}

uint32_t Header::Width() const {
    uint32_t w = 0;
    for (uint32_t k = 0; k < DefinedChannels(); ++k)
        w = std::max(w, channels[k].pixelsPerLine);
    return w;
}

uint32_t Header::Height() const {
    uint32_t h = 0;
    for (uint32_t k = 0; k < DefinedChannels(); ++k)
        h = std::max(h, channels[k].lines);
    return h;
}

uint64_t Header::LineBytes() const {
    const uint64_t n = uint64_t{DefinedChannels()} * Width();
    switch (channels[0].bits) {
        case 8:
            return n;
        case 10:
            if (packing == 5 || packing == 6) return (n + 2) / 3 * 4;
            if (packing == 0) return (10 * n + 31) / 32 * 4;
            return 0;
        case 12:
            return packing == 0 ? (12 * n + 31) / 32 * 4 : 0;
        case 16:
            return 2 * n;
        case 32:
            return 4 * n;
        case 64:
            return 8 * n;
        default:
            return 0;
    }
}

uint64_t Writer::BytesPerLine(uint32_t width, bool grey) {
    return grey ? (uint64_t{width} + 2) / 3 * 4 : uint64_t{width} * 4;
}

bool Writer::WriteHeader(uint32_t width, uint32_t height, bool grey) {
    uint8_t b[kHeaderBytes] = {};
    const uint64_t fileSize = kHeaderBytes + BytesPerLine(width, grey) * height;
    ILPutLe32(b, kMagic);
    ILPutLe32(b + 4, kHeaderBytes);
    ILPutLe32(b + 8, kHeaderBytes);
    ILPutLe32(b + 20, static_cast<uint32_t>(fileSize));
    std::memcpy(b + 24, "V4.5", 4);
    std::memcpy(b + 32, "Test", 4);
    // "YYYY:MM:DD:HH:MM:SSZone": the date, then the time from the 12th
    // character on.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char stamp[64] = {};
    if (localtime_r(&now, &local) &&
        std::strftime(stamp, sizeof stamp, "%Y:%m:%d:%H:%M:%S%Z", &local) > 11) {
        std::memcpy(b + 132, stamp, 10);
        std::memcpy(b + 144, stamp + 11, std::min<size_t>(std::strlen(stamp + 11), 12));
    }
    const uint32_t count = grey ? 1 : 3;
    b[192] = 0;
    b[193] = static_cast<uint8_t>(count);
    b[194] = b[195] = 0xFF;
    const float undefinedRange = 4294967296.0f;
    for (uint32_t k = 0; k < kMaxChannels; ++k) {
        uint8_t* c = b + kChannelsAt + k * kChannelBytes;
        const bool used = k < count;
        c[1] = static_cast<uint8_t>(used && !grey ? k + 1 : 0);
        c[2] = used ? 10 : 255;
        ILPutLe32(c + 4, used ? width : kUndefined32);
        ILPutLe32(c + 8, used ? height : kUndefined32);
        const float values[4] = {used ? 0.0f : undefinedRange, used ? 0.0f : undefinedRange,
                                 used ? 1023.0f : undefinedRange, used ? 2.048f : undefinedRange};
        std::memcpy(c + 12, values, sizeof values);
    }
    const float infinity = INFINITY;
    for (size_t at = 420; at < 452; at += 4)
        std::memcpy(b + at, &infinity, 4);
    b[681] = 5;
    b[682] = b[683] = 255;
    const float one = 1.0f;
    for (const size_t at : {972, 976, 980})
        std::memcpy(b + at, &one, 4);
    return WriteBytes(b, sizeof b);
}

uint16_t LinearToLog(float x) {
    // Black code 95 maps to 0 and white code 685 to 1.
    static const float kGain = 1.0f / (1.0f - std::pow(10.0f, (95 - 685) * 0.002f / 0.6f));
    const float code = std::log10((x + kGain - 1.0f) / kGain) / 0.0033333334f + 685.0f;
    if (!(code >= 0.0f)) return 0;
    if (code > 1023.0f) return 1023 << 6;
    return static_cast<uint16_t>(static_cast<uint32_t>(code) << 6);
}

} // namespace cineon
