// Sample readers shared by the kernel families: signed fixed point, packed
// 12-bit rows, and the CMYK ink model behind the CMYK kernels.
#include <cmath>

#include "imglib/convert/converter.h"

// Fixed point is linear light scaled by 8191 (16-bit) or 16777215 (32-bit);
// the sample is two's complement, so 0x8000 is -32768 / 8191.
float ILFixed16ToFloat(uint16_t v) {
    return static_cast<float>(static_cast<int16_t>(v)) * (1.0f / 8191.0f);
}

float ILFixed32ToFloat(uint32_t v) {
    return static_cast<float>(static_cast<int32_t>(v)) * (1.0f / 16777215.0f);
}

// Two 12-bit samples share three bytes:
//
//   byte    0          1          2
//         [hhhhhhhh] [hhhhllll] [llllllll]
//          high-phase sample     low-phase sample
//
// A high-phase sample leaves the cursor on the byte holding the next sample's
// top nibble; a low-phase sample moves it past both of its bytes.
static uint32_t Read12(bool highPhase, const uint8_t** cursor) {
    const uint8_t* p = *cursor;
    if (highPhase) {
        *cursor = p + 1;
        return static_cast<uint32_t>(p[0]) << 4 | p[1] >> 4;
    }
    *cursor = p + 2;
    return static_cast<uint32_t>(p[0] & 0x0F) << 8 | p[1];
}

// The top four bits repeat in the low four, so 0xFFF widens to 0xFFFF.
uint16_t ILRead12To16(bool highPhase, const uint8_t** cursor) {
    const uint32_t v = Read12(highPhase, cursor);
    return static_cast<uint16_t>(v << 4 | v >> 8);
}

uint8_t ILRead12To8(bool highPhase, const uint8_t** cursor) {
    return static_cast<uint8_t>(Read12(highPhase, cursor) >> 4);
}

// c, m, y, k are inverted inks (1 - ink). The powers are exp(ln x p) in single
// precision; the matrix maps the ink primaries into linear sRGB.
void ILCmykToLinearRgb(float c, float m, float y, float k, float* red, float* green, float* blue) {
    const auto power = [](float x, float p) { return std::exp(std::log(x) * p); };
    const float f = power(k, 1.2f);
    const float r = power(c, 2.2f) * f;
    const float g = power(m, 2.2f) * f;
    const float b = power(y, 2.2f) * f;
    *red = 0.951473f * r + 0.134574f * g + 0.018108f * b;
    *green = 0.060909f * r + 0.909772f * g + 0.016185f * b;
    *blue = 0.050806f * r + 0.100327f * g + 0.67203f * b;
}
