// The GIF reader against the GIF test suite's expected frames (8-bit R, G,
// B, A files): a file loads as the frame its composition stops at, the
// first with a delay; files the suite expects no frame from are refused.
// Small files built byte by byte pin the interlaced row order and the
// size checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "codec_fixture.h"
#include "imglib/convert/converter.h"
#include "support/files.h"

namespace fs = std::filesystem;
using namespace vxtest;

namespace {

using Bytes = std::vector<uint8_t>;

// "section.key" -> value of a test's .conf file.
std::map<std::string, std::string> ReadConf(const fs::path& p) {
    std::map<std::string, std::string> out;
    std::ifstream in(p);
    std::string line, section;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        const size_t eq = line.find(" = ");
        if (eq != std::string::npos) out[section + "." + line.substr(0, eq)] = line.substr(eq + 3);
    }
    return out;
}

std::vector<std::string> Split(const std::string& s) {
    std::vector<std::string> out;
    std::stringstream in(s);
    std::string item;
    while (std::getline(in, item, ','))
        if (!item.empty()) out.push_back(item);
    return out;
}

// Our image as R, G, B, A bytes (through B, G, R for images without alpha).
Bytes ToRgba(const ILImage& image) {
    const bool alpha = ILHasAlpha(image.type);
    const size_t n = alpha ? 4 : 3;
    ILConverter c;
    ILConverterInit(&c);
    ILConverterSetImageTarget(&c, &image, alpha ? IL_BGRA8 : IL_BGR8);
    Bytes out;
    if (!ILConverterPrepare(&c)) {
        ADD_FAILURE() << "no conversion from 0x" << std::hex << image.type;
        ILConverterFree(&c);
        return out;
    }
    Bytes row(size_t{image.width} * n);
    for (uint32_t y = 0; y < image.height; ++y) {
        c.rowKernel(&c, Row(image, y), row.data());
        for (uint32_t x = 0; x < image.width; ++x)
            out.insert(out.end(), {row[n * x + 2], row[n * x + 1], row[n * x],
                                   alpha ? row[n * x + 3] : uint8_t{255}});
    }
    ILConverterFree(&c);
    return out;
}

class GifTest : public CodecTest {
protected:
    ILResult LoadBytes(const Bytes& bytes, ILImage* image, ILInfo* info = nullptr) {
        const fs::path p = dir / "t.gif";
        WriteBytes(p, bytes);
        return Load(p, image, info);
    }
};

TEST_F(GifTest, SuiteFilesLoadAsTheirExpectedFrames) {
    const fs::path suite = Corpus("gif-test-suite") / "gif";
    if (!fs::exists(suite)) GTEST_SKIP() << "corpus missing";
    int compared = 0;
    for (const auto& e : fs::directory_iterator(suite)) {
        if (e.path().extension() != ".conf") continue;
        const auto conf = ReadConf(e.path());
        const fs::path gif = suite / conf.at("config.input");
        const std::vector<std::string> frames =
            Split(conf.count("config.frames") ? conf.at("config.frames") : "");
        OwnedImage image;
        const ILResult result = Load(gif, &image);
        const std::string name = gif.filename().string();
        // A file without an image descriptor is refused, also where the
        // suite shows an empty frame.
        // Where this reader differs from the suite's decoders by design: a
        // plain-text extension makes a frame with its text drawn in, indexes
        // beyond the colour table show black, and a frame beyond the screen
        // widens the canvas.
        if (name == "plain-text.gif" || name == "invalid-colors.gif" ||
            name == "image-outside-bg.gif")
            continue;
        if (frames.empty() || name == "no-data.gif") {
            EXPECT_NE(result, IL_OK) << name;
            continue;
        }
        // The composition stops at the first frame with a delay.
        size_t last = frames.size() - 1;
        for (size_t i = 0; i < frames.size(); ++i) {
            const auto delay = conf.find(frames[i] + ".delay");
            if (delay != conf.end() && std::stoi(delay->second) > 0) {
                last = i;
                break;
            }
        }
        const auto pixels = conf.find(frames[last] + ".pixels");
        if (pixels == conf.end()) continue; // a PNG reference only
        if (result != IL_OK && result != IL_PARTIAL) {
            ADD_FAILURE() << name << ": " << result << " " << LastError();
            continue;
        }
        const Bytes want = ReadBytes(suite / pixels->second);
        const Bytes have = ToRgba(image);
        ASSERT_EQ(image.width, std::stoul(conf.at("config.width"))) << name;
        ASSERT_EQ(have.size(), want.size()) << name;
        // Pixels the reference leaves transparent show the background,
        // which the suite leaves to the renderer.
        size_t wrong = 0, firstWrong = 0;
        for (size_t i = 0; i < want.size(); i += 4) {
            if (want[i + 3] == 0) continue;
            if (!std::equal(want.begin() + i, want.begin() + i + 4, have.begin() + i) && !wrong++)
                firstWrong = i / 4;
        }
        EXPECT_EQ(wrong, 0u) << name << ": first at pixel " << firstWrong;
        ++compared;
    }
    EXPECT_GT(compared, 30);
}

