// Half to float for the row kernels: one table read per sample. Every half
// is exactly a float, so the table holds each code's float bits; it is
// built with the library (half_float.cpp), so a program pays nothing for it
// at start and holds only the pages it reads.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

extern const std::array<uint32_t, 65536> ILHalfFloatBits;

inline float ILHalfToFloat(uint16_t bits) {
    return std::bit_cast<float>(ILHalfFloatBits[bits]);
}
