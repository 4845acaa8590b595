#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "viewer/actions/action_blocks.h"
#include "viewer/actions/action_list.h"
#include "viewer/actions/action_names.h"

namespace {

ILColor SomeColor() {
    ILColor c;
    c.Set(0.25f, 0.5f, 0.75f);
    c.a = 0.5f;
    c.index = 7;
    return c;
}

// The bytes at offsets are the file format: pin the fields where peers
// and stored files expect them.
TEST(ActionBlocks, FieldsSitAtTheirOffsets) {
    uint8_t b[kWriteTextBytes];

    GaussBlock gauss{3, 0.5f, 9, 2.0f, {1, 0, 1, 0}};
    EncodeBlock(gauss, b);
    EXPECT_EQ(b[0], 3);
    EXPECT_EQ(b[8], 9); // the radius before the gain
    EXPECT_EQ(std::vector<uint8_t>(b + 16, b + 20), (std::vector<uint8_t>{1, 0, 1, 0}));

    ILProjectionParams p{};
    p.angleX = 1;
    p.background = SomeColor();
    p.oversampling = 3;
    p.sourceProjection = 2;
    p.targetProjection = 1;
    p.width = 0x01020304;
    p.sizeMode = 2;
    std::memset(b, 0xEE, sizeof b);
    EncodeBlock(p, b);
    EXPECT_EQ(b[7], 0x3F); // 1.0 little-endian
    EXPECT_EQ(b[40], 7);   // colour index
    EXPECT_EQ(b[44], 3);
    EXPECT_EQ(b[45], 2);
    EXPECT_EQ(b[46], 1);
    EXPECT_EQ(b[47], 0);
    EXPECT_EQ(b[48], 4);
    EXPECT_EQ(b[51], 1);
    EXPECT_EQ(b[56], 2);

    WriteTextBlock w;
    w.font.height = -12;
    w.font.weight = 700;
    w.font.italic = 1;
    std::strcpy(w.font.faceName, "Face");
    w.alignment = 2 | kRightToLeftReading;
    w.anchor = 8;
    w.orientation = 3;
    w.dialogSetting = 5;
    w.effect = -0.5f;
    w.effectX = -3;
    std::memset(b, 0xEE, sizeof b);
    EncodeBlock(w, b);
    EXPECT_EQ(b[0], 0xF4);
    EXPECT_EQ(b[16], 700 & 0xFF);
    EXPECT_EQ(b[20], 1);
    EXPECT_EQ(std::memcmp(b + 28, "Face", 5), 0);
    EXPECT_EQ(b[59], 0);
    EXPECT_EQ(b[82], 2); // bit 17
    EXPECT_EQ(b[92], 8);
    EXPECT_EQ(b[93], 3);
    EXPECT_EQ(b[94], 5);
    EXPECT_EQ(b[95], 0);
    EXPECT_EQ(b[101], 0xFD);
    EXPECT_EQ(b[103], 0);
    for (int i = 104; i < 112; ++i)
        EXPECT_EQ(b[i], 0) << i; // no text pointer yet
}

// Encode then decode gives the record back for every block type.
TEST(ActionBlocks, EveryBlockRoundTrips) {
    uint8_t b[kAlphaBytes];
    auto check = [&](auto in, uint32_t size) {
        std::memset(b, 0xEE, sizeof b);
        EncodeBlock(in, b);
        decltype(in) out{};
        EXPECT_TRUE(DecodeBlock(b, &out));
        uint8_t again[kAlphaBytes];
        EncodeBlock(out, again);
        EXPECT_EQ(std::memcmp(b, again, size), 0) << size;
    };
    check(ModeBlock{40915, 2, 1}, kModeBytes);
    check(AlphaBlock{ALPHA_ADD_MASK, 4, 0.25f, 2, 0, {}}, kAlphaBytes);
    check(AlphaBlock{ALPHA_REMOVE, 0, 0, 0, 2, {}}, kAlphaBytes);
    check(AlphaBlock{ALPHA_LOAD_FILE, 0, 0, 0, 0, u"/tmp/m\u00e4sk.png"}, kAlphaBytes);
    check(ToneMapBlock{2, 0.1f, 0.5f, 30, 1.5f, 5000}, kToneMapBytes);
    check(ColorFilterBlock{10, 20, 30, 40}, kColorFilterBytes);
    check(GaussBlock{1, 1.5f, 3, 0.2f, {1, 1, 0, 1}}, kGaussBytes);
    check(MarginsBlock{1, -2, 3, 4}, kCropBytes);
    check(ExpandBlock{{1, 2, 3, 4}, SomeColor()}, kExpandBytes);
    check(ShiftBlock{-5, 7}, kShiftBytes);
    check(ResampleBlock{640, 480, 6}, kResampleBytes);
    WriteTextBlock w;
    std::strcpy(w.font.faceName, "Sans");
    w.color = SomeColor();
    w.effect = 0.25f;
    check(w, kWriteTextBytes);
    check(ILAffineParams{12.5, 1.5, 0.5, 0.1, -0.1, SomeColor(), 2, 1, {0, 0}}, kAffineBytes);
    check(ILPerspectiveParams{{0, 0, 1, 0, 1, 1, 0, 1}, 1, 2, SomeColor(), 2, 3, {0, 0}},
          kPerspectiveBytes);
    ILProjectionParams p{};
    p.angleZ = -90;
    p.background = SomeColor();
    p.targetProjection = 3;
    p.height = 200;
    check(p, kProjectionBytes);
}

// Values from a file outside their ranges never reach a dialog or the
// library.
TEST(ActionBlocks, OutOfRangeFieldsAreRefused) {
    uint8_t b[kAlphaBytes] = {};
    struct Case {
        int32_t type;
        size_t offset;
        uint8_t value;
    };
    const Case cases[] = {
        {ACTION_MODE, 8, 4},           {ACTION_MODE, 9, 3},          {ACTION_GAUSS_FILTER, 0, 4},
        {ACTION_RESAMPLE, 8, 7},       {ACTION_WRITE_TEXT, 92, 9},   {ACTION_WRITE_TEXT, 93, 4},
        {ACTION_WRITE_TEXT, 80, 3},    {ACTION_PERSPECTIVE, 100, 3}, {ACTION_PROJECTION_3D, 45, 4},
        {ACTION_PROJECTION_3D, 56, 3}, {ACTION_ALPHA_CHANNEL, 0, 5},
    };
    auto valid = [&](int32_t type) {
        std::memset(b, 0, sizeof b);
        switch (type) {
            case ACTION_MODE:
                EncodeBlock(ModeBlock{}, b);
                break;
            case ACTION_GAUSS_FILTER:
                EncodeBlock(GaussBlock{}, b);
                break;
            case ACTION_RESAMPLE:
                EncodeBlock(ResampleBlock{10, 10, 0}, b);
                break;
            case ACTION_WRITE_TEXT:
                EncodeBlock(WriteTextBlock{}, b);
                break;
            case ACTION_PERSPECTIVE:
                EncodeBlock(ILPerspectiveParams{}, b);
                break;
            case ACTION_PROJECTION_3D:
                EncodeBlock(ILProjectionParams{}, b);
                break;
            case ACTION_ALPHA_CHANNEL:
                EncodeBlock(AlphaBlock{}, b);
                break;
        }
    };
    for (const Case& c : cases) {
        valid(c.type);
        EXPECT_TRUE(BlockIsValid(c.type, b)) << c.type;
        b[c.offset] = c.value;
        EXPECT_FALSE(BlockIsValid(c.type, b)) << c.type << " @" << c.offset;
    }

    // An unterminated face name or path, a type without a block, unknown types.
    valid(ACTION_WRITE_TEXT);
    std::memset(b, 'A', 60);
    EXPECT_FALSE(BlockIsValid(ACTION_WRITE_TEXT, b));
    std::memset(b, 0, sizeof b);
    EncodeBlock(AlphaBlock{ALPHA_LOAD_FILE, 0, 0, 0, 0, u"x"}, b);
    EXPECT_TRUE(BlockIsValid(ACTION_ALPHA_CHANNEL, b));
    std::memset(b + 4, 'A', 960);
    EXPECT_FALSE(BlockIsValid(ACTION_ALPHA_CHANNEL, b));
    EXPECT_FALSE(BlockIsValid(ACTION_CROP, nullptr));
    EXPECT_FALSE(BlockIsValid(20, b));
    EXPECT_FALSE(BlockIsValid(-1, b));
}

TEST(ActionNames, TableAndBoundedLookups) {
    EXPECT_STREQ(ActionTypeName(ACTION_NONE), "NONE");
    EXPECT_STREQ(ActionTypeName(ACTION_PROJECTION_3D), "3D Projection");
    EXPECT_STREQ(ActionTypeName(ACTION_SWAP_RED_BLUE), "Swap red/blue");
    EXPECT_STREQ(ActionNames[33], "90\xB0 clockwise");
    EXPECT_STREQ(AlignmentName(1 | kRightToLeftReading), "center");
    EXPECT_STREQ(AnchorName(8), "bottom-right");
    EXPECT_STREQ(ResampleFilterName(6), "Blackman");
    EXPECT_STREQ(ProjectionName(3), "Mirror Ball");
    EXPECT_STREQ(MappingName(2), "Image to selection (adaptive)");
    EXPECT_STREQ(GaussOperationName(3), "bloom");
    for (const char* name :
         {ActionTypeName(20), ActionTypeName(-1), AlignmentName(3), AnchorName(9),
          OrientationName(4), ResampleFilterName(7), ProjectionName(-1), MappingName(3),
          GaussOperationName(0), GaussOperationName(INT32_MIN)})
        EXPECT_STREQ(name, kUnknownName);
}

} // namespace
