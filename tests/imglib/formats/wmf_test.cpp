// Metafile headers, raster sizes and the renderer interface, natively: the
// drawing itself is GDI's and is tested under Wine (tests/wine).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "codec_fixture.h"
#include "imglib/formats/wmf.h"
#include "imglib/memory_owner.h"
#include "imglib/pixel_type.h"
#include "support/files.h"

namespace fs = std::filesystem;
using namespace vxtest;
using Bytes = std::vector<uint8_t>;

namespace {

void Put16(Bytes* b, uint32_t v) {
    b->push_back(static_cast<uint8_t>(v));
    b->push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes* b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// An enhanced metafile of a header with the frame and the end record.
Bytes Emf(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    Bytes b;
    for (uint32_t v : {1u, 88u, 0u, 0u, 100u, 100u})
        Put32(&b, v);
    for (int32_t v : {left, top, right, bottom})
        Put32(&b, static_cast<uint32_t>(v));
    for (uint32_t v : {0x464D4520u, 0x10000u, 88u + 20u, 2u})
        Put32(&b, v);
    Put16(&b, 1); // handles
    Put16(&b, 0);
    for (uint32_t v : {0u, 0u, 0u, 1000u, 1000u, 100u, 100u})
        Put32(&b, v);
    for (uint32_t v : {14u, 20u, 0u, 16u, 20u})
        Put32(&b, v);
    return b;
}

// A placeable Windows metafile with the box and units per inch, holding a
// SETWINDOWEXT record of 100 x 50 and the end record.
Bytes PlaceableWmf(int16_t left, int16_t top, int16_t right, int16_t bottom,
                   uint16_t unitsPerInch) {
    Bytes b;
    Put32(&b, 0x9AC6CDD7);
    Put16(&b, 0);
    for (int16_t v : {left, top, right, bottom})
        Put16(&b, static_cast<uint16_t>(v));
    Put16(&b, unitsPerInch);
    Put32(&b, 0);
    Put16(&b, 0); // checksum
    for (uint32_t v : {1u, 9u, 0x300u})
        Put16(&b, v);
    Put32(&b, 9 + 5 + 3); // size in words
    Put16(&b, 0);         // objects
    Put32(&b, 5);         // largest record
    Put16(&b, 0);
    Put32(&b, 5);
    for (uint32_t v : {0x020Cu, 50u, 100u})
        Put16(&b, v);
    Put32(&b, 3);
    Put16(&b, 0);
    return b;
}

class Wmf : public CodecTest {
protected:
    void TearDown() override {
        ILSetMetafileRenderer(nullptr);
        CodecTest::TearDown();
    }
    std::string Write(const std::string& name, const Bytes& bytes) {
        const std::string path = PathOf(name);
        EXPECT_TRUE(WriteBytes(path, bytes));
        return path;
    }
};

TEST_F(Wmf, RasterSizesFromFramesAndBoxes) {
    struct Case {
        const char* name;
        Bytes bytes;
        uint32_t width, height;
        int32_t xExt, yExt;
    };
    const Case cases[] = {
        {"A4.emf", Emf(0, 0, 21000, 29700), 672, 950, 0, 0},
        {"offset.emf", Emf(-1000, 500, 9000, 10500), 320, 320, 0, 0},
        // 1440 units per inch: extents 2 x 2880 and 2 x 1440 hundredths of a mm
        {"box.wmf", PlaceableWmf(0, 0, 2880, 1440, 1440), 184, 92, 5760, 2880},
        {"reversed.wmf", PlaceableWmf(2880, 1440, 0, 0, 1440), 184, 92, 5760, 2880},
        // no units per inch: the window extent as pixels at 96 per inch
        {"plain.wmf", PlaceableWmf(0, 0, 2880, 1440, 0), 84, 42, 0, 0},
        // beyond the caps: drawn smaller in proportion
        {"huge.emf", Emf(0, 0, 2000000000, 1000000000), 11585, 5792, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ILMetafileHeader header;
        ASSERT_TRUE(ILParseMetafileHeader(c.bytes.data(), c.bytes.size(), &header));
        EXPECT_EQ(header.xExt, c.xExt);
        EXPECT_EQ(header.yExt, c.yExt);
        ILInfo info;
        ASSERT_EQ(Load(Write(c.name, c.bytes), nullptr, &info), IL_OK) << LastError();
        EXPECT_EQ(info.formatId, 0x300u);
        EXPECT_EQ(info.width, c.width);
        EXPECT_EQ(info.height, c.height);
        EXPECT_EQ(info.channels, 3u);
    }
}

TEST_F(Wmf, RefusedFiles) {
    Bytes truncated = Emf(0, 0, 1000, 1000);
    truncated.resize(truncated.size() - 4);
    Bytes badHandle = Emf(0, 0, 1000, 1000);
    // a SELECTOBJECT of handle 5 in a table of 1, before the end record
    badHandle.insert(badHandle.end() - 20, {37, 0, 0, 0, 12, 0, 0, 0, 5, 0, 0, 0});
    badHandle[48] += 12;
    struct Case {
        const char* name;
        Bytes bytes;
        ILResult result;
    };
    const Case cases[] = {{"zero.emf", Emf(0, 0, 20, 20000), IL_INVALID_HEADER},
                          {"truncated.emf", truncated, IL_CANNOT_OPEN},
                          {"handle.emf", badHandle, IL_CANNOT_OPEN},
                          {"text.wmf", Bytes(64, 'x'), IL_CANNOT_OPEN}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ILInfo info;
        EXPECT_EQ(Load(Write(c.name, c.bytes), nullptr, &info), c.result);
    }
    const fs::path corrupted = Corpus("wmf-emf-samples") / "emf" / "corrupted";
    if (!fs::is_directory(corrupted)) return;
    int refused = 0, files = 0;
    for (const auto& entry : fs::directory_iterator(corrupted)) {
        ILInfo info;
        refused += Load(entry.path(), nullptr, &info) < IL_OK;
        ++files;
    }
    EXPECT_GE(refused, files - 1); // one damages only an object index GDI checks
}

// Without a renderer the pixels are refused; with one, it gets the raster
// white and sized by the frame, and its failures become the load's.
TEST_F(Wmf, PixelsComeFromTheRenderer) {
    const std::string path = Write("box.emf", Emf(0, 0, 3125, 1562));
    ILImageOwner image;
    EXPECT_EQ(Load(path, &image.image), IL_UNSUPPORTED_FORMAT);

    static uint32_t calls;
    calls = 0;
    ILSetMetafileRenderer([](const ILMetafileJob& job) -> ILResult {
        ++calls;
        EXPECT_TRUE(job.header->enhanced);
        EXPECT_EQ(job.pixels[0], 0xFF);
        job.pixels[0] = 1; // B of the first pixel
        job.pixels[int64_t{job.height - 1} * job.stride + 3 * job.width - 1] = 2; // R of the last
        return IL_OK;
    });
    ASSERT_EQ(Load(path, &image.image), IL_OK) << LastError();
    EXPECT_EQ(calls, 1u);
    ASSERT_EQ(image.image.type, IL_BGR8);
    EXPECT_EQ(image.image.width, 100u);
    EXPECT_EQ(image.image.height, 49u);
    EXPECT_EQ(Row(image.image, 0)[0], 1);
    EXPECT_EQ(Row(image.image, 0)[1], 0xFF);
    EXPECT_EQ(Row(image.image, 48)[3 * 100 - 1], 2);

    ILSetMetafileRenderer([](const ILMetafileJob&) -> ILResult { return IL_OUT_OF_MEMORY; });
    EXPECT_EQ(Load(path, &image.image), IL_OUT_OF_MEMORY);
    EXPECT_EQ(LastError(), "WMF/EMF: Unable to create a drawing surface of 100 x 49 pixels");
}

} // namespace
