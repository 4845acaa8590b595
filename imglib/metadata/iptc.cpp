// IPTC metadata on libiptcdata.
#include <climits>

#include <libiptcdata/iptc-data.h>

#include "imglib/metadata/info.h"

namespace {

constexpr size_t kMinPayload = 9;

} // namespace

bool ILInfoSetIPTC(IptcData** holder, size_t length, const uint8_t* bytes) {
    if (!holder) return false;
    if (*holder || length < kMinPayload || !bytes || length > UINT_MAX) return *holder != nullptr;
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
