// Encoding: our code-streams decode exactly (lossless) or closely (lossy)
// through our decoder and through opj_decompress, and layers keep to their
// byte targets.
#include "jpeg2000/encoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <random>

#include "jpeg2000/oracle.h"
#include "jpeg2000/params.h"
#include "jpeg2000/sources.h"
#include "jpeg2000/support.h"
#include "support/files.h"
#include "support/test_folder.h"
#include "support/tools.h"

namespace fs = std::filesystem;

namespace {

using setter = std::function<void(j2k::codestream_ref&)>;

void set_int(j2k::codestream_ref& cs, const char* cluster, const char* name, int value) {
    cs.access_params(cluster, -1, -1).put_int(name, 0, 0, value);
}

// Smooth gradients with noise and a few edges, like photographs.
std::vector<j2k::component_image> make_images(int n, int h, int w, int precision, bool is_signed,
                                              unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<j2k::component_image> out(static_cast<size_t>(n));
    const int64_t top = (int64_t{1} << precision) - 1;
    for (int c = 0; c < n; ++c) {
        j2k::component_image& im = out[c];
        im.width = w;
        im.height = h;
        im.precision = precision;
        im.is_signed = is_signed;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                double v =
                    (x * 0.6 + y * 0.3 + c * 17) / (w + h) + ((x / 9 + y / 7) % 3 == 0) * 0.2;
                v += std::normal_distribution<>(0, 0.03)(rng);
                int64_t s = std::clamp<int64_t>(std::llround(v * top * 0.8), 0, top);
                if (is_signed) s -= (top + 1) / 2;
                im.samples.push_back(static_cast<int32_t>(s));
            }
    }
    return out;
}

std::vector<uint8_t> encode(const std::vector<j2k::component_image>& images, const setter& set,
                            const std::vector<int64_t>& layer_bytes = {},
                            const std::function<void(j2k::j2k_params&)>& set_siz = nullptr,
                            j2k::sample_source* source = nullptr) {
    auto tree = j2k::make_siz_tree();
    j2k::j2k_params* siz = tree->root();
    siz->put_int("Scomponents", 0, 0, static_cast<int>(images.size()));
    siz->put_int("Sdims", 0, 0, static_cast<int>(images[0].height));
    siz->put_int("Sdims", 0, 1, static_cast<int>(images[0].width));
    siz->put_int("Sprecision", 0, 0, images[0].precision);
    siz->put_bool("Ssigned", 0, 0, images[0].is_signed);
    if (set_siz) set_siz(*siz);
    siz->complete();
    j2k::memory_codestream_sink sink;
    j2k::codestream_ref cs = j2k::codestream_ref::create_output(*siz, &sink);
    if (set) set(cs);
    cs.root_siz().complete_all();
    if (source)
        j2k::codestream_encoder::encode(cs, *source, layer_bytes);
    else
        j2k::codestream_encoder::encode(cs, images, layer_bytes);
    cs.dispose();
    return sink.data;
}

std::vector<j2k::component_image> decode(const std::vector<uint8_t>& bytes) {
    j2k::memory_codestream_source source(bytes);
    j2k::codestream_ref cs = j2k::codestream_ref::create_input(&source);
    std::vector<j2k::component_image> out = j2k::codestream_decoder::decode(cs);
    cs.dispose();
    return out;
}

// A peer's reading of the stream (tool: its command with options), one
// image per component.
std::vector<j2k::component_image> peer_decode(const std::string& tool,
                                              const std::vector<uint8_t>& bytes,
                                              const fs::path& dir, size_t components) {
    const fs::path stream = dir / "s.j2k";
    vxtest::WriteBytes(stream, bytes);
    std::vector<j2k::component_image> out;
    fs::remove(dir / "o_0.pgx");
    if (vxtest::Shell(tool + " -i '" + stream.string() + "' -o '" + (dir / "o.pgx").string() +
                      "' >/dev/null 2>&1") != 0)
        return out;
    for (size_t c = 0; c < components; ++c)
        out.push_back(j2ktest::read_pgx(dir / ("o_" + std::to_string(c) + ".pgx")));
    return out;
}

