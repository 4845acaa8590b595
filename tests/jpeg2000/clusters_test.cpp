// SIZ, COD/COC, QCD/QCC, RGN, POC and CRG: completion, writing, reading.
#include "jpeg2000/clusters.h"

#include <gtest/gtest.h>

#include <cmath>

#include "jpeg2000/util.h"
#include "support.h"

using namespace j2k;
using j2ktest::failure_of;
using j2ktest::header_bytes;
using j2ktest::split_segments;

namespace {

// A completed tree for an image of the given size and depth.
std::unique_ptr<param_tree> image_tree(int components, int height, int width, int depth,
                                       const std::function<void(param_tree&)>& set = {}) {
    auto tree = make_codestream_tree();
    j2k_params* siz = tree->root();
    siz->put_int("Scomponents", 0, 0, components);
    siz->put_int("Sdims", 0, 0, height);
    siz->put_int("Sdims", 0, 1, width);
    siz->put_int("Sprecision", 0, 0, depth);
    siz->put_bool("Ssigned", 0, 0, false);
    for (int c = 0; c < components; ++c)
        tree->ensure(-1, c);
    if (set) set(*tree);
    siz->complete_all();
    return tree;
}

int read_int(const j2k_params* p, const char* name, int record = 0, int field = 0) {
    int v = -999;
    p->read_int(name, record, field, v);
    return v;
}

// Reads the segments into a fresh tree (after its SIZ) and writes them again.
std::vector<uint8_t> reread(const std::vector<uint8_t>& bytes, int tile = -1) {
    auto tree = make_codestream_tree();
    for (auto& s : split_segments(bytes))
        EXPECT_TRUE(tree->root()->dispatch_marker_segment(s.code, static_cast<int>(s.body.size()),
                                                          s.body.data(), -1, 0))
            << std::hex << s.code;
    return header_bytes(*tree->root(), tile);
}

} // namespace

TEST(Siz, CompletionFindsCanvasAndFactors) {
    auto tree = make_siz_tree();
    j2k_params* siz = tree->root();
    siz->put_int("Scomponents", 0, 0, 3);
    siz->put_int("Sdims", 0, 0, 480);
    siz->put_int("Sdims", 0, 1, 640);
    siz->complete();
    EXPECT_EQ(read_int(siz, "Ssize", 0, 0), 480);
    EXPECT_EQ(read_int(siz, "Ssize", 0, 1), 640);
    EXPECT_EQ(read_int(siz, "Ssampling", 2, 1), 1);
    EXPECT_EQ(read_int(siz, "Stiles", 0, 0), 480);

    auto two = make_siz_tree();
    siz = two->root();
    siz->put_int("Sdims", 0, 0, 100);
    siz->put_int("Sdims", 0, 1, 100);
    siz->put_int("Sdims", 1, 0, 50);
    siz->put_int("Sdims", 1, 1, 50);
    siz->complete();
    EXPECT_EQ(read_int(siz, "Ssize", 0, 0), 100);
    EXPECT_EQ(read_int(siz, "Ssampling", 1, 0), 2);
    EXPECT_EQ(read_int(siz, "Ssampling", 0, 1), 1);

    auto none = make_siz_tree();
    EXPECT_EQ(failure_of([&] { none->root()->complete(); }), "Cannot finalize SIZ information");
}

TEST(Siz, WritingChecksDepthAndComponents) {
    auto tree = image_tree(1, 8, 8, 38);
    auto bytes = header_bytes(*tree->root(), -1);
    auto segs = split_segments(bytes);
    ASSERT_EQ(segs[0].code, 0xFF51);
    EXPECT_EQ(segs[0].body.size(), 36u + 3);
    EXPECT_EQ(segs[0].body[36], 37); // Ssiz
    tree->root()->put_int("Sprecision", 0, 0, 39);
    tree->root()->set_marked(false);
    EXPECT_EQ(failure_of([&] { header_bytes(*tree->root(), -1); }),
              "Illegal image sample bit-depth 39");
    tree->root()->put_int("Scomponents", 0, 0, 16385);
    EXPECT_EQ(failure_of([&] { header_bytes(*tree->root(), -1); }),
              "Illegal number of image components");
}

