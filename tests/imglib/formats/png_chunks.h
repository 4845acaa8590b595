// PNG files chunk by chunk for the PNG tests: building files with exactly
// the chunks a case needs (also ones libpng would not write), and taking the
// files our writers made apart again.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

namespace pngtest {

struct Chunk {
    std::string type;
    std::vector<uint8_t> data;
};

inline constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

inline uint32_t Be32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

inline void PutBe32(std::vector<uint8_t>* out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out->push_back(static_cast<uint8_t>(v >> shift));
}

inline void PutBe16(std::vector<uint8_t>* out, uint32_t v) {
    out->push_back(static_cast<uint8_t>(v >> 8));
    out->push_back(static_cast<uint8_t>(v));
}

inline void PutText(std::vector<uint8_t>* out, const std::string& s, bool terminate) {
    out->insert(out->end(), s.begin(), s.end());
    if (terminate) out->push_back(0);
}

// The chunks after the signature, up to IEND or a length that runs past
// the end; byte offset of the end of each chunk in ends (when given).
inline std::vector<Chunk> Chunks(const std::vector<uint8_t>& file,
                                 std::vector<size_t>* ends = nullptr) {
    std::vector<Chunk> chunks;
    size_t at = sizeof kSignature;
    while (at + 12 <= file.size()) {
        const uint32_t length = Be32(&file[at]);
        if (length > file.size() - at - 12) break;
        Chunk c{std::string(file.begin() + at + 4, file.begin() + at + 8),
                {file.begin() + at + 8, file.begin() + at + 8 + length}};
        at += 12 + length;
        if (ends) ends->push_back(at);
        chunks.push_back(std::move(c));
        if (chunks.back().type == "IEND") break;
    }
    return chunks;
}

inline const Chunk* Find(const std::vector<Chunk>& chunks, const std::string& type) {
    for (const Chunk& c : chunks)
        if (c.type == type) return &c;
    return nullptr;
}

// Signature, the chunks with their lengths and CRCs, and IEND.
inline std::vector<uint8_t> File(const std::vector<Chunk>& chunks) {
    std::vector<uint8_t> out(std::begin(kSignature), std::end(kSignature));
    auto put = [&](const std::string& type, const std::vector<uint8_t>& data) {
        PutBe32(&out, static_cast<uint32_t>(data.size()));
        const size_t typeAt = out.size();
        PutText(&out, type, false);
        out.insert(out.end(), data.begin(), data.end());
        PutBe32(&out,
                static_cast<uint32_t>(crc32(0, &out[typeAt], static_cast<uInt>(4 + data.size()))));
    };
    for (const Chunk& c : chunks)
        put(c.type, c.data);
    put("IEND", {});
    return out;
}

inline Chunk Ihdr(uint32_t width, uint32_t height, int depth, int colorType, int interlace = 0) {
    Chunk c{"IHDR", {}};
    PutBe32(&c.data, width);
    PutBe32(&c.data, height);
    c.data.insert(c.data.end(), {static_cast<uint8_t>(depth), static_cast<uint8_t>(colorType), 0, 0,
                                 static_cast<uint8_t>(interlace)});
    return c;
}

// Image data from unfiltered rows: each row gets filter byte 0.
inline Chunk Idat(const std::vector<std::vector<uint8_t>>& rows, int level = 9) {
    std::vector<uint8_t> raw;
    for (const auto& row : rows) {
        raw.push_back(0);
        raw.insert(raw.end(), row.begin(), row.end());
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    Chunk c{"IDAT", std::vector<uint8_t>(size)};
    compress2(c.data.data(), &size, raw.data(), static_cast<uLong>(raw.size()), level);
    c.data.resize(size);
    return c;
}

// The inflated contents of all IDAT chunks (filter bytes included).
inline std::vector<uint8_t> Inflated(const std::vector<Chunk>& chunks) {
    std::vector<uint8_t> z;
    for (const Chunk& c : chunks)
        if (c.type == "IDAT") z.insert(z.end(), c.data.begin(), c.data.end());
    std::vector<uint8_t> out;
    z_stream s{};
    if (inflateInit(&s) != Z_OK) return out;
    s.next_in = z.data();
    s.avail_in = static_cast<uInt>(z.size());
    uint8_t buffer[65536];
    int status = Z_OK;
    while (status == Z_OK) {
        s.next_out = buffer;
        s.avail_out = sizeof buffer;
        status = inflate(&s, Z_NO_FLUSH);
        out.insert(out.end(), buffer, buffer + (sizeof buffer - s.avail_out));
    }
    inflateEnd(&s);
    return out;
}

} // namespace pngtest