// OpenJPEG's decoder reading the first `layers` quality layers.
std::string OpenJpegThrough(int layers) {
    return "opj_decompress -threads 1 -l " + std::to_string(layers);
}

struct lossless_case {
    const char* name;
    int components, height, width, precision;
    bool is_signed;
    setter set;
    std::function<void(j2k::j2k_params&)> set_siz = nullptr;
};

TEST(Encoder, LosslessStreamsDecodeExactlyHereAndInThePeers) {
    std::vector<std::string> peers;
    if (vxtest::HaveTool("opj_decompress")) peers.push_back("opj_decompress -threads 1");
    if (vxtest::HaveTool("grk_decompress")) peers.push_back("grk_decompress -H 1");
    const fs::path dir = vxtest::MakeTestFolder("j2kenc");
    const lossless_case cases[] = {
        {"grey 8-bit, default levels", 1, 61, 77, 8, false, nullptr},
        {"grey 1-bit", 1, 33, 40, 1, false, nullptr},
        {"grey 16-bit, 2 levels", 1, 50, 64, 16, false,
         [](j2k::codestream_ref& cs) { set_int(cs, "COD", "Clevels", 2); }},
        {"signed 12-bit", 1, 40, 40, 12, true, nullptr},
        {"RGB with the colour transform, small blocks, RPCL", 3, 70, 90, 8, false,
         [](j2k::codestream_ref& cs) {
             set_int(cs, "COD", "Cycc", 1);
             cs.access_params("COD", -1, -1).put_int("Cblk", 0, 0, 16);
             cs.access_params("COD", -1, -1).put_int("Cblk", 0, 1, 32);
             set_int(cs, "COD", "Corder", 2);
         }},
        {"bypass", 1, 64, 64, 8, false,
         [](j2k::codestream_ref& cs) { set_int(cs, "COD", "Cmodes", 1); }},
        {"restart", 1, 64, 64, 8, false,
         [](j2k::codestream_ref& cs) { set_int(cs, "COD", "Cmodes", 4); }},
        {"every block coding mode", 1, 64, 64, 8, false,
         [](j2k::codestream_ref& cs) { set_int(cs, "COD", "Cmodes", 63); }},
        {"tiles and precincts", 3, 100, 130, 8, false,
         [](j2k::codestream_ref& cs) {
             j2k::j2k_params& cod = cs.access_params("COD", -1, -1);
             cod.put_bool("Cuse_precincts", 0, 0, true);
             cod.put_int("Cprecincts", 0, 0, 32);
             cod.put_int("Cprecincts", 0, 1, 32);
             set_int(cs, "COD", "Clevels", 3);
         },
         [](j2k::j2k_params& siz) {
             siz.put_int("Stiles", 0, 0, 64);
             siz.put_int("Stiles", 0, 1, 48);
         }},
        {"SOP and EPH markers, precincts and layers", 3, 60, 70, 8, false,
         [](j2k::codestream_ref& cs) {
             j2k::j2k_params& cod = cs.access_params("COD", -1, -1);
             cod.put_bool("Cuse_sop", 0, 0, true);
             cod.put_bool("Cuse_eph", 0, 0, true);
             cod.put_bool("Cuse_precincts", 0, 0, true);
             cod.put_int("Cprecincts", 0, 0, 16);
             cod.put_int("Cprecincts", 0, 1, 16);
             set_int(cs, "COD", "Clayers", 3);
         }},
        {"odd origin: resolutions of 1 to 3 rows starting at odd rows and columns", 3, 37, 23, 8,
         false,
         [](j2k::codestream_ref& cs) {
             set_int(cs, "COD", "Cycc", 1);
             set_int(cs, "COD", "Clevels", 4);
         },
         [](j2k::j2k_params& siz) {
             siz.put_int("Sorigin", 0, 0, 13);
             siz.put_int("Sorigin", 0, 1, 7);
             siz.put_int("Stiles", 0, 0, 19);
             siz.put_int("Stiles", 0, 1, 11);
         }},
    };
    for (const lossless_case& k : cases) {
        SCOPED_TRACE(k.name);
        const auto images =
            make_images(k.components, k.height, k.width, k.precision, k.is_signed, 3);
        const std::vector<uint8_t> bytes = encode(
            images,
            [&](j2k::codestream_ref& cs) {
                cs.access_params("COD", -1, -1).put_bool("Creversible", 0, 0, true);
                if (k.set) k.set(cs);
            },
            {}, k.set_siz);
        const auto ours = decode(bytes);
        ASSERT_EQ(ours.size(), images.size());
        for (size_t c = 0; c < images.size(); ++c)
            EXPECT_EQ(ours[c].samples, images[c].samples) << "component " << c;
        for (const std::string& peer : peers) {
            SCOPED_TRACE(peer);
            const auto theirs = peer_decode(peer, bytes, dir, images.size());
            ASSERT_EQ(theirs.size(), images.size()) << "the peer refused the stream";
            for (size_t c = 0; c < images.size(); ++c)
                EXPECT_EQ(theirs[c].samples, images[c].samples) << "component " << c;
        }
    }
    fs::remove_all(dir);
}

} // namespace

