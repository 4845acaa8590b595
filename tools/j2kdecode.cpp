// j2kdecode: decodes a JPEG 2000 code-stream (raw, or inside a JP2 file) and
// writes each component as PGX at its native precision: PREFIX_N.pgx.
// Code-blocks decode on THREADS threads, the caller's among them (by default
// one per processor the process may run on, up to 8, as ImgLib's loader).
//   usage: j2kdecode [-t THREADS] FILE PREFIX
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "jpeg2000/block_pool.h"
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

// Writes every component row by row as the decoder hands the rows out.
bool write_pgx(j2k::codestream_ref cs, const std::string& prefix, int threads) {
    const int n = cs.component_count();
    constexpr size_t buffer_size = 128 << 10;
    std::vector<std::unique_ptr<char[]>> buffers(static_cast<size_t>(n));
    std::vector<FILE*> files(static_cast<size_t>(n), nullptr);
    struct closer {
        std::vector<FILE*>& files;
        ~closer() {
            for (FILE* f : files)
                if (f) std::fclose(f);
        }
    } guard{files};
    std::vector<j2k::rect> extents;
    for (int c = 0; c < n; ++c) {
        FILE*& f = files[static_cast<size_t>(c)];
        f = std::fopen((prefix + "_" + std::to_string(c) + ".pgx").c_str(), "wb");
        if (!f) return false;
        // Rows go out in large writes rather than a system call each.
        buffers[static_cast<size_t>(c)] = std::make_unique_for_overwrite<char[]>(buffer_size);
        std::setvbuf(f, buffers[static_cast<size_t>(c)].get(), _IOFBF, buffer_size);
        const j2k::rect e = cs.component_extent(c);
        extents.push_back(e);
        std::fprintf(f, "PG ML %c %d %lld %lld\n", cs.sample_signed(c) ? '-' : '+',
                     cs.sample_precision(c), static_cast<long long>(e.size.x),
                     static_cast<long long>(e.size.y));
    }
    j2k::codestream_decoder decoder(cs);
    decoder.set_workers(threads - 1);
    std::vector<int32_t> row;
    std::vector<uint8_t> bytes;
    bool ok = true;
    decoder.for_each_row([&](int c, int64_t) {
        row.resize(static_cast<size_t>(extents[static_cast<size_t>(c)].size.x));
        decoder.next_row(c, row.data());
        const int precision = cs.sample_precision(c);
        const int width = precision <= 8 ? 1 : precision <= 16 ? 2 : 4;
        bytes.resize(row.size() * static_cast<size_t>(width));
        uint8_t* out = bytes.data();
        for (int32_t v : row)
            for (int b = width - 1; b >= 0; --b)
                *out++ = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * b));
        ok = ok && std::fwrite(bytes.data(), 1, bytes.size(), files[static_cast<size_t>(c)]) ==
                       bytes.size();
    });
    for (FILE*& f : files) {
        ok = std::fclose(f) == 0 && ok;
        f = nullptr;
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    int threads = std::max(j2k::block_pool::default_workers(), 1);
    if (argc == 5 && std::string(argv[1]) == "-t") {
        threads = std::atoi(argv[2]);
        argv += 2;
        argc -= 2;
    }
    if (argc != 3 || threads < 1) {
        std::cerr << "usage: j2kdecode [-t THREADS] FILE PREFIX\n";
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
        auto decode = [&](j2k::codestream_source& source) {
            j2k::codestream_ref cs = j2k::codestream_ref::create_input(&source);
            struct disposer {
                j2k::codestream_ref& cs;
                ~disposer() { cs.dispose(); }
            } guard{cs};
            return write_pgx(cs, argv[2], threads);
        };
        bool written;
        if (n >= 6 && head[4] == 0x6A && head[5] == 0x50) {
            j2k::boxed_file_reader jp2(f);
            written = decode(jp2);
        } else {
            j2k::file_codestream_source source(f);
            written = decode(source);
        }
        if (!written) {
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