TEST(Cod, CodeBlockAndPrecinctLimits) {
    struct row {
        int h, w;
        std::string error;
    } rows[] = {
        {32, 128, ""},
        {4, 1024, ""},
        {64, 128,
         "Maximum code-block dimensions must be no less than 4, maximum code-block area must not "
         "exceed 4096"},
        {48, 64, "Maximum code-block dimensions must be powers of 2"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.error);
        auto tree = image_tree(1, 16, 16, 8, [&](param_tree& t) {
            t.cluster("COD")->head()->put_int("Cblk", 0, 0, r.h);
            t.cluster("COD")->head()->put_int("Cblk", 0, 1, r.w);
        });
        std::vector<uint8_t> bytes;
        EXPECT_EQ(failure_of([&] { bytes = header_bytes(*tree->root(), -1); }), r.error);
        if (r.error.empty()) {
            auto cod = split_segments(bytes)[1];
            EXPECT_EQ(cod.body[6], log2_exact(r.w) - 2);
            EXPECT_EQ(cod.body[7], log2_exact(r.h) - 2);
        }
    }
    auto tree = image_tree(1, 16, 16, 8, [](param_tree& t) {
        t.cluster("COD")->head()->put_int("Cprecincts", 0, 0, 100);
        t.cluster("COD")->head()->put_int("Cprecincts", 0, 1, 100);
    });
    EXPECT_EQ(failure_of([&] { header_bytes(*tree->root(), -1); }),
              "Precinct dimensions must be exact powers of 2!");
}

TEST(Cod, ColourTransformCompletion) {
    EXPECT_EQ(read_int(image_tree(3, 8, 8, 8)->cluster("COD")->head(), "Clayers"), 1);
    bool ycc = false;
    image_tree(3, 8, 8, 8)->cluster("COD")->head()->read_bool("Cycc", 0, 0, ycc);
    EXPECT_TRUE(ycc);
    image_tree(4, 8, 8, 8)->cluster("COD")->head()->read_bool("Cycc", 0, 0, ycc);
    EXPECT_FALSE(ycc);
    image_tree(3, 8, 8, 8, [](param_tree& t) { t.root()->put_int("Sprecision", 2, 0, 12); })
        ->cluster("COD")
        ->head()
        ->read_bool("Cycc", 0, 0, ycc);
    EXPECT_FALSE(ycc);
}

TEST(Cod, TransformByteTwoIsIrreversible53) {
    auto tree = make_codestream_tree();
    tree->root()->put_int("Scomponents", 0, 0, 1);
    const uint8_t cod[] = {0, 0, 0, 1, 0, 5, 4, 4, 0, 2};
    ASSERT_TRUE(tree->root()->dispatch_marker_segment(0xFF52, sizeof cod, cod, -1, 0));
    const j2k_params* p = tree->cluster("COD")->head();
    bool reversible = true;
    p->read_bool("Creversible", 0, 0, reversible);
    EXPECT_FALSE(reversible);
    EXPECT_EQ(read_int(p, "Ckernels"), W5X3);
}

TEST(Qcd, ReversibleRangesFollowTheDepth) {
    auto eight = image_tree(1, 64, 64, 8, [](param_tree& t) {
        t.cluster("COD")->head()->put_bool("Creversible", 0, 0, true);
    });
    const j2k_params* q = eight->cluster("QCD")->head();
    EXPECT_EQ(q->own_records("Qabs_ranges"), 16);
    const int want8[] = {10, 11, 11, 12};
    for (int b = 0; b < 4; ++b)
        EXPECT_EQ(read_int(q, "Qabs_ranges", b), want8[b]);
    EXPECT_EQ(read_int(q, "Qabs_ranges", 15), 12);
    auto four = image_tree(1, 64, 64, 4, [](param_tree& t) {
        t.cluster("COD")->head()->put_bool("Creversible", 0, 0, true);
    });
    q = four->cluster("QCD")->head();
    EXPECT_EQ(read_int(q, "Qabs_ranges", 0), 7);
    EXPECT_EQ(read_int(q, "Qabs_ranges", 1), 8);
    EXPECT_EQ(read_int(q, "Qabs_ranges", 3), 9);
}