namespace {

double psnr(const std::vector<j2k::component_image>& a,
            const std::vector<j2k::component_image>& b) {
    if (a.size() != b.size()) return 0;
    double mse = 0;
    for (size_t c = 0; c < a.size(); ++c)
        mse += j2ktest::compare(a[c], b[c]).mse / static_cast<double>(a.size());
    const double top = std::ldexp(1.0, a[0].precision) - 1;
    return 10 * std::log10(top * top / std::max(mse, 1e-12));
}

void write_pnm(const fs::path& path, const std::vector<j2k::component_image>& images) {
    const std::string head = (images.size() == 3 ? "P6\n" : "P5\n") +
                             std::to_string(images[0].width) + " " +
                             std::to_string(images[0].height) + "\n255\n";
    std::vector<uint8_t> bytes(head.begin(), head.end());
    for (size_t i = 0; i < images[0].samples.size(); ++i)
        for (const auto& im : images)
            bytes.push_back(static_cast<uint8_t>(im.samples[i]));
    vxtest::WriteBytes(path, bytes);
}

TEST(Encoder, LossyLayersKeepToTheirTargetsAndMatchOpenJpegQuality) {
    if (!vxtest::HaveTool("opj_decompress") || !vxtest::HaveTool("opj_compress"))
        GTEST_SKIP() << "no opj tools";
    const fs::path dir = vxtest::MakeTestFolder("j2kenc-lossy");
    const auto images = make_images(3, 128, 160, 8, false, 9);
    const int64_t raw = 128 * 160 * 3;
    const std::vector<int64_t> targets = {raw / 96, raw / 48, raw / 24, raw / 12};
    const std::vector<uint8_t> bytes = encode(
        images, [](j2k::codestream_ref& cs) { set_int(cs, "COD", "Clayers", 4); }, targets);
    EXPECT_LE(static_cast<int64_t>(bytes.size()), targets.back());
    EXPECT_GE(static_cast<double>(bytes.size()), 0.95 * static_cast<double>(targets.back()));
    // Each layer adds quality, in our decoder's reading and the peer's.
    double last = 0;
    for (int layers = 1; layers <= 4; ++layers) {
        SCOPED_TRACE(layers);
        const double q = psnr(images, peer_decode(OpenJpegThrough(layers), bytes, dir, 3));
        EXPECT_GT(q, last + 0.5);
        last = q;
    }
    EXPECT_NEAR(psnr(images, decode(bytes)), last, 0.1);
    // At the same size, at least as good as OpenJPEG's own encoder.
    write_pnm(dir / "in.ppm", images);
    ASSERT_EQ(
        vxtest::Shell("opj_compress -i '" + (dir / "in.ppm").string() + "' -o '" +
                      (dir / "p.j2k").string() + "' -r " +
                      std::to_string(static_cast<double>(raw) / static_cast<double>(bytes.size())) +
                      " >/dev/null 2>&1"),
        0);
    const std::vector<uint8_t> peer = vxtest::ReadBytes(dir / "p.j2k");
    EXPECT_LE(peer.size(), bytes.size() + 16);
    EXPECT_GE(psnr(images, decode(bytes)), psnr(images, decode(peer)))
        << "ours " << bytes.size() << " bytes, OpenJPEG's " << peer.size();
    fs::remove_all(dir);
}

// Layers without byte targets (a lossless save) are spread between the
// empty stream and the whole one: each adds quality and the last is exact.
TEST(Encoder, LayersWithoutTargetsEachAddQuality) {
    if (!vxtest::HaveTool("opj_decompress")) GTEST_SKIP() << "no opj_decompress";
    const fs::path dir = vxtest::MakeTestFolder("j2kenc-untargeted");
    const auto images = make_images(3, 128, 160, 8, false, 5);
    const std::vector<uint8_t> bytes = encode(images, [](j2k::codestream_ref& cs) {
        set_int(cs, "COD", "Clayers", 3);
        cs.access_params("COD", -1, -1).put_bool("Creversible", 0, 0, true);
    });
    double last = 0;
    for (int layers = 1; layers <= 2; ++layers) {
        SCOPED_TRACE(layers);
        const double q = psnr(images, peer_decode(OpenJpegThrough(layers), bytes, dir, 3));
        EXPECT_GT(q, last + 3);
        EXPECT_LT(q, 80); // not yet the whole image
        last = q;
    }
    const std::vector<j2k::component_image> whole = decode(bytes);
    ASSERT_EQ(whole.size(), 3u);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(whole[c].samples, images[c].samples) << "component " << c;
    fs::remove_all(dir);
}

// A layer whose target even its fewest passes exceed is reported once for
// the whole stream; the others keep to theirs.
TEST(Encoder, AnUnreachableLayerTargetIsReported) {
    const auto images = make_images(3, 64, 64, 8, false, 3);
    const int64_t raw = 64 * 64 * 3;
    j2ktest::kept_messages sink;
    j2k::message_scope scope(&sink);
    const std::vector<uint8_t> bytes = encode(
        images,
        [](j2k::codestream_ref& cs) { set_int(cs, "COD", "Clayers", 2); }, {10, raw / 8},
        [](j2k::j2k_params& siz) {
            siz.put_int("Stiles", 0, 0, 32);
            siz.put_int("Stiles", 0, 1, 32);
        });
    ASSERT_EQ(sink.warnings.size(), 1u);
    EXPECT_NE(sink.warnings[0].find("Unable to achieve the rate target for quality layer 0."),
              std::string::npos)
        << sink.warnings[0];
    EXPECT_LE(static_cast<int64_t>(bytes.size()), raw / 8);
    EXPECT_GT(psnr(images, decode(bytes)), 25);
}

} // namespace

