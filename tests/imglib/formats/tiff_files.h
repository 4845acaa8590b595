// Small TIFF files built tag by tag, for the cases no tool writes: a
// predictor on uncompressed data, strips that end early or point past the
// file, missing or contradictory tags.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace tifftest {

using Bytes = std::vector<uint8_t>;

enum Type : uint16_t { BYTE = 1, ASCII = 2, SHORT = 3, LONG = 4, RATIONAL = 5, UNDEFINED = 7 };

struct Entry {
    Type type;
    std::vector<uint32_t> values; // RATIONAL: numerator, denominator pairs
    std::string text;             // ASCII
};

// One directory with its strips, little- or big-endian. StripOffsets and
// StripByteCounts are filled in from the strips unless set; a strip's
// offset can be moved past the end of the file with `lostStrip`.
struct File {
    bool bigEndian = false;
    std::map<uint16_t, Entry> tags;
    std::vector<Bytes> strips;
    int lostStrip = -1;

    void Set(uint16_t tag, Type type, std::vector<uint32_t> values) {
        tags[tag] = Entry{type, std::move(values), {}};
    }
    void Text(uint16_t tag, const std::string& text) { tags[tag] = Entry{ASCII, {}, text}; }
    void Data(uint16_t tag, Type type, const std::string& bytes) {
        tags[tag] = Entry{type, std::vector<uint32_t>(bytes.begin(), bytes.end()), {}};
    }

    Bytes Build() const {
        Bytes out;
        auto put16 = [&](uint32_t v) {
            if (bigEndian) {
                out.push_back(uint8_t(v >> 8));
                out.push_back(uint8_t(v));
            } else {
                out.push_back(uint8_t(v));
                out.push_back(uint8_t(v >> 8));
            }
        };
        auto put32 = [&](uint32_t v) {
            if (bigEndian) {
                put16(v >> 16);
                put16(v & 0xFFFF);
            } else {
                put16(v & 0xFFFF);
                put16(v >> 16);
            }
        };
        auto set32 = [&](size_t at, uint32_t v) {
            for (int i = 0; i < 4; ++i)
                out[at + i] = uint8_t(bigEndian ? v >> (24 - 8 * i) : v >> (8 * i));
        };
        std::map<uint16_t, Entry> all = tags;
        std::vector<uint32_t> counts;
        for (const Bytes& s : strips)
            counts.push_back(uint32_t(s.size()));
        if (!all.count(279)) all[279] = Entry{LONG, counts, {}};
        const bool offsetsGiven = all.count(273) != 0;
        if (!offsetsGiven) all[273] = Entry{LONG, std::vector<uint32_t>(strips.size(), 0), {}};

        out = {uint8_t(bigEndian ? 'M' : 'I'), uint8_t(bigEndian ? 'M' : 'I')};
        put16(42);
        put32(8);
        put16(uint32_t(all.size()));
        struct Pending {
            size_t field;
            Bytes data;
        };
        std::vector<Pending> pending;
        size_t offsetsField = 0;
        for (const auto& [tag, e] : all) {
            put16(tag);
            put16(e.type);
            Bytes data;
            uint32_t count;
            if (e.type == ASCII) {
                data.assign(e.text.begin(), e.text.end());
                data.push_back(0);
                count = uint32_t(data.size());
            } else {
                const size_t size = e.type == SHORT                         ? 2
                                    : e.type == BYTE || e.type == UNDEFINED ? 1
                                                                            : 4;
                count = uint32_t(e.type == RATIONAL ? e.values.size() / 2 : e.values.size());
                Bytes saved;
                saved.swap(out);
                for (uint32_t v : e.values)
                    size == 1 ? out.push_back(uint8_t(v)) : size == 2 ? put16(v) : put32(v);
                data.swap(out);
                out.swap(saved);
            }
            put32(count);
            const size_t field = out.size();
            if (tag == 273) offsetsField = field;
            if (data.size() <= 4) {
                data.resize(4, 0);
                out.insert(out.end(), data.begin(), data.end());
            } else {
                put32(0);
                pending.push_back({field, data});
            }
        }
        put32(0); // no next directory
        size_t arrayOffsets = offsetsField;
        for (const Pending& p : pending) {
            set32(p.field, uint32_t(out.size()));
            if (p.field == offsetsField) arrayOffsets = out.size();
            out.insert(out.end(), p.data.begin(), p.data.end());
            if (out.size() % 2) out.push_back(0);
        }
        for (size_t i = 0; i < strips.size(); ++i) {
            uint32_t at = uint32_t(out.size());
            if (int(i) == lostStrip) at = 0x7FFFFF00;
            if (!offsetsGiven) set32(arrayOffsets + 4 * i, at);
            out.insert(out.end(), strips[i].begin(), strips[i].end());
        }
        return out;
    }
};

// The tags every test image needs.
inline File Basic(uint32_t width, uint32_t height, uint16_t bits, uint16_t samples,
                  uint16_t photometric) {
    File f;
    f.Set(256, LONG, {width});
    f.Set(257, LONG, {height});
    f.Set(258, SHORT, std::vector<uint32_t>(samples, bits));
    f.Set(259, SHORT, {1});
    f.Set(262, SHORT, {photometric});
    f.Set(277, SHORT, {samples});
    f.Set(278, LONG, {height});
    return f;
}

} // namespace tifftest