TEST(Qcd, StepSizeCoding) {
    EXPECT_EQ(encode_step(0.3f).exponent, 2);
    EXPECT_EQ(encode_step(0.3f).mantissa, 410);
    EXPECT_FLOAT_EQ(decode_step(encode_step(0.3f)), 1.2001953f / 4);
    EXPECT_EQ(encode_step(2.5f).exponent, 0);
    EXPECT_EQ(encode_step(2.5f).mantissa, 2047);
    EXPECT_EQ(encode_step(1e-12f).exponent, 31);
    EXPECT_EQ(encode_step(1e-12f).mantissa, 0);
    EXPECT_EQ(failure_of([] { encode_step(0); }),
              "Absolute quantization step sizes must be strictly positive");
}

TEST(Qcd, IrreversibleDefaultsDeriveEveryBand) {
    auto tree = image_tree(1, 64, 64, 8);
    const j2k_params* q = tree->cluster("QCD")->head();
    float step = 0;
    bool derived = true;
    ASSERT_TRUE(q->read_float("Qstep", 0, 0, step));
    EXPECT_EQ(step, 0.00390625f);
    q->read_bool("Qderived", 0, 0, derived);
    EXPECT_FALSE(derived);
    EXPECT_EQ(q->own_records("Qabs_steps"), 16);
    // LL of 5 levels: the base step over the 9/7 low-pass gain, representable.
    q->read_float("Qabs_steps", 0, 0, step);
    EXPECT_EQ(step, decode_step(encode_step(step)));
    EXPECT_LT(step, 0.00390625f / 10);

    auto one = image_tree(1, 64, 64, 8, [](param_tree& t) {
        t.cluster("QCD")->head()->put_float("Qabs_steps", 0, 0, 0.5f);
    });
    auto segs = split_segments(header_bytes(*one->root(), -1));
    ASSERT_EQ(segs[2].code, 0xFF5C);
    EXPECT_EQ(segs[2].body.size(), 3u); // Lqcd 5: the LL step only
    EXPECT_EQ(segs[2].body[0] & 31, 1);
}

TEST(RgnPocCrg, WritingRules) {
    auto tree = image_tree(3, 16, 16, 8, [](param_tree& t) {
        t.ensure(0, 1);
        t.cluster("RGN")->find(-1, 1)->put_int("Rshift", 0, 0, 5);
        t.cluster("RGN")->find(0, 1)->put_int("Rshift", 0, 0, 5);
        t.cluster("CRG")->head()->put_float("CRGoffset", 0, 0, 0.5f);
        t.cluster("CRG")->head()->put_float("CRGoffset", 0, 1, 0.25f);
    });
    auto main = split_segments(header_bytes(*tree->root(), -1));
    ASSERT_EQ(main.back().code, 0xFF63);
    EXPECT_EQ(main.back().body,
              (std::vector<uint8_t>{0x40, 0, 0x80, 0, 0x40, 0, 0x80, 0, 0x40, 0, 0x80, 0}));
    EXPECT_EQ(main[main.size() - 2].code, 0xFF5E);
    EXPECT_TRUE(header_bytes(*tree->root(), 0).empty());
    tree->cluster("RGN")->find(0, 1)->put_int("Rshift", 0, 0, 6);
    EXPECT_EQ(split_segments(header_bytes(*tree->root(), 0)).at(0).code, 0xFF5E);
    tree->cluster("RGN")->find(0, 1)->put_int("Rshift", 0, 0, 256);
    tree->cluster("RGN")->find(0, 1)->set_marked(false);
    EXPECT_EQ(failure_of([&] { header_bytes(*tree->root(), 0); }), "Illegal ROI up-shift 256");

    // RGN completion warns above 37.
    j2ktest::kept_messages sink;
    message_scope scope(&sink);
    tree->cluster("RGN")->find(0, 1)->put_int("Rshift", 0, 0, 37);
    tree->cluster("RGN")->find(0, 1)->complete();
    EXPECT_TRUE(sink.warnings.empty());
    tree->cluster("RGN")->find(0, 1)->put_int("Rshift", 0, 0, 40);
    tree->cluster("RGN")->find(0, 1)->complete();
    EXPECT_EQ(sink.warnings.size(), 1u);
}

