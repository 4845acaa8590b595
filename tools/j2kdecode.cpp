// j2kdecode: decodes a JPEG 2000 code-stream (raw, or inside a JP2 file) and
// writes each component as PGX at its native precision: PREFIX_N.pgx.
//   usage: j2kdecode FILE PREFIX
#include <cstdio>
#include <iostream>
#include <string>

#include "jpeg2000/codestream.h"
#include "jpeg2000/decoder.h"
#include "jpeg2000/jp2_file.h"
#include "jpeg2000/messages.h"
#include "jpeg2000/sources.h"

namespace {

struct stderr_sink : j2k::message_sink {
    void error_line(std::string_view line) override { std::cerr << "error:" << line << "\n"; }
    void warning(std::string_view text) override { std::cerr << "warning:" << text; }
};

bool write_pgx(const std::string& path, const j2k::component_image& im) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "PG ML %c %d %lld %lld\n", im.is_signed ? '-' : '+', im.precision,
                 static_cast<long long>(im.width), static_cast<long long>(im.height));
    const int bytes = im.precision <= 8 ? 1 : im.precision <= 16 ? 2 : 4;
    std::vector<uint8_t> row;
    for (int32_t v : im.samples)
        for (int k = bytes - 1; k >= 0; --k)
            row.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * k)));
    const bool ok = std::fwrite(row.data(), 1, row.size(), f) == row.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: j2kdecode FILE PREFIX\n";
        return 2;
    }
    stderr_sink sink;
    j2k::message_scope scope(&sink);
    FILE* f = std::fopen(argv[1], "rb");
    if (!f) {
        std::cerr << argv[1] << ": cannot open\n";
        return 1;
    }
    try {
        unsigned char head[6] = {};
        const size_t n = std::fread(head, 1, sizeof head, f);
        std::rewind(f);
        std::vector<j2k::component_image> images;
        if (n >= 6 && head[4] == 0x6A && head[5] == 0x50) {
            j2k::boxed_file_reader jp2(f);
            images = j2k::codestream_decoder::decode(jp2);
        } else {
            j2k::file_codestream_source source(f);
            images = j2k::codestream_decoder::decode(source);
        }
        for (size_t c = 0; c < images.size(); ++c)
            if (!write_pgx(std::string(argv[2]) + "_" + std::to_string(c) + ".pgx", images[c])) {
                std::cerr << argv[2] << ": cannot write\n";
                return 1;
            }
    } catch (const j2k::failure&) {
        return 1; // the sink has shown the text
    } catch (const std::bad_alloc&) {
        std::cerr << argv[1] << ": out of memory\n";
        return 1;
    }
    return 0;
}