namespace {

// One grey image with a square region of interest.
struct region_source : j2k::sample_source {
    const j2k::component_image& image;
    int64_t top, left, size;
    region_source(const j2k::component_image& i, int64_t t, int64_t l, int64_t n)
        : image(i), top(t), left(l), size(n) {}
    void row(int, int64_t y, int64_t x0, int64_t n, int32_t* out) override {
        std::copy_n(image.samples.data() + y * image.width + x0, n, out);
    }
    bool has_region() const override { return true; }
    void region_row(int, int64_t y, int64_t x0, int64_t n, uint8_t* out) override {
        for (int64_t x = 0; x < n; ++x)
            out[x] = y >= top && y < top + size && x0 + x >= left && x0 + x < left + size;
    }
    bool inside(int64_t y, int64_t x) const {
        return y >= top && y < top + size && x >= left && x < left + size;
    }
};

TEST(Encoder, RegionOfInterestIsCodedFirstByMaxShift) {
    const auto images = make_images(1, 96, 80, 8, false, 5);
    region_source source(images[0], 30, 20, 32);
    auto with_region = [](bool reversible) {
        return [reversible](j2k::codestream_ref& cs) {
            cs.access_params("COD", -1, -1).put_bool("Creversible", 0, 0, reversible);
            cs.access_params("RGN", -1, -1).put_int("Rshift", 0, 0, 14);
        };
    };
    // Every pass kept: exact, here and in the peer.
    const std::vector<uint8_t> lossless = encode(images, with_region(true), {}, nullptr, &source);
    EXPECT_EQ(decode(lossless)[0].samples, images[0].samples);
    if (vxtest::HaveTool("opj_decompress")) {
        const fs::path dir = vxtest::MakeTestFolder("j2kenc-roi");
        const auto theirs = peer_decode("opj_decompress -threads 1", lossless, dir, 1);
        ASSERT_EQ(theirs.size(), 1u);
        EXPECT_EQ(theirs[0].samples, images[0].samples);
        fs::remove_all(dir);
    }
    // A tight budget goes to the region first.
    for (bool reversible : {true, false}) {
        SCOPED_TRACE(reversible ? "5/3" : "9/7");
        const std::vector<uint8_t> small =
            encode(images, with_region(reversible), {96 * 80 / 6}, nullptr, &source);
        const j2k::component_image back = decode(small)[0];
        double in = 0, out = 0;
        int64_t n_in = 0, n_out = 0;
        for (int64_t y = 0; y < 96; ++y)
            for (int64_t x = 0; x < 80; ++x) {
                const double d = back.samples[y * 80 + x] - images[0].samples[y * 80 + x];
                (source.inside(y, x) ? in : out) += d * d;
                ++(source.inside(y, x) ? n_in : n_out);
            }
        EXPECT_LT(in / n_in * 20, out / n_out) << in / n_in << " inside, " << out / n_out;
    }
}

} // namespace

