// Helpers of the engine's tests: a sink that keeps messages, the failure text
// of a call, and writing the segments of a header to bytes.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "jpeg2000/byte_buffers.h"
#include "jpeg2000/clusters.h"
#include "jpeg2000/messages.h"
#include "jpeg2000/params.h"

namespace j2ktest {

struct kept_messages : j2k::message_sink {
    std::vector<std::string> errors, warnings;
    void error_line(std::string_view line) override { errors.emplace_back(line); }
    void warning(std::string_view text) override { warnings.emplace_back(text); }
};

// The text of the failure a call raises, or "" when it succeeds.
inline std::string failure_of(const std::function<void()>& call) {
    try {
        call();
    } catch (const j2k::failure& f) {
        return f.what();
    }
    return "";
}

// The segments of one header as written.
inline std::vector<uint8_t> header_bytes(j2k::j2k_params& root, int tile, int tile_part = 0) {
    j2k::memory_codestream_sink sink;
    {
        j2k::codestream_output_buffer out(&sink);
        root.count_marker_bytes(&out, tile, tile_part);
    }
    return sink.data;
}

// A completed siz_params tree: unsigned 8-bit components of one size.
inline std::unique_ptr<j2k::param_tree> image_siz(int components, int height, int width) {
    auto tree = j2k::make_siz_tree();
    j2k::j2k_params* siz = tree->root();
    siz->put_int("Scomponents", 0, 0, components);
    siz->put_int("Sdims", 0, 0, height);
    siz->put_int("Sdims", 0, 1, width);
    siz->put_int("Sprecision", 0, 0, 8);
    siz->put_bool("Ssigned", 0, 0, false);
    siz->complete();
    return tree;
}

// Splits written segments into (code, body after the length field).
struct segment {
    int code;
    std::vector<uint8_t> body;
};
inline std::vector<segment> split_segments(const std::vector<uint8_t>& bytes) {
    std::vector<segment> out;
    for (size_t p = 0; p + 4 <= bytes.size();) {
        int code = bytes[p] << 8 | bytes[p + 1];
        int length = bytes[p + 2] << 8 | bytes[p + 3];
        out.push_back(
            {code, std::vector<uint8_t>(bytes.begin() + p + 4, bytes.begin() + p + 2 + length)});
        p += 2 + length;
    }
    return out;
}

} // namespace j2ktest
