// IPTC metadata on libiptcdata.
#include <climits>

#include <libiptcdata/iptc-data.h>

#include "imglib/handle.h"
#include "imglib/metadata/info.h"

namespace {

constexpr size_t kMinPayload = 9;

// A dataset: the tag marker, record and dataset numbers, a 16-bit length;
// with its high bit set, the low bits count the bytes (1 to 4) of the real
// length that follow. libiptcdata trusts these lengths (a count of more than
// four bytes crashes it), so the glue walks the datasets first. Like
// libiptcdata it ends the walk at the first byte that is no tag marker.
constexpr uint8_t kTagMarker = 0x1C;
constexpr size_t kDatasetHeader = 5;
constexpr uint32_t kMaxLengthBytes = 4;

bool WellFormed(const uint8_t* bytes, size_t length) {
    size_t at = 0;
    while (at < length && bytes[at] == kTagMarker) {
        if (length - at < kDatasetHeader) return false;
        uint64_t size = uint32_t{bytes[at + 3]} << 8 | bytes[at + 4];
        at += kDatasetHeader;
        if (size & 0x8000) {
            const uint64_t count = size & 0x7FFF;
            if (count == 0 || count > kMaxLengthBytes || length - at < count) return false;
            size = 0;
            for (uint64_t i = 0; i < count; ++i)
                size = size << 8 | bytes[at++];
        }
        if (length - at < size) return false;
        at += size;
    }
    return true;
}

} // namespace

bool ILInfoSetIPTC(IptcData** holder, size_t length, const uint8_t* bytes) {
    return ILInfoSetIPTC(nullptr, holder, length, bytes);
}

bool ILInfoSetIPTC(ILHandle* h, IptcData** holder, size_t length, const uint8_t* bytes) {
    if (!holder) return false;
    if (*holder || length < kMinPayload || !bytes || length > UINT_MAX) return *holder != nullptr;
    if (!WellFormed(bytes, length)) {
        ILWarning(h, "Invalid IPTC data - block ignored");
        return false;
    }
    IptcData* iptc = iptc_data_new_from_data(bytes, static_cast<unsigned int>(length));
    if (iptc && iptc->count == 0) {
        iptc_data_unref(iptc);
        iptc = nullptr;
    }
    *holder = iptc;
    return iptc != nullptr;
}

bool ILHasIPTC(const IptcData* iptc) {
    return iptc != nullptr;
}

void ILFreeIPTC(IptcData** holder) {
    if (!holder || !*holder) return;
    iptc_data_unref(*holder);
    *holder = nullptr;
}
