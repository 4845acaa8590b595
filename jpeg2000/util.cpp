#include "jpeg2000/util.h"

#include <algorithm>
#include <numeric>

namespace j2k {

rect rect_intersect(const rect& a, const rect& b) {
    rect r;
    r.pos.y = std::max(a.pos.y, b.pos.y);
    r.pos.x = std::max(a.pos.x, b.pos.x);
    r.size.y = std::max<int64_t>(0, std::min(a.end().y, b.end().y) - r.pos.y);
    r.size.x = std::max<int64_t>(0, std::min(a.end().x, b.end().x) - r.pos.x);
    return r;
}

int64_t lcm(int64_t a, int64_t b) {
    return a / std::gcd(a, b) * b;
}

} // namespace j2k