TEST(RgnPocCrg, PocComponentEndOf256AndInstances) {
    auto tree = image_tree(3, 16, 16, 8);
    tree->ensure(0, -1);
    j2k_params* poc = tree->cluster("POC")->find(0, -1);
    const int rec[] = {0, 0, 1, 33, 256, RPCL};
    for (int f = 0; f < 6; ++f)
        poc->put_int("Porder", 0, f, rec[f]);
    header_bytes(*tree->root(), -1);
    auto segs = split_segments(header_bytes(*tree->root(), 0));
    ASSERT_EQ(segs.size(), 1u);
    EXPECT_EQ(segs[0].body, (std::vector<uint8_t>{0, 0, 0, 1, 33, 0, 2}));
    // Two POC segments of one tile-part header land in instances 0 and 1.
    auto reader = make_codestream_tree();
    reader->root()->put_int("Scomponents", 0, 0, 3);
    for (int n = 0; n < 2; ++n)
        ASSERT_TRUE(reader->root()->dispatch_marker_segment(0xFF5F, 7, segs[0].body.data(), 0, 0));
    EXPECT_EQ(read_int(reader->cluster("POC")->find(0, -1, 1), "Porder", 0, 4), 256);
}

TEST(Segments, EveryKindSurvivesWriteReadWrite) {
    auto tree = image_tree(3, 40, 50, 10, [](param_tree& t) {
        j2k_params* cod = t.cluster("COD")->head();
        cod->put_int("Clevels", 0, 0, 3);
        cod->put_int("Clayers", 0, 0, 4);
        cod->put_bool("Cuse_sop", 0, 0, true);
        cod->put_int("Corder", 0, 0, CPRL);
        cod->put_int("Cmodes", 0, 0, 1 | 8 | 16);
        for (int r = 0; r < 4; ++r) {
            cod->put_int("Cprecincts", r, 0, 128 >> r);
            cod->put_int("Cprecincts", r, 1, 64 >> r);
        }
        t.cluster("COD")->find(-1, 2)->put_bool("Creversible", 0, 0, true);
        t.cluster("COD")->find(-1, 2)->put_int("Clevels", 0, 0, 2);
        t.cluster("QCD")->head()->put_int("Qguard", 0, 0, 2);
        t.cluster("RGN")->find(-1, 1)->put_int("Rshift", 0, 0, 7);
        const int rec[] = {0, 0, 2, 4, 3, LRCP};
        for (int f = 0; f < 6; ++f)
            t.cluster("POC")->head()->put_int("Porder", 0, f, rec[f]);
        t.cluster("CRG")->head()->put_float("CRGoffset", 0, 0, 0.125f);
        t.cluster("CRG")->head()->put_float("CRGoffset", 0, 1, 0.75f);
    });
    auto first = header_bytes(*tree->root(), -1);
    std::vector<int> codes;
    for (auto& s : split_segments(first))
        codes.push_back(s.code);
    EXPECT_EQ(codes,
              (std::vector<int>{0xFF51, 0xFF52, 0xFF53, 0xFF5C, 0xFF5D, 0xFF5E, 0xFF5F, 0xFF63}));
    EXPECT_EQ(reread(first), first);
}

