#include "viewer/logic/clipboard_dib.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A BITMAPINFOHEADER with `extra` zero bytes after it (table and rows).
std::vector<uint8_t> Dib(int32_t width, int32_t height, uint16_t bits, size_t extra,
                         uint32_t compression = 0, uint32_t coloursUsed = 0) {
    std::vector<uint8_t> b(40 + extra);
    Put32(b, 0, 40);
    Put32(b, 4, static_cast<uint32_t>(width));
    Put32(b, 8, static_cast<uint32_t>(height));
    b[12] = 1;
    b[14] = static_cast<uint8_t>(bits);
    b[15] = static_cast<uint8_t>(bits >> 8);
    Put32(b, 16, compression);
    Put32(b, 32, coloursUsed);
    return b;
}

TEST(ClipboardDib, LayoutOfWellFormedBlocks) {
    ClipboardDib dib;
    // 3 x 2 at 24 bits: rows of 9 bytes padded to 12, bottom-up.
    ASSERT_EQ(ParseClipboardDib(Dib(3, 2, 24, 24), dib), DibProblem::None);
    EXPECT_EQ(dib.type, IL_BGR8);
    EXPECT_TRUE(dib.bottomUp);
    EXPECT_EQ(dib.stride, 12u);
    EXPECT_EQ(dib.pixelOffset, 40u);
    EXPECT_EQ(dib.paletteLength, 0u);

    // Top-down 8-bit with 3 colours used: the rows follow 3 table entries.
    ASSERT_EQ(ParseClipboardDib(Dib(5, -2, 8, 12 + 16, 0, 3), dib), DibProblem::None);
    EXPECT_FALSE(dib.bottomUp);
    EXPECT_EQ(dib.height, 2u);
    EXPECT_EQ(dib.paletteLength, 3u);
    EXPECT_EQ(dib.pixelOffset, 52u);

    // 1 bit without biClrUsed: the full two-entry table.
    ASSERT_EQ(ParseClipboardDib(Dib(33, 1, 1, 8 + 8), dib), DibProblem::None);
    EXPECT_EQ(dib.pixelOffset, 48u);
    EXPECT_EQ(dib.stride, 8u);

    // 32 bits with the plain masks: B, G, R and a filler.
    auto masked = Dib(1, 1, 32, 12 + 4, 3);
    Put32(masked, 40, 0xFF0000);
    Put32(masked, 44, 0xFF00);
    Put32(masked, 48, 0xFF);
    ASSERT_EQ(ParseClipboardDib(masked, dib), DibProblem::None);
    EXPECT_EQ(dib.type, IL_BGRX8);
    EXPECT_EQ(dib.pixelOffset, 52u);
}

TEST(ClipboardDib, MalformedBlocksAreRefused) {
    auto cutHeader = Dib(1, 1, 24, 0);
    cutHeader.pop_back();
    auto otherHeader = Dib(1, 1, 24, 4);
    Put32(otherHeader, 0, 124);
    auto oddMasks = Dib(1, 1, 32, 16, 3);
    Put32(oddMasks, 40, 0xFF);
    struct Case {
        const char* what;
        std::vector<uint8_t> block;
        DibProblem expected;
    };
    const Case cases[] = {
        {"empty", {}, DibProblem::NoInfoHeader},
        {"header cut", cutHeader, DibProblem::NoInfoHeader},
        {"other header size", otherHeader, DibProblem::NoInfoHeader},
        {"zero width", Dib(0, 1, 24, 4), DibProblem::BadSize},
        {"negative width", Dib(-1, 1, 24, 4), DibProblem::BadSize},
        {"zero height", Dib(1, 0, 24, 4), DibProblem::BadSize},
        {"most negative height", Dib(1, INT32_MIN, 24, 4), DibProblem::BadSize},
        {"huge width", Dib(0x7FFFFFFF, 1, 32, 4), DibProblem::BadSize},
        {"16 bits", Dib(1, 1, 16, 4), DibProblem::BadBitCount},
        {"0 bits", Dib(1, 1, 0, 4), DibProblem::BadBitCount},
        {"run-length", Dib(1, 1, 8, 1028, 1), DibProblem::BadCompression},
        {"bit fields at 24 bits", Dib(1, 1, 24, 16, 3), DibProblem::BadCompression},
        {"other masks", oddMasks, DibProblem::BadCompression},
        {"masks cut", Dib(1, 1, 32, 8, 3), DibProblem::Truncated},
        {"more colours than indices", Dib(1, 1, 4, 1024, 0, 17), DibProblem::BadColourCount},
        {"table cut", Dib(1, 1, 8, 1020), DibProblem::Truncated},
        {"last row cut", Dib(3, 2, 24, 23), DibProblem::Truncated},
        {"rows far past the block", Dib(1000, 1000000, 24, 64), DibProblem::Truncated},
        {"optional list cut", Dib(1, 1, 24, 4, 0, 1000), DibProblem::Truncated},
    };
    for (const Case& c : cases) {
        ClipboardDib dib;
        EXPECT_EQ(ParseClipboardDib(c.block, dib), c.expected) << c.what;
    }
}

} // namespace
