// Decoding against the conformance references, against opj_decompress on
// streams made by the peers' encoders with many options, and on damaged data.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <regex>
#include <thread>

#include "jpeg2000/block_row_workers.h"
#include "jpeg2000/codestream.h"
#include "jpeg2000/decoder.h"
#include "jpeg2000/jp2_file.h"
#include "jpeg2000/oracle.h"
#include "jpeg2000/sources.h"
#include "jpeg2000/support.h"
#include "support/files.h"
#include "support/test_folder.h"
#include "support/tools.h"

namespace fs = std::filesystem;

namespace {

const fs::path conformance = fs::path(VX_CORPUS_DIR) / "jpeg2000-conformance" / "jp2";

// Decodes bytes (a raw code-stream); throws j2k::failure.
std::vector<j2k::component_image> decode_bytes(const std::vector<uint8_t>& bytes) {
    j2k::memory_codestream_source source(bytes);
    return j2k::codestream_decoder::decode(source);
}

std::vector<j2k::component_image> decode_file(const fs::path& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return {};
    if (path.extension() == ".jp2") {
        j2k::boxed_file_reader jp2(f);
        return j2k::codestream_decoder::decode(jp2);
    }
    j2k::file_codestream_source source(f);
    return j2k::codestream_decoder::decode(source);
}

using j2ktest::compare;
using j2ktest::difference;
using j2ktest::read_pgx;

struct conformance_case {
    const char* name;
    std::vector<difference> tolerance; // per component; empty: exact
    bool reference_reduced = false;    // compare with opj_decompress instead
};

TEST(Decoder, MatchesConformanceReferences) {
    if (!fs::exists(conformance)) GTEST_SKIP() << "no conformance corpus";
    const std::vector<conformance_case> cases = {
        {"p0_01", {}},
        {"p0_02", {}},
        {"p0_04", {{5, 0.776}, {4, 0.626}, {6, 1.070}}},
        {"p0_05", {{2, 0.302}, {2, 0.307}, {2, 0.269}, {0, 0}}},
        {"p0_06", {{635, 11287}, {403, 6124}, {378, 3968}, {0, 0}}},
        {"p0_07", {}},
        {"p0_08", {}, true},
        {"p0_09", {}},
        {"p0_10", {}},
        {"p0_11", {}},
        {"p0_14", {}},
        {"p1_01", {}},
        {"p1_02", {{5, 0.765}, {4, 0.616}, {6, 1.051}}},
        {"p1_04", {{624, 3080}}},
        {"p1_05", {{40, 8.458}, {40, 9.716}, {40, 10.154}}},
        {"p1_06", {{2, 0.6}, {2, 0.6}, {2, 0.6}}},
    };
    const fs::path dir = vxtest::MakeTestFolder("j2kconf");
    for (const conformance_case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path stream = conformance / c.name / (std::string(c.name) + ".j2k");
        if (!fs::exists(stream)) continue;
        const std::vector<j2k::component_image> out = decode_file(stream);
        for (size_t k = 0; k < out.size(); ++k) {
            SCOPED_TRACE(k);
            fs::path ref = conformance / c.name /
                           ("c1" + std::string(c.name) + "_" + std::to_string(k) + ".pgx");
            if (c.reference_reduced) {
                if (!vxtest::HaveTool("opj_decompress")) continue;
                if (k == 0)
                    vxtest::Shell("opj_decompress -threads 1 -i '" + stream.string() + "' -o '" +
                                  (dir / "opj.pgx").string() + "' >/dev/null 2>&1");
                ref = dir / ("opj_" + std::to_string(k) + ".pgx");
            }
            const difference d = compare(out[k], read_pgx(ref));
            const difference t = c.tolerance.empty() ? difference{} : c.tolerance[k];
            EXPECT_LE(d.peak, t.peak);
            EXPECT_LE(d.mse, t.mse);
        }
    }
    fs::remove_all(dir);
}

// Sources that read anywhere leave the coded data in the source; one that
// reads only in sequence has it kept in memory. Both decode alike, on tiled
// streams, packed headers and progression changes among them.
TEST(Decoder, SequentialSourcesDecodeAsRandomAccessOnes) {
    if (!fs::exists(conformance)) GTEST_SKIP() << "no conformance corpus";
    class sequential_source : public j2k::codestream_source {
    public:
        explicit sequential_source(const std::vector<uint8_t>& bytes) : inner_(bytes) {}
        int read(uint8_t* bytes, int n) override { return inner_.read(bytes, n); }

    private:
        j2k::memory_codestream_source inner_;
    };
    for (const char* name : {"p0_04", "p0_07", "p0_10", "p1_04", "p1_06"}) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes =
            vxtest::ReadBytes(conformance / name / (std::string(name) + ".j2k"));
        if (bytes.empty()) continue;
        sequential_source sequential(bytes);
        const std::vector<j2k::component_image> a = j2k::codestream_decoder::decode(sequential);
        const std::vector<j2k::component_image> b = decode_bytes(bytes);
        ASSERT_EQ(a.size(), b.size());
        for (size_t k = 0; k < a.size(); ++k)
            EXPECT_EQ(a[k].samples, b[k].samples);
    }
}