TEST(Segments, HostileSegmentsAreRefused) {
    struct row {
        const char* name;
        int code;
        std::vector<uint8_t> body;
        int components;
        std::string error;
    };
    auto siz = [](int csiz, int depth, int extra) {
        std::vector<uint8_t> b = {0, 0, 0, 0, 0,  16, 0, 0, 0,  16, 0, 0, 0, 0, 0, 0, 0,
                                  0, 0, 0, 0, 16, 0,  0, 0, 16, 0,  0, 0, 0, 0, 0, 0, 0};
        b.push_back(static_cast<uint8_t>(csiz >> 8));
        b.push_back(static_cast<uint8_t>(csiz));
        for (int c = 0; c < std::min(csiz, 4); ++c)
            b.insert(b.end(), {uint8_t(depth - 1), 1, 1});
        b.insert(b.end(), static_cast<size_t>(extra), 0);
        return b;
    };
    const row rows[] = {
        {"SIZ Csiz 0", 0xFF51, siz(0, 8, 0), 0,
         "Invalid marker segment <SIZ>: Csiz 0 outside 1..16384"},
        {"SIZ length not 38 + 3 Csiz", 0xFF51, siz(200, 8, 0), 0,
         "Invalid marker segment <SIZ>: Lsiz 50 is not 38 + 3 x Csiz"},
        {"SIZ two extra bytes", 0xFF51, siz(1, 8, 2), 0,
         "Invalid marker segment <SIZ>: Lsiz 43 is not 38 + 3 x Csiz"},
        {"SIZ depth 39", 0xFF51, siz(1, 39, 0), 0,
         "Invalid marker segment <SIZ>: component depth 39 above 38"},
        {"SIZ short",
         0xFF51,
         {0, 0, 0},
         0,
         "Malformed SIZ marker segment. Marker segment too small"},
        {"COD 33 levels",
         0xFF52,
         {0, 0, 0, 1, 0, 33, 4, 4, 0, 1},
         1,
         "Invalid marker segment <COD>: 33 levels, above 32"},
        {"COD code-block area",
         0xFF52,
         {0, 0, 0, 1, 0, 5, 5, 4, 0, 1},
         1,
         "Invalid marker segment <COD>: code-block exponents above 10 or area above 4096"},
        {"COD bad Scod",
         0xFF52,
         {0x20, 0, 0, 1, 0, 5, 4, 4, 0, 1},
         1,
         "Malformed COD marker segment"},
        {"COD bad transform",
         0xFF52,
         {0, 0, 0, 1, 0, 5, 4, 4, 0, 3},
         1,
         "Illegal DWT kernels specification"},
        {"COD short",
         0xFF52,
         {0, 0, 0, 1, 0, 5},
         1,
         "Malformed COD marker segment. Segment too small"},
        {"COD extra",
         0xFF52,
         {0, 0, 0, 1, 0, 5, 4, 4, 0, 1, 9},
         1,
         "Malformed COD/COC marker segment. The final 1 bytes were not consumed!"},
        {"COC component beyond the image",
         0xFF53,
         {5, 0, 5, 4, 4, 0, 1},
         3,
         "Invalid marker segment <COC>: component index 5 is not below the image's 3 components"},
        {"QCD style 3", 0xFF5C, {0x23, 1, 1}, 1, "Undefined style byte found in QCD/QCC marker"},
        {"QCD no band", 0xFF5C, {0x22}, 1, "Malformed QCD/QCC marker segment. Segment too small"},
        {"QCD odd byte", 0xFF5C, {0x22, 1, 1, 1}, 1, "Malformed QCD/QCC marker segment"},
        {"RGN shift 32",
         0xFF5E,
         {0, 0, 32},
         1,
         "Invalid marker segment <RGN>: up-shift 32 above 31"},
        {"RGN style 1", 0xFF5E, {0, 1, 3}, 1, "Encountered non-Part1 RGN marker segment"},
        {"POC too small",
         0xFF5F,
         {0, 0, 0},
         1,
         "Malformed POC marker segment encountered. Marker segment is too small."},
        {"POC order 5",
         0xFF5F,
         {0, 0, 0, 1, 1, 1, 5},
         1,
         "Invalid marker segment <POC>: progression order 5"},
        {"CRG short",
         0xFF63,
         {0, 0},
         1,
         "Malformed CRG marker segment encountered. Marker segment is too small."},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        auto tree = make_codestream_tree();
        if (r.components) tree->root()->put_int("Scomponents", 0, 0, r.components);
        EXPECT_EQ(failure_of([&] {
                      tree->root()->dispatch_marker_segment(r.code, static_cast<int>(r.body.size()),
                                                            r.body.data(), -1, 0);
                  }),
                  r.error);
    }
}
