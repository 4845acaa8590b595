// Floyd-Steinberg shares of one error, shared by the quantiser and the
// monochrome conversion.
#pragma once

#include <cstdint>

// The 7/16, 3/16, 5/16 and 1/16 parts of e, each rounded on its magnitude.
inline void ILSplitDiffusionError(int32_t e, int32_t* p7, int32_t* p3, int32_t* p5, int32_t* p1) {
    const int32_t a = e < 0 ? -e : e, sign = e < 0 ? -1 : 1;
    *p7 = sign * ((7 * a + 7) / 16);
    *p3 = sign * ((3 * a + 7) / 16);
    *p5 = sign * ((5 * a + 7) / 16);
    *p1 = sign * ((a + 7) / 16);
}