// Code-blocks decoded on worker threads give the samples one thread gives.
TEST(Decoder, WorkersDecodeAsOneThread) {
    if (!fs::exists(conformance)) GTEST_SKIP() << "no conformance corpus";
    for (const char* name : {"p0_04", "p0_10", "p1_02", "p1_05"}) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes =
            vxtest::ReadBytes(conformance / name / (std::string(name) + ".j2k"));
        if (bytes.empty()) continue;
        j2k::memory_codestream_source source(bytes);
        j2k::codestream_ref cs = j2k::codestream_ref::create_input(&source);
        std::vector<std::vector<int32_t>> rows(static_cast<size_t>(cs.component_count()));
        {
            j2k::codestream_decoder decoder(cs);
            decoder.set_workers(3);
            decoder.for_each_row([&](int c, int64_t) {
                std::vector<int32_t>& r = rows[static_cast<size_t>(c)];
                const size_t at = r.size();
                r.resize(at + static_cast<size_t>(cs.component_extent(c).size.x));
                decoder.next_row(c, r.data() + at);
            });
        }
        cs.dispose();
        const std::vector<j2k::component_image> one = decode_bytes(bytes);
        ASSERT_EQ(one.size(), rows.size());
        for (size_t k = 0; k < rows.size(); ++k)
            EXPECT_EQ(rows[k], one[k].samples);
    }
}

// Samples deeper than 31 bits (the standard allows 38) would overflow the
// rows' 32-bit integers: such streams are refused, not decoded wrongly.
TEST(Decoder, SamplesDeeperThan31BitsAreRefused) {
    std::vector<uint8_t> bytes = vxtest::ReadBytes(conformance / "p0_01" / "p0_01.j2k");
    if (bytes.empty()) GTEST_SKIP() << "no conformance corpus";
    ASSERT_EQ(bytes[2] << 8 | bytes[3], 0xFF51);
    bytes[4 + 38] = 31; // Ssiz of component 0: unsigned, 32 bits
    j2ktest::kept_messages sink;
    j2k::message_scope scope(&sink);
    EXPECT_NE(j2ktest::failure_of([&] { decode_bytes(bytes); }).find("above 31 bits"),
              std::string::npos);
}

} // namespace

namespace {

// A noisy photo-like RGB image, 8 bits: smooth gradients plus noise.
void write_test_ppm(const fs::path& path, int width, int height) {
    std::mt19937 rng(7);
    std::vector<uint8_t> bytes;
    const std::string head =
        "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    bytes.assign(head.begin(), head.end());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) {
                const double v = 128 + 90 * std::sin((x * (c + 1) + y * 2) / 23.0) +
                                 static_cast<int>(rng() % 21) - 10;
                bytes.push_back(static_cast<uint8_t>(std::clamp(v, 0.0, 255.0)));
            }
    ASSERT_TRUE(vxtest::WriteBytes(path, bytes));
}

struct encoder_case {
    const char* tool;
    const char* options;
    bool lossy;
};

