// The file scanner reads by offset beside a stream another reader uses.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "imglib/io/file_scanner.h"
#include "support/files.h"
#include "support/test_folder.h"

namespace {

uint8_t ByteAt(uint64_t i) {
    return static_cast<uint8_t>(i * 7 + i / 251);
}

// Bytes across buffer refills, after small and large jumps, and at the end
// come from the right offsets, and the stream's own position never moves.
TEST(FileScanner, ReadsByOffsetAndLeavesTheStreamAlone) {
    const std::filesystem::path dir = vxtest::MakeTestFolder("vx_scanner");
    const uint64_t size = 200'000;
    std::vector<uint8_t> bytes(size);
    for (uint64_t i = 0; i < size; ++i)
        bytes[i] = ByteAt(i);
    ASSERT_TRUE(vxtest::WriteBytes(dir / "f.bin", bytes));
    FILE* file = std::fopen((dir / "f.bin").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fseek(file, 1234, SEEK_SET), 0);

    ILFileScanner in(file, 10);
    for (uint64_t i = 10; i < 70'000; ++i)
        ASSERT_EQ(in.Get(), ByteAt(i)) << i;
    for (uint64_t jump : {3u, 90'000u, 600u}) {
        const uint64_t at = in.Position() + jump;
        ASSERT_TRUE(in.Skip(jump));
        for (uint64_t i = at; i < at + 2000; ++i)
            ASSERT_EQ(in.Get(), ByteAt(i)) << i;
    }
    uint32_t value = 0;
    const uint64_t at = in.Position();
    ASSERT_TRUE(in.GetBe32(&value));
    EXPECT_EQ(value, uint32_t{ByteAt(at)} << 24 | uint32_t{ByteAt(at + 1)} << 16 |
                         uint32_t{ByteAt(at + 2)} << 8 | ByteAt(at + 3));
    EXPECT_FALSE(in.Skip(size));
    ASSERT_TRUE(in.Skip(size - in.Position() - 1));
    EXPECT_EQ(in.Get(), ByteAt(size - 1));
    EXPECT_EQ(in.Get(), -1);
    EXPECT_FALSE(in.GetBe16(&value));

    EXPECT_EQ(std::ftell(file), 1234);
    std::fclose(file);
    std::filesystem::remove_all(dir);
}

} // namespace
