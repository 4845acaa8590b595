// Writing the JPEG XR container: header, one IFD with the texts, the pixel
// format, size, resolution and plane entries, and the data area of the
// values longer than four bytes; the code-stream follows. The size entries
// are patched once the code-stream is written.
#include <cstring>
#include <string>
#include <vector>

#include "imglib/byte_order.h"
#include "imglib/formats/jxr.h"

namespace {

enum : uint16_t { kBYTE = 1, kASCII = 2, kLONG = 4, kFLOAT = 11 };

constexpr uint32_t kIfdOffset = 32;
constexpr uint32_t kPixelFormatOffset = 8;
constexpr uint32_t kEntriesOffset = kIfdOffset + 2;
constexpr uint32_t kEntryBytes = 12;

struct Entry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    uint32_t value;       // numbers, or the offset of data
    std::string data;     // values longer than four bytes
    bool inField = false; // data of up to four bytes stands in the field
};

void Put16(std::vector<uint8_t>* out, uint32_t v) {
    out->push_back(static_cast<uint8_t>(v));
    out->push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>* out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

Entry TextEntry(uint16_t tag, const char* text) {
    std::string data(text);
    data.push_back('\0');
    Entry e{tag, kASCII, static_cast<uint32_t>(data.size()), 0, data};
    e.inField = data.size() <= 4;
    return e;
}

uint32_t FloatBits(double v) {
    const float f = static_cast<float>(v);
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return bits;
}

bool WriteAt(FILE* file, uint64_t offset, const std::vector<uint8_t>& bytes) {
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0 &&
           std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

} // namespace

int ILJxrWriteContainer(ILHandle* h, FILE* file, ILJxrWriteState* s) {
    std::vector<Entry> entries;
    const ILInfo* info = s->info;
    const bool texts = ILShouldWriteTexts(h, info);
    auto addText = [&](uint16_t tag, ILTextKey key) {
        if (!texts) return;
        if (const char* text = ILFindText(&info->texts, key))
            entries.push_back(TextEntry(tag, text));
    };
    addText(269, IL_TEXT_TITLE);
    addText(270, IL_TEXT_DESCRIPTION);
    if (h->creator) entries.push_back(TextEntry(305, h->creator));
    addText(306, IL_TEXT_CREATION_TIME);
    addText(315, IL_TEXT_AUTHOR);
    addText(33432, IL_TEXT_COPYRIGHT);

    const double ppiX = info && info->ppiX ? info->ppiX : 96.0;
    const double ppiY = info && info->ppiY ? info->ppiY : 96.0;
    entries.push_back({0xBC01, kBYTE, 16, kPixelFormatOffset, {}});
    entries.push_back({0xBC80, kLONG, 1, s->width, {}});
    entries.push_back({0xBC81, kLONG, 1, s->height, {}});
    entries.push_back({0xBC82, kFLOAT, 1, FloatBits(ppiX), {}});
    entries.push_back({0xBC83, kFLOAT, 1, FloatBits(ppiY), {}});
    const size_t imageOffsetEntry = entries.size();
    entries.push_back({0xBCC0, kLONG, 1, 0, {}});
    entries.push_back({0xBCC1, kLONG, 1, 0, {}});
    if (s->alpha) {
        entries.push_back({0xBCC2, kLONG, 1, 0, {}});
        entries.push_back({0xBCC3, kLONG, 1, 0, {}});
    }

    // The data area, each value padded to an even length.
    const uint32_t n = static_cast<uint32_t>(entries.size());
    uint64_t at = kEntriesOffset + uint64_t{kEntryBytes} * n + 4;
    for (Entry& e : entries) {
        if (e.data.empty() || e.inField) continue;
        e.value = static_cast<uint32_t>(at);
        at += e.data.size() + (e.data.size() & 1);
    }
    if (at > UINT32_MAX) return -1;
    s->imageOffset = static_cast<uint32_t>(at);
    entries[imageOffsetEntry].value = s->imageOffset;

    std::vector<uint8_t> bytes = {'I', 'I'};
    Put16(&bytes, 0x01BC);
    Put32(&bytes, kIfdOffset);
    bytes.insert(bytes.end(), s->pixelFormat, s->pixelFormat + 16);
    bytes.resize(kIfdOffset, 0);
    Put16(&bytes, n);
    for (const Entry& e : entries) {
        const uint32_t position = static_cast<uint32_t>(bytes.size()) + 8;
        if (e.tag == 0xBCC1) s->imageBytesEntry = position;
        if (e.tag == 0xBCC2) s->alphaOffsetEntry = position;
        if (e.tag == 0xBCC3) s->alphaBytesEntry = position;
        Put16(&bytes, e.tag);
        Put16(&bytes, e.type);
        Put32(&bytes, e.count);
        if (e.inField) {
            uint8_t field[4] = {};
            std::memcpy(field, e.data.data(), e.data.size());
            bytes.insert(bytes.end(), field, field + 4);
        } else {
            Put32(&bytes, e.value);
        }
    }
    Put32(&bytes, 0); // no next IFD
    for (const Entry& e : entries) {
        if (e.data.empty() || e.inField) continue;
        bytes.insert(bytes.end(), e.data.begin(), e.data.end());
        if (e.data.size() & 1) bytes.push_back(0);
    }
    return WriteAt(file, 0, bytes) ? 0 : -1;
}

int ILJxrPatchSizes(FILE* file, const ILJxrWriteState& s) {
    std::vector<uint8_t> v;
    Put32(&v, s.imageBytes);
    if (!WriteAt(file, s.imageBytesEntry, v)) return -1;
    if (s.alpha) {
        const std::vector<uint8_t> zero(4, 0);
        if (!WriteAt(file, s.alphaOffsetEntry, zero) || !WriteAt(file, s.alphaBytesEntry, zero))
            return -1;
    }
    return std::fflush(file) == 0 ? 0 : -1;
}