// A GIF of one frame: 2-entry global table black, white, minimum code size
// 2 and the LZW codes given packed into one sub-block.
Bytes MakeGif(uint16_t width, uint16_t height, uint8_t flags, const Bytes& lzw,
              uint8_t screenFlags = 0x80) {
    Bytes b = {'G',
               'I',
               'F',
               '8',
               '9',
               'a',
               uint8_t(width),
               uint8_t(width >> 8),
               uint8_t(height),
               uint8_t(height >> 8),
               screenFlags,
               0,
               0,
               0,
               0,
               0,
               255,
               255,
               255};
    b.insert(b.end(), {0x2C, 0, 0, 0, 0, uint8_t(width), uint8_t(width >> 8), uint8_t(height),
                       uint8_t(height >> 8), flags, 2, uint8_t(lzw.size())});
    b.insert(b.end(), lzw.begin(), lzw.end());
    b.insert(b.end(), {0, 0x3B});
    return b;
}

// Codes of 3 bits, least significant first.
Bytes Pack3(const std::vector<uint32_t>& codes) {
    Bytes out;
    uint32_t buffer = 0, bits = 0;
    for (const uint32_t c : codes) {
        buffer |= c << bits;
        bits += 3;
        while (bits >= 8) {
            out.push_back(uint8_t(buffer));
            buffer >>= 8;
            bits -= 8;
        }
    }
    if (bits) out.push_back(uint8_t(buffer));
    return out;
}

TEST_F(GifTest, InterlacedRowsAndDamagedData) {
    // 1 x 9, interlaced: stored rows 0..8 land on rows 0, 8, 4, 2, 6, 1, 3,
    // 5, 7. Only stored row 1 is white. The codes stay 3 bits wide: clear,
    // then single pixels (the table fills up to 8 entries by code 7 only).
    OwnedImage image;
    ASSERT_EQ(LoadBytes(MakeGif(1, 9, 0x40, Pack3({4, 0, 1, 0, 0, 0, 0, 4, 0, 0, 0, 5})), &image),
              IL_OK)
        << LastError();
    const Bytes rgba = ToRgba(image);
    for (uint32_t y = 0; y < 9; ++y)
        EXPECT_EQ(rgba[4 * y], y == 8 ? 255 : 0) << "row " << y;

    // Data that stops after one pixel: it stays, the rest is index 0.
    ASSERT_EQ(LoadBytes(MakeGif(2, 2, 0, Pack3({4, 1})), &image), IL_PARTIAL);
    EXPECT_EQ(ToRgba(image), (Bytes{255, 255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255}));
    // A code beyond the next free one.
    EXPECT_EQ(LoadBytes(MakeGif(2, 2, 0, Pack3({4, 1, 7, 0})), &image), IL_PARTIAL);
}

