#include <gtest/gtest.h>

#include <Imath/half.h>

#include <bit>
#include <cstdint>

#include "imglib/convert/half_float.h"

// Programs here are built without Imath's lookup table in its header; its
// library still exports the table, which serves as the oracle.
extern "C" const imath_half_uif_t* imath_half_to_float_table;

namespace {

// Every code, NaN payloads and signalling NaNs included, gives the same
// float bits as Imath's table and as its table-free conversion.
TEST(HalfFloat, EveryCodeMatchesImath) {
    for (uint32_t code = 0; code < 65536; ++code) {
        const uint16_t h = static_cast<uint16_t>(code);
        const uint32_t ours = std::bit_cast<uint32_t>(ILHalfToFloat(h));
        ASSERT_EQ(ours, imath_half_to_float_table[h].i) << std::hex << code;
        ASSERT_EQ(ours, std::bit_cast<uint32_t>(imath_half_to_float(h))) << std::hex << code;
    }
    EXPECT_EQ(ILHalfToFloat(0x0001), 0x1p-24f); // smallest subnormal
    EXPECT_EQ(ILHalfToFloat(0x7BFF), 65504.0f);
    EXPECT_EQ(std::bit_cast<uint32_t>(ILHalfToFloat(0x8000)), 0x80000000u);
}

} // namespace
