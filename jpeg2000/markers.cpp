#include "jpeg2000/markers.h"

#include <cstdio>

#include "jpeg2000/byte_buffers.h"
#include "jpeg2000/clusters.h"
#include "jpeg2000/messages.h"

namespace j2k {

namespace {

using k = marker_reader_kind;

// Every code the reader knows (ITU-T T.800 Table A.2), with where it may appear.
constexpr marker_info markers[] = {
    {0xFF30, nullptr, false, in_headers, k::none},
    {0xFF4F, "SOC", false, 0, k::none},
    {0xFF51, "SIZ", true, in_main_header, k::parameters},
    {0xFF52, "COD", true, in_main_header | in_first_tile_part, k::parameters},
    {0xFF53, "COC", true, in_main_header | in_first_tile_part, k::parameters},
    {0xFF55, "TLM", true, in_main_header, k::ignored},
    {0xFF57, "PLM", true, in_main_header, k::ignored},
    {0xFF58, "PLT", true, in_tile_parts, k::ignored},
    {0xFF5C, "QCD", true, in_main_header | in_first_tile_part, k::parameters},
    {0xFF5D, "QCC", true, in_main_header | in_first_tile_part, k::parameters},
    {0xFF5E, "RGN", true, in_main_header | in_first_tile_part, k::parameters},
    {0xFF5F, "POC", true, in_headers, k::parameters},
    {0xFF60, "PPM", true, in_main_header, k::packed_main},
    {0xFF61, "PPT", true, in_tile_parts, k::packed_tile},
    {0xFF63, "CRG", true, in_main_header, k::parameters},
    {0xFF64, "COM", true, in_headers, k::comment},
    {0xFF66, nullptr, true, in_headers, k::ignored},
    {0xFF67, nullptr, true, in_headers, k::ignored},
    {0xFF68, nullptr, true, in_headers, k::ignored},
    {0xFF90, "SOT", true, 0, k::framing},
    {0xFF91, "SOP", true, in_packets, k::framing},
    {0xFF92, "EPH", false, in_packets, k::none},
    {0xFF93, "SOD", false, in_tile_parts, k::none},
    {0xFFD9, "EOC", false, 0, k::none},
};

} // namespace

const marker_info* find_marker(int code) {
    for (const marker_info& m : markers)
        if (m.code == code) return &m;
    return nullptr;
}

std::string marker_name(int code) {
    const marker_info* m = find_marker(code);
    if (m && m->name) return std::string("<") + m->name + ">";
    char text[16];
    std::snprintf(text, sizeof text, "0x%04x", code & 0xFFFF);
    return text;
}

void invalid_segment(int code, const std::string& detail) {
    fail("Invalid marker segment " + marker_name(code) + ": " + detail);
}

bool marker_reader::next(bool high_codes_only, bool skip_to_marker) {
    code_ = 0;
    length_ = 0;
    in_->set_detection(false, codestream_input_buffer::resilient);
    uint8_t b;
    while (true) {
        if (!in_->get_byte(b)) return false;
        if (b != 0xFF) {
            if (skip_to_marker) continue;
            in_->put_back(b);
            return false;
        }
        uint8_t c;
        if (!in_->get_byte(c)) return false;
        int code = 0xFF00 | c;
        bool counts = !(high_codes_only && c <= 0x8F) && c != 0xFF && c != 0x00;
        int length = -1;
        uint8_t l[2];
        if (counts && (code == 0xFF90 || code == 0xFF91)) {
            int got = in_->read(l, 2);
            length = got == 2 ? (l[0] << 8 | l[1]) : -1;
            if (length != (code == 0xFF90 ? 10 : 4)) {
                for (int i = got - 1; i >= 0; --i)
                    in_->put_back(l[i]);
                warn(code == 0xFF90 ? "Skipping over corrupt SOT marker code"
                                    : "Skipping over corrupt SOP marker code");
                counts = false;
                length = -1;
            }
        }
        if (counts && code == 0xFFD9) {
            uint8_t more;
            if (!in_->get_byte(more)) return false; // a final EOC ends reading
            in_->put_back(more);
            warn("Disregarding non-terminal EOC marker");
            counts = false;
        }
        if (!counts) {
            if (skip_to_marker) {
                // The code byte may itself start the next marker.
                if (c == 0xFF) in_->put_back(c);
                continue;
            }
            in_->put_back(c);
            in_->put_back(0xFF);
            return false;
        }
        const marker_info* info = find_marker(code);
        if (!info) warn("Unrecognized marker " + marker_name(code) + " found in code-stream");
        code_ = code;
        if (code == 0xFF30 || (info && !info->has_segment)) return true;
        if (length < 0) {
            if (in_->read(l, 2) != 2) return (code_ = 0), false;
            length = l[0] << 8 | l[1];
        }
        length -= 2;
        if (length < 0) return (code_ = 0), false;
        if (static_cast<int>(segment_.size()) < length)
            segment_.resize(2 * static_cast<size_t>(length));
        if (in_->read(segment_.data(), length) != length) return (code_ = 0), false;
        length_ = length;
        return true;
    }
}

} // namespace j2k