TEST_F(GifTest, RefusesBadHeadersAndHugeFrames) {
    OwnedImage image;
    Bytes bad = MakeGif(2, 1, 0, Pack3({4, 0, 0, 5}));
    bad[4] = '8';
    EXPECT_EQ(LoadBytes(bad, &image), IL_INVALID_HEADER);
    // A graphic control block of 5 bytes.
    Bytes control = MakeGif(2, 1, 0, Pack3({4, 0, 0, 5}));
    const Bytes extension = {0x21, 0xF9, 5, 0, 0, 0, 0, 0, 0};
    control.insert(control.begin() + 19, extension.begin(), extension.end());
    EXPECT_EQ(LoadBytes(control, &image), IL_INVALID_HEADER);
    // A frame of 65535 x 65535 from a few bytes cannot be real: refused
    // before allocating, whatever the budget.
    EXPECT_EQ(LoadBytes(MakeGif(65535, 65535, 0, Pack3({4, 0, 0, 5})), &image), IL_INVALID_HEADER);
    // So is a small frame placed far off the screen, which would stretch the
    // canvas to 65537 x 65537.
    Bytes far = MakeGif(2, 2, 0, Pack3({4, 1, 1, 1, 1, 5}));
    far[0x13 + 1] = far[0x13 + 2] = far[0x13 + 3] = far[0x13 + 4] = 0xFF;
    EXPECT_EQ(LoadBytes(far, &image), IL_INVALID_HEADER);
    // A frame the file may carry, under a smaller budget.
    const uint64_t budget = 8 << 20;
    ILSetImageMemoryBudget(h, &budget);
    EXPECT_EQ(LoadBytes(MakeGif(4096, 4096, 0, Pack3({4, 0, 0, 5})), &image), IL_OUT_OF_MEMORY);
}

// LZW codes (minimum code size 2) of the pixels, in 255-byte sub-blocks
// ending with the zero-size one.
Bytes EncodeLzw(const Bytes& pixels) {
    const uint32_t clear = 4, end = 5;
    // The code of (prefix code, next pixel), 0 when absent: pixels are
    // below 4, codes below 4096.
    std::vector<uint16_t> table(4096 * 4, 0);
    uint32_t next = end + 1, width = 3, buffer = 0, bits = 0;
    Bytes packed;
    const auto emit = [&](uint32_t code) {
        buffer |= code << bits;
        for (bits += width; bits >= 8; bits -= 8, buffer >>= 8)
            packed.push_back(uint8_t(buffer));
    };
    emit(clear);
    uint32_t current = pixels[0];
    for (size_t i = 1; i < pixels.size(); ++i) {
        uint16_t& entry = table[current * 4 + pixels[i]];
        if (entry) {
            current = entry;
            continue;
        }
        emit(current);
        if (next < 4096) {
            entry = static_cast<uint16_t>(next++);
            if (next > (1u << width) && width < 12) ++width;
        }
        current = pixels[i];
    }
    emit(current);
    emit(end);
    if (bits) packed.push_back(uint8_t(buffer));
    Bytes out = {2};
    for (size_t at = 0; at < packed.size(); at += 255) {
        const size_t n = std::min<size_t>(255, packed.size() - at);
        out.push_back(uint8_t(n));
        out.insert(out.end(), packed.begin() + at, packed.begin() + at + n);
    }
    out.push_back(0);
    return out;
}

TEST_F(GifTest, FramesAfterTheFirstDelayAreNotDecoded) {
    // 40 black frames of 1024 x 1024, each shown for 0.1 s: the still image
    // is the first one, so an 8 MB budget holds it and an info-only load
    // needs none of them, whatever the later frames hold.
    const uint16_t side = 1024;
    Bytes gif = MakeGif(side, side, 0, {});
    gif.resize(19); // the screen and its table
    const Bytes data = EncodeLzw(Bytes(size_t{side} * side, 0));
    for (int i = 0; i < 40; ++i) {
        gif.insert(gif.end(), {0x21, 0xF9, 4, 0, 10, 0, 0, 0});
        gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, uint8_t(side), uint8_t(side >> 8), uint8_t(side),
                               uint8_t(side >> 8), 0});
        gif.insert(gif.end(), data.begin(), data.end());
    }
    // A later frame whose data is damaged is not read either.
    gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0, 2, 1, 7, 0, 0x3B});
    const uint64_t budget = 8 << 20;
    ILSetImageMemoryBudget(h, &budget);
    OwnedImage image;
    ILInfo info{};
    ASSERT_EQ(LoadBytes(gif, &image), IL_OK) << LastError();
    EXPECT_EQ(image.width, side);
    EXPECT_EQ(ToRgba(image)[0], 0);
    const uint64_t tiny = 1 << 16;
    ILSetImageMemoryBudget(h, &tiny);
    ASSERT_EQ(LoadBytes(gif, nullptr, &info), IL_OK) << LastError();
    EXPECT_EQ(info.width, side);
    EXPECT_EQ(info.height, side);
}

