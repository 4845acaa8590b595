#include "viewer/logic/text_utils.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

char16_t LowerAscii(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool ExtensionIs(std::u16string_view path, std::u16string_view lowerExtension) {
    const size_t dot = path.rfind(u'.');
    if (dot == std::u16string_view::npos) return false;
    const std::u16string_view ext = path.substr(dot + 1);
    return ext.size() == lowerExtension.size() &&
           std::equal(ext.begin(), ext.end(), lowerExtension.begin(),
                      [](char16_t a, char16_t b) { return LowerAscii(a) == b; });
}

} // namespace

bool IsShellLinkFile(std::u16string_view path) {
    return ExtensionIs(path, u"lnk");
}

bool IsActionListFile(std::u16string_view path) {
    return ExtensionIs(path, u"vxa");
}

void StripExtension(std::u16string& path) {
    const size_t dot = path.rfind(u'.');
    if (dot == std::u16string::npos) return;
    const size_t slash = path.rfind(u'\\');
    if (slash == std::u16string::npos || dot > slash) path.erase(dot);
}

void SetActionListExtension(std::u16string& path) {
    StripExtension(path);
    path += u".vxa";
}

void PadWithSpaces(std::string& text, size_t n) {
    text.resize(n > 0 ? n - 1 : 0, ' ');
}

void TrimBlanks(std::string& text) {
    const size_t last = text.find_last_not_of(' ');
    if (last == std::string::npos) {
        text.clear();
        return;
    }
    text.erase(last + 1);
    text.erase(0, text.find_first_not_of(' '));
}

std::string FormatFixedPoint(double value, int decimals) {
    if (!std::isfinite(value)) value = 0;
    std::string out(1, value < 0 ? '-' : ' ');
    const double magnitude = std::fabs(value);
    double whole = std::floor(magnitude);
    char digits[32];
    std::snprintf(digits, sizeof digits, "%.0f", whole);
    out += digits;
    out += '.';
    double rest = magnitude - whole;
    for (int i = 0; i < decimals; ++i) {
        const double scaled = rest * 10 + 0.001;
        const int digit = std::clamp(static_cast<int>(scaled), 0, 9);
        out += static_cast<char>('0' + digit);
        rest = rest * 10 - digit;
    }
    return out;
}

std::u16string FormatNumberedName(std::u16string_view base, int number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "_%.3d", number);
    std::u16string out(base);
    for (const char* p = digits; *p; ++p)
        out += static_cast<char16_t>(*p);
    return out;
}

int WorkerThreadCountFor(int processors) {
    int n = std::max(processors, 1);
    if (n > 2) n = (3 * n + 2) >> 2;
    return std::min(n, 8);
}