TEST(Decoder, MatchesOpenJpegOnPeerEncoderOptions) {
    if (!vxtest::HaveTool("opj_compress") || !vxtest::HaveTool("opj_decompress"))
        GTEST_SKIP() << "no opj tools";
    const fs::path dir = vxtest::MakeTestFolder("j2kopts");
    write_test_ppm(dir / "in.ppm", 97, 83);
    const std::vector<encoder_case> cases = {
        {"opj_compress", "", false},
        {"opj_compress", "-n 1", false},
        {"opj_compress", "-n 6 -b 4,64", false},
        {"opj_compress", "-b 16,16 -c [32,32],[16,16]", false},
        {"opj_compress", "-p RPCL -c [64,64],[32,32],[16,16] -SOP -EPH", false},
        {"opj_compress", "-p PCRL -r 40,20,10", false},
        {"opj_compress", "-p CPRL -t 32,32 -TP R", false},
        {"opj_compress", "-p RLCP -d 5,3 -T 3,2 -t 40,24 -n 3", false},
        {"opj_compress", "-s 2,2", false},
        {"opj_compress", "-mct 0", false},
        {"opj_compress", "-M 1", false},
        {"opj_compress", "-M 2", false},
        {"opj_compress", "-M 4", false},
        {"opj_compress", "-M 8", false},
        {"opj_compress", "-M 16", false},
        {"opj_compress", "-M 32", false},
        {"opj_compress", "-M 63 -r 30,10,1", false},
        {"opj_compress", "-ROI c=0,U=3", false},
        {"opj_compress", "-POC T0=0,0,1,3,2,CPRL/T0=0,0,6,3,3,LRCP", false},
        {"opj_compress", "-I -r 12", true},
        {"opj_compress", "-I -q 40", true},
        {"opj_compress", "-I -M 63 -r 20,8 -b 32,16", true},
        {"opj_compress", "-I -t 33,45 -n 3 -p RPCL -SOP -EPH", true},
        {"grk_compress", "-M 63 -p RPCL", false},
        {"grk_compress", "-I -r 12 -c [64,64],[32,32]", true},
    };
    for (const encoder_case& c : cases) {
        SCOPED_TRACE(std::string(c.tool) + " " + c.options);
        if (!vxtest::HaveTool(c.tool)) continue;
        const fs::path j2k = dir / "t.j2k";
        fs::remove(j2k);
        const int made =
            vxtest::Shell(std::string(c.tool) + " -i '" + (dir / "in.ppm").string() + "' -o '" +
                          j2k.string() + "' " + c.options + " >/dev/null 2>&1");
        EXPECT_EQ(made, 0);
        if (made != 0) continue;
        for (int k = 0; k < 3; ++k)
            fs::remove(dir / ("opj_" + std::to_string(k) + ".pgx"));
        EXPECT_EQ(vxtest::Shell("opj_decompress -threads 1 -i '" + j2k.string() + "' -o '" +
                                (dir / "opj.pgx").string() + "' >/dev/null 2>&1"),
                  0);
        const std::vector<j2k::component_image> out = decode_file(j2k);
        EXPECT_EQ(out.size(), 3u);
        if (out.size() != 3) continue;
        for (int k = 0; k < 3; ++k) {
            const difference d =
                compare(out[k], read_pgx(dir / ("opj_" + std::to_string(k) + ".pgx")));
            EXPECT_LE(d.peak, c.lossy ? 2 : 0) << "component " << k;
            EXPECT_LE(d.mse, c.lossy ? 0.5 : 0) << "component " << k;
        }
    }
    fs::remove_all(dir);
}

} // namespace

