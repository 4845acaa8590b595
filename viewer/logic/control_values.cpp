#include "viewer/logic/control_values.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

int32_t SaturatingToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (value <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(std::lround(value));
}

int32_t SaturatingTruncate(double value) {
    return SaturatingToInt(std::trunc(value));
}

int32_t ControlValueOf(double value, int32_t minimum, int32_t maximum) {
    return ClampToRange(SaturatingTruncate(value), minimum, maximum);
}

int32_t ControlValueRounded(double value, int32_t minimum, int32_t maximum) {
    return ControlValueOf(std::floor(value + 0.5), minimum, maximum);
}

ILColor ControlColorOf(const ILColor& stored) {
    ILColor c = stored;
    for (float* v : {&c.r, &c.g, &c.b, &c.a}) {
        if (!std::isfinite(*v)) return ILColor{};
        *v = std::clamp(*v, 0.0f, 1.0f);
    }
    if (c.index < -1) c.index = -1;
    return c;
}

int32_t ClampToRange(int64_t value, int32_t minimum, int32_t maximum) {
    if (minimum > maximum) std::swap(minimum, maximum);
    return static_cast<int32_t>(std::clamp<int64_t>(value, minimum, maximum));
}

int SpinStepResult(int32_t before, int32_t after) {
    return after > before ? 1 : after < before ? 2 : 0;
}

int64_t ParseLeadingNumber(std::string_view text) {
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) ++i;
    int64_t value = 0;
    constexpr int64_t kLimit = int64_t{1} << 40; // far beyond any control range
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min(kLimit, value * 10 + (text[i] - '0'));
    return negative ? -value : value;
}

bool SpinDigitsCentred(int32_t minimum, int32_t maximum) {
    return std::llabs(minimum) <= 9 && std::llabs(maximum) <= 9;
}

int SpinRepeatInterval(int y) {
    const int distance = std::abs(y - 9);
    if (distance <= 1) return 310;
    return 310 - 20 * std::min(distance - 1, 15);
}

int WheelStep(int delta, bool shift, bool control) {
    const int sign = delta > 0 ? 1 : delta < 0 ? -1 : 0;
    if (shift) return sign * 10;
    if (control) return sign * 100;
    return sign;
}

int32_t MulDivRound(int32_t number, int32_t numerator, int32_t denominator) {
    if (denominator == 0) return -1;
    const int64_t product = int64_t{number} * numerator;
    int64_t quotient = product / denominator;
    const int64_t remainder = product % denominator;
    if (2 * std::llabs(remainder) >= std::llabs(int64_t{denominator}))
        quotient += ((product < 0) != (denominator < 0)) ? -1 : 1;
    return static_cast<int32_t>(std::clamp<int64_t>(quotient, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

int32_t SliderGeometry::ThumbOf(int32_t value) const {
    const int32_t range = maximum - minimum;
    if (range <= 0) return vertical ? TrackEnd() : TrackStart();
    const int32_t along = MulDivRound(value - minimum, TrackLength(), range);
    return vertical ? TrackEnd() - along : TrackStart() + along;
}

int32_t SliderGeometry::ValueAt(int32_t p) const {
    const int32_t range = maximum - minimum;
    if (p <= TrackStart()) return vertical ? maximum : minimum;
    if (p >= TrackEnd() || TrackLength() <= 0) return vertical ? minimum : maximum;
    const int32_t along = MulDivRound(p - TrackStart(), range, TrackLength());
    return ClampToRange(int64_t{vertical ? maximum : minimum} + (vertical ? -along : along),
                        minimum, maximum);
}

bool SliderKeyValue(unsigned key, int32_t value, int32_t minimum, int32_t maximum,
                    int32_t defaultValue, int32_t* result) {
    int64_t next = value;
    switch (key) {
        case 0x08: // Backspace
        case 0x20: // Space
            next = defaultValue;
            break;
        case 0x21: // Page Up
            next += 10;
            break;
        case 0x22: // Page Down
            next -= 10;
            break;
        case 0x23: // End
            next = minimum;
            break;
        case 0x24: // Home
            next = maximum;
            break;
        case 0x25: // Left
        case 0x28: // Down
            next -= 1;
            break;
        case 0x26: // Up
        case 0x27: // Right
            next += 1;
            break;
        default:
            return false;
    }
    *result = ClampToRange(next, minimum, maximum);
    return true;
}

int FitToScreen(int position, int size, int screen) {
    if (position < 0) return 0;
    if (position + size > screen) return std::max(0, screen - size);
    return position;
}
