// The metadata markers of a JPEG file: the ICC profile split into APP2
// chunks ("ICC_PROFILE", a zero, the chunk's 1-based number, the number of
// chunks, then its part of the profile), comments (COM), EXIF and XMP (APP1)
// and IPTC inside Photoshop resources (APP13). Read into the info record and
// written by the saver.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <libiptcdata/iptc-jpeg.h>

#include "imglib/formats/jpeg.h"

namespace {

constexpr uint8_t kIccSignature[12] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};
constexpr size_t kIccHeader = 14;      // signature, number, count
constexpr size_t kIccChunkMax = 65519; // 65535 - length field - header
constexpr size_t kMarkerPayloadMax = 65533;
// The XMP standard's namespace signature for JPEG, with its terminating zero.
constexpr char kXmpSignature[] = "http://ns.adobe.com/xap/1.0/";
constexpr size_t kXmpSignatureSize = sizeof kXmpSignature; // 29
// Extended XMP carries the rest of a packet too big for one segment; it is
// neither the main packet nor EXIF.
constexpr char kXmpExtensionSignature[] = "http://ns.adobe.com/xmp/extension/";

bool StartsWith(const jpeg_saved_marker_ptr m, const void* prefix, size_t n) {
    return m->data_length >= n && std::memcmp(m->data, prefix, n) == 0;
}

// The ICC chunks met so far, by number.
struct IccChunks {
    std::array<const JOCTET*, 256> data{};
    std::array<size_t, 256> length{};
    int count = -1; // from the first chunk
    bool consistent = true;

    void Add(const jpeg_saved_marker_ptr m) {
        const int number = m->data[12];
        const int chunks = m->data[13];
        if (count < 0) count = chunks;
        if (chunks != count || number == 0 || number > count || data[number]) {
            consistent = false;
            return;
        }
        data[number] = m->data + kIccHeader;
        length[number] = m->data_length - kIccHeader;
    }

    // Chunks may come in any order; each lands after those numbered before it.
    cmsHPROFILE Assemble() const {
        if (!consistent || count <= 0) return nullptr;
        size_t total = 0;
        for (int k = 1; k <= count; ++k) {
            if (!data[k]) return nullptr;
            total += length[k];
        }
        if (total == 0) return nullptr;
        std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[total]);
        if (!bytes) return nullptr;
        size_t at = 0;
        for (int k = 1; k <= count; ++k) {
            std::memcpy(bytes.get() + at, data[k], length[k]);
            at += length[k];
        }
        return cmsOpenProfileFromMem(bytes.get(), static_cast<cmsUInt32Number>(total));
    }
};

void AppendIptc(std::vector<uint8_t>* iptc, const jpeg_saved_marker_ptr m) {
    unsigned int length = 0;
    const int offset = iptc_jpeg_ps3_find_iptc(m->data, m->data_length, &length);
    if (offset <= 0 || length == 0 || offset + uint64_t{length} > m->data_length) return;
    iptc->insert(iptc->end(), m->data + offset, m->data + offset + length);
}

void WriteBytes(j_compress_ptr cinfo, const void* bytes, size_t n) {
    const auto* p = static_cast<const uint8_t*>(bytes);
    for (size_t i = 0; i < n; ++i)
        jpeg_write_m_byte(cinfo, p[i]);
}

} // namespace

bool ILJpegIsIccMarker(const jpeg_saved_marker_ptr marker) {
    return marker->marker == JPEG_APP0 + 2 && marker->data_length > 13 &&
           StartsWith(marker, kIccSignature, sizeof kIccSignature);
}

cmsHPROFILE ILJpegReadMarkers(ILHandle* h, j_decompress_ptr cinfo, ILInfo* info) {
    const bool metadata = info && h->readMetadata;
    IccChunks icc;
    std::vector<uint8_t> exif, iptc;
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next) {
        if (ILJpegIsIccMarker(m)) {
            icc.Add(m);
            continue;
        }
        if (!metadata) continue;
        if (m->marker == JPEG_COM) {
            ILAddComment(&info->texts, m->data_length, reinterpret_cast<const char*>(m->data));
        } else if (m->marker == JPEG_APP0 + 1) {
            if (m->data_length > 36 && StartsWith(m, kXmpSignature, kXmpSignatureSize)) {
                ILParseXMP(h, &info->xmp, m->data_length - kXmpSignatureSize,
                           reinterpret_cast<const char*>(m->data + kXmpSignatureSize));
            } else if (!StartsWith(m, kXmpExtensionSignature, sizeof kXmpExtensionSignature)) {
                exif.insert(exif.end(), m->data, m->data + m->data_length);
            }
        } else if (m->marker == JPEG_APP0 + 13) {
            AppendIptc(&iptc, m);
        }
    }
    if (metadata) {
        if (!iptc.empty()) ILInfoSetIPTC(h, &info->iptc, iptc.size(), iptc.data());
        if (!exif.empty()) ILInfoSetEXIF(&info->exif, exif.size(), exif.data());
    }
    return icc.Assemble();
}

void ILJpegWriteIccProfile(j_compress_ptr cinfo, const uint8_t* bytes, size_t size) {
    const size_t chunks = (size + kIccChunkMax - 1) / kIccChunkMax;
    // The count is one byte: a larger profile cannot be stored.
    if (chunks == 0 || chunks > 255) return;
    for (size_t k = 1; k <= chunks; ++k) {
        const size_t n = k < chunks ? kIccChunkMax : size - (chunks - 1) * kIccChunkMax;
        jpeg_write_m_header(cinfo, JPEG_APP0 + 2, static_cast<unsigned int>(n + kIccHeader));
        WriteBytes(cinfo, kIccSignature, sizeof kIccSignature);
        jpeg_write_m_byte(cinfo, static_cast<int>(k));
        jpeg_write_m_byte(cinfo, static_cast<int>(chunks));
        WriteBytes(cinfo, bytes + (k - 1) * kIccChunkMax, n);
    }
}

// Written byte by byte, with no buffer: this runs under the error guard,
// where nothing may need a destructor. A text longer than one marker holds
// is cut rather than failing the save.
void ILJpegWriteTextMarker(j_compress_ptr cinfo, const ILInfo* info, ILTextKey key) {
    const char* text = ILFindText(&info->texts, key);
    if (!text) return;
    const char* name = ILTextKeyNames[key];
    const size_t head = std::strlen(name) + 2;
    const size_t body = std::min(std::strlen(text), kMarkerPayloadMax - head);
    jpeg_write_m_header(cinfo, JPEG_COM, static_cast<unsigned int>(head + body));
    WriteBytes(cinfo, name, head - 2);
    WriteBytes(cinfo, ": ", 2);
    WriteBytes(cinfo, text, body);
}
