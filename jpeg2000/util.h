// Small arithmetic and geometry helpers shared by the engine's stages.
// Rectangles and pairs are (vertical, horizontal), as everywhere in the engine.
#pragma once

#include <cstdint>

namespace j2k {

struct coords {
    int64_t y = 0, x = 0;
    bool operator==(const coords&) const = default;
};

struct rect {
    coords pos, size;
    bool operator==(const rect&) const = default;
    bool empty() const { return size.y <= 0 || size.x <= 0; }
    coords end() const { return {pos.y + size.y, pos.x + size.x}; }
};

// The intersection: position the larger positions, size the smaller ends
// minus that position, at least 0.
rect rect_intersect(const rect& a, const rect& b);

inline bool is_power_of_two(int64_t v) {
    return v > 0 && (v & (v - 1)) == 0;
}

// The exponent of a power of two (the floor of the logarithm otherwise).
inline int log2_exact(int64_t v) {
    int n = 0;
    while (v > 1) {
        v >>= 1;
        ++n;
    }
    return n;
}

// Division rounding towards minus or plus infinity; the divisor is positive.
inline int64_t floor_div(int64_t a, int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}
inline int64_t ceil_div(int64_t a, int64_t b) {
    return a >= 0 ? (a + b - 1) / b : -((-a) / b);
}

int64_t lcm(int64_t a, int64_t b);

// Thrown by read_big_endian when a marker segment runs out of bytes; every
// segment reader catches it to report a segment that is too small.
struct segment_too_small {};

// Reads a big-endian value of 1 to 4 bytes and advances the cursor.
inline uint32_t read_big_endian(const uint8_t*& cursor, const uint8_t* end, int bytes) {
    if (end - cursor < bytes) throw segment_too_small{};
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | *cursor++;
    return v;
}

} // namespace j2k