namespace {

// The outcome of decoding damaged bytes: "" or the first error line.
std::string damaged_outcome(const std::vector<uint8_t>& bytes, j2ktest::kept_messages& sink) {
    j2k::message_scope scope(&sink);
    try {
        decode_bytes(bytes);
    } catch (const j2k::failure&) {
        return sink.errors.empty() ? "failure without a message" : sink.errors.front();
    }
    return "";
}

std::vector<std::vector<uint8_t>> damaged_streams() {
    std::vector<std::vector<uint8_t>> out;
    for (const char* name : {"p0_01", "p0_09", "p0_11", "p1_01", "p1_05", "p1_06"}) {
        const std::vector<uint8_t> bytes =
            vxtest::ReadBytes(conformance / name / (std::string(name) + ".j2k"));
        if (bytes.empty()) continue;
        for (int k = 1; k <= 16; ++k)
            out.emplace_back(bytes.begin(),
                             bytes.begin() + static_cast<long>(bytes.size() * k / 17));
        std::mt19937 rng(static_cast<unsigned>(bytes.size()));
        for (int k = 0; k < 16; ++k) {
            std::vector<uint8_t> flipped = bytes;
            for (int f = 0; f < 1 + k % 4; ++f)
                flipped[rng() % flipped.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
            out.push_back(std::move(flipped));
        }
    }
    return out;
}

TEST(Decoder, DamagedStreamsEndCleanly) {
    if (!fs::exists(conformance)) GTEST_SKIP() << "no conformance corpus";
    for (const std::vector<uint8_t>& bytes : damaged_streams()) {
        j2ktest::kept_messages sink;
        const std::string outcome = damaged_outcome(bytes, sink);
        EXPECT_NE(outcome, "failure without a message");
    }
}

// Damaged streams decoded on workers (blocks decoding ahead, components
// pulled on threads of their own) end as on one thread: the same samples, or
// a failure where one thread fails, and never a hang or a crash.
TEST(Decoder, DamagedStreamsOnWorkersEndAsOnOneThread) {
    if (!fs::exists(conformance)) GTEST_SKIP() << "no conformance corpus";
    auto decode = [](const std::vector<uint8_t>& bytes, int workers) {
        j2ktest::kept_messages sink;
        j2k::message_scope scope(&sink);
        std::vector<std::vector<int32_t>> rows;
        j2k::memory_codestream_source source(bytes);
        j2k::codestream_ref cs;
        try {
            cs = j2k::codestream_ref::create_input(&source);
            rows.resize(static_cast<size_t>(cs.component_count()));
            j2k::codestream_decoder decoder(cs);
            decoder.set_workers(workers);
            decoder.for_each_row([&](int c, int64_t) {
                std::vector<int32_t>& r = rows[static_cast<size_t>(c)];
                const size_t at = r.size();
                r.resize(at + static_cast<size_t>(cs.component_extent(c).size.x));
                decoder.next_row(c, r.data() + at);
            });
        } catch (const j2k::failure&) {
            rows = {{-1}};
        }
        if (cs.exists()) cs.dispose();
        return rows;
    };
    for (const std::vector<uint8_t>& bytes : damaged_streams())
        EXPECT_EQ(decode(bytes, 3), decode(bytes, 0));
}

TEST(Decoder, ThreadsKeepTheirOwnMessages) {
    if (!fs::exists(conformance)) GTEST_SKIP() << "no conformance corpus";
    std::vector<std::vector<uint8_t>> streams = damaged_streams();
    // Alone first: what each stream says.
    std::vector<j2ktest::kept_messages> alone(8);
    std::vector<size_t> picked;
    for (size_t i = 0; i < streams.size() && picked.size() < 8; i += 5) {
        const size_t k = picked.size();
        damaged_outcome(streams[i], alone[k]);
        picked.push_back(i);
    }
    std::vector<j2ktest::kept_messages> together(picked.size());
    std::vector<std::thread> threads;
    for (size_t k = 0; k < picked.size(); ++k)
        threads.emplace_back([&, k] { damaged_outcome(streams[picked[k]], together[k]); });
    for (std::thread& t : threads)
        t.join();
    for (size_t k = 0; k < picked.size(); ++k) {
        EXPECT_EQ(together[k].errors, alone[k].errors);
        EXPECT_EQ(together[k].warnings, alone[k].warnings);
    }
}

// Blocks that fail on workers report to the operation's sink, and the same
// error as on one thread: the first failing block's, in block order.
TEST(Decoder, WorkerMessagesAreTheOperationsOnAnyWorkerCount) {
    auto run = [](int workers) {
        j2ktest::kept_messages sink;
        j2k::message_scope scope(&sink);
        j2k::block_row_workers pool(workers, &sink);
        j2k::block_work own;
        std::string thrown;
        for (int row = 0; row < 20; ++row) {
            try {
                j2k::block_row_workers::batch batch;
                pool.submit(batch, 64, [row](int i, j2k::block_work&) {
                    if (i % 7 == 3 + row % 3) {
                        j2k::error_report e;
                        e << "Code-block " << i << " of row " << row << " is damaged";
                        e.raise();
                    }
                });
                pool.wait(batch, own);
            } catch (const j2k::failure& f) {
                thrown += f.what();
                thrown += '\n';
            }
        }
        return std::make_pair(sink.errors, thrown);
    };
    const auto one = run(0);
    ASSERT_EQ(one.first.size(), 20u);
    EXPECT_EQ(one.first[0], " Code-block 3 of row 0 is damaged");
    const auto eight = run(7);
    EXPECT_EQ(eight.first, one.first);
    EXPECT_EQ(eight.second, one.second);
}

// A damaged stream says the same on one thread and on eight.
TEST(Decoder, DamagedStreamsSayTheSameOnAnyWorkerCount) {
    if (!fs::exists(conformance)) GTEST_SKIP() << "no conformance corpus";
    for (const std::vector<uint8_t>& bytes : damaged_streams()) {
        std::vector<std::string> said[2];
        for (int k = 0; k < 2; ++k) {
            j2ktest::kept_messages sink;
            j2k::message_scope scope(&sink);
            try {
                j2k::memory_codestream_source source(bytes);
                j2k::codestream_ref cs = j2k::codestream_ref::create_input(&source);
                struct disposer {
                    j2k::codestream_ref& cs;
                    ~disposer() { cs.dispose(); }
                } guard{cs};
                j2k::codestream_decoder decoder(cs);
                decoder.set_workers(k == 0 ? 0 : 7);
                std::vector<std::vector<int32_t>> rows(static_cast<size_t>(cs.component_count()));
                decoder.for_each_row([&](int c, int64_t) {
                    rows[static_cast<size_t>(c)].resize(
                        static_cast<size_t>(cs.component_extent(c).size.x));
                    decoder.next_row(c, rows[static_cast<size_t>(c)].data());
                });
            } catch (const j2k::failure&) {}
            said[k] = sink.errors;
            said[k].insert(said[k].end(), sink.warnings.begin(), sink.warnings.end());
        }
        EXPECT_EQ(said[1], said[0]);
    }
}

} // namespace