namespace {

TEST(Encoder, EachOrderChangeInstanceIsATilePart) {
    const auto images = make_images(3, 40, 56, 8, false, 11);
    // Tile 1 of two: layer 0 resolution-first, then layer 1 component-first.
    const std::vector<uint8_t> bytes = encode(
        images,
        [](j2k::codestream_ref& cs) {
            j2k::j2k_params& cod = cs.access_params("COD", -1, -1);
            cod.put_bool("Creversible", 0, 0, true);
            cod.put_int("Clayers", 0, 0, 2);
            j2k::j2k_params& poc = cs.access_params("POC", 1, -1);
            const int first[6] = {0, 0, 1, 33, 3, 1}, second[6] = {0, 0, 2, 33, 3, 4};
            for (int f = 0; f < 6; ++f)
                poc.put_int("Porder", 0, f, first[f]);
            j2k::j2k_params* next = poc.add_instance();
            ASSERT_NE(next, nullptr);
            for (int f = 0; f < 6; ++f)
                next->put_int("Porder", 0, f, second[f]);
        },
        {}, [](j2k::j2k_params& siz) { siz.put_int("Stiles", 0, 1, 32); });
    // SOT segments: tile index and tile-part index, in order.
    std::vector<std::pair<int, int>> parts;
    for (size_t i = 0; i + 10 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0x90)
            parts.emplace_back(bytes[i + 4] << 8 | bytes[i + 5], bytes[i + 10]);
    EXPECT_EQ(parts, (std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {1, 1}}));
    const auto ours = decode(bytes);
    for (size_t c = 0; c < images.size(); ++c)
        EXPECT_EQ(ours[c].samples, images[c].samples) << "component " << c;
    if (vxtest::HaveTool("opj_decompress")) {
        const fs::path dir = vxtest::MakeTestFolder("j2kenc-poc");
        const auto theirs = peer_decode("opj_decompress -threads 1", bytes, dir, images.size());
        ASSERT_EQ(theirs.size(), images.size());
        for (size_t c = 0; c < images.size(); ++c)
            EXPECT_EQ(theirs[c].samples, images[c].samples) << "component " << c;
        fs::remove_all(dir);
    }
}

} // namespace