// A screen of 40 x 40 whose first frame is a plain-text extension of the
// given grid (at 0, 0), cell size and text sub-blocks (foreground white,
// background black), followed by a 1 x 1 image in the far corner.
Bytes PlainTextGif(uint16_t gridWidth, uint16_t gridHeight, uint8_t cellWidth, uint8_t cellHeight,
                   const std::vector<std::string>& blocks) {
    Bytes b = MakeGif(40, 40, 0, Pack3({4, 0, 5}));
    b[0x13 + 1] = b[0x13 + 3] = 39; // the image at 39, 39
    b[0x13 + 5] = b[0x13 + 7] = 1;  // of 1 x 1
    Bytes text = {
        0x21, 0x01,      12,         0, 0, 0, 0, uint8_t(gridWidth), 0, uint8_t(gridHeight),
        0,    cellWidth, cellHeight, 1, 0};
    for (const std::string& block : blocks) {
        text.push_back(uint8_t(block.size()));
        text.insert(text.end(), block.begin(), block.end());
    }
    text.push_back(0);
    b.insert(b.begin() + 0x13, text.begin(), text.end());
    return b;
}

TEST_F(GifTest, PlainTextIsDrawnIntoItsFrame) {
    const uint8_t kA[8] = {0x38, 0x6C, 0xC6, 0xC6, 0xFE, 0xC6, 0xC6, 0x00};
    const uint8_t kZero[8] = {0x7C, 0xC6, 0xC6, 0xC6, 0xC6, 0xC6, 0x7C, 0x00};
    struct Glyph {
        const uint8_t* rows;
        uint32_t left, top; // of its cell
    };
    struct Case {
        const char* name;
        Bytes gif;
        uint32_t scale, margin; // glyph rows repeated, rows above the glyph
        std::vector<Glyph> glyphs;
    } cases[] = {
        // Cells 8 x 16: glyph rows once, 4 rows down; the second sub-block
        // goes on where the first ended; the third character wraps.
        {"cells of 8 x 16",
         PlainTextGif(16, 32, 8, 16, {"A0", "A"}),
         1,
         4,
         {{kA, 0, 0}, {kZero, 8, 0}, {kA, 0, 16}}},
        // Cells of 10 x 32: rows three times, 4 rows down; a character that
        // would fall below the grid is not drawn.
        {"cells of 10 x 32",
         PlainTextGif(20, 32, 10, 32, {"0A0"}),
         3,
         4,
         {{kZero, 0, 0}, {kA, 10, 0}}},
    };
    for (const Case& c : cases) {
        OwnedImage image;
        ASSERT_EQ(LoadBytes(c.gif, &image), IL_OK) << c.name << ": " << LastError();
        const Bytes rgba = ToRgba(image);
        std::vector<bool> want(40 * 40, false);
        for (const Glyph& g : c.glyphs)
            for (uint32_t gy = 0; gy < 8; ++gy)
                for (uint32_t r = 0; r < c.scale; ++r)
                    for (uint32_t bit = 0; bit < 8; ++bit)
                        if (g.rows[gy] & (0x80 >> bit))
                            want[(g.top + c.margin + gy * c.scale + r) * 40 + g.left + bit] = true;
        want[39 * 40 + 39] = false; // the image's one pixel, black
        for (uint32_t i = 0; i < 40 * 40; ++i)
            ASSERT_EQ(rgba[4 * i] == 255, want[i]) << c.name << " at " << i % 40 << ", " << i / 40;
    }
}

} // namespace
