// What the Cineon loader and saver share: the generic file header, the
// reader of lines (with the codec that unpacks the odd bit depths into
// 16-bit samples) and the writer.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "imglib/io/stream.h"

namespace cineon {

inline constexpr uint32_t kMagic = 0x802A5FD7;
inline constexpr uint32_t kHeaderBytes = 1024;
inline constexpr uint32_t kMaxChannels = 8;
inline constexpr uint32_t kUndefined32 = 0xFFFFFFFF;

struct Channel {
    uint8_t metric = 0;
    uint8_t designator = 0; // 0 grey, 1-3 printing density R, G, B, 4-6 film density
    uint8_t bits = 255;
    uint32_t pixelsPerLine = 0;
    uint32_t lines = 0;
    float minData = 0, minQuantity = 0, maxData = 0, maxQuantity = 0;
};

// The fields of the 1024-byte generic header this codec uses, in machine
// order; the file's own order is kept in `swapped`.
struct Header {
    bool swapped = false;
    uint32_t imageOffset = kHeaderBytes;
    uint32_t industryLength = 0;
    uint8_t orientation = 0;
    uint32_t channelCount = 0;
    Channel channels[kMaxChannels];
    char label[201] = {};
    uint8_t packing = 0;
    uint32_t endOfLinePadding = 0;
    char originationDate[13] = {}, originationTime[13] = {};
    char inputDevice[65] = {}, inputDeviceModel[33] = {};
    float gamma = 1.0f;

    // From the file's first 1024 bytes; false for a wrong magic.
    bool Parse(const uint8_t* bytes);
    // Channels in use: the channel count when it is 1 to 8, else 0.
    uint32_t DefinedChannels() const;
    // The largest pixels per line and line count of the channels in use.
    uint32_t Width() const;
    uint32_t Height() const;
    // Bytes of one line without its padding, by the first channel's depth
    // and the packing; 0 when that combination cannot be read.
    uint64_t LineBytes() const;
};

// Unpacks the lines of the packed and odd depths.
class Codec {
public:
    virtual ~Codec() = default;
    // The line's bytes (LineBytes of them) into n left-aligned 16-bit samples.
    virtual void DecodeLine(const Header& header, const uint8_t* bytes, uint64_t n,
                            uint16_t* out) const;
};

class Reader {
public:
    Header header;

    explicit Reader(ILFileReader* stream) : stream_(stream) {}
    // The generic header and the industry header after it; false when they
    // cannot be read, the magic is wrong or the pixels would start inside them.
    bool ReadHeader();
    // Line i as channels x width 16-bit samples; false for a short read.
    bool ReadLine(uint16_t* out, uint32_t i);

private:
    ILFileReader* stream_;
    std::unique_ptr<Codec> codec_;
    std::vector<uint8_t> line_;
};

class Writer {
public:
    explicit Writer(ILFileWriter* stream) : stream_(stream) {}
    // The header of a grey (one channel) or R, G, B image of 10-bit codes,
    // three per 32-bit word, in the machine's little-endian order.
    bool WriteHeader(uint32_t width, uint32_t height, bool grey);
    bool WriteBytes(const void* bytes, size_t n) { return stream_->Write(bytes, n) == n; }
    static uint64_t BytesPerLine(uint32_t width, bool grey);

private:
    ILFileWriter* stream_;
};

// A linear value as its 10-bit code, shifted left by 6.
uint16_t LinearToLog(float x);

} // namespace cineon
