// Floor to i32. A NaN, an infinity or a value beyond the i32 range (a
// perspective near its horizon, the rim of a mirror ball) has no integer
// position: it answers INT32_MIN, which lies outside every image, instead of
// the undefined result of converting it.
#include <climits>
#include <cmath>

#include "imglib/ops/geometry.h"

int32_t ILFloorD(double x) {
    if (!(x >= static_cast<double>(INT32_MIN) && x < 2147483648.0)) return INT32_MIN;
    const int32_t t = static_cast<int32_t>(x);
    return (x < 0 && static_cast<double>(t) != x) ? t - 1 : t;
}

int32_t ILFloorF(float x) {
    return ILFloorD(static_cast<double>(x));
}
