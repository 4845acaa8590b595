// Copies between the Win32 side's WCHAR texts and the char16_t texts of the
// portable code (same UTF-16 units, distinct C++ types). Wide texts are held
// as std::u16string or WCHAR arrays, never std::basic_string<WCHAR>: WCHAR is
// a 2-byte wchar_t here, and libstdc++'s wide traits call glibc functions
// built for a 4-byte one.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

inline std::u16string ToU16(const WCHAR* text) {
    std::u16string out;
    if (text)
        for (; *text; ++text)
            out.push_back(static_cast<char16_t>(*text));
    return out;
}

// Copies at most units - 1 units and terminates.
inline void CopyToWide(std::u16string_view text, WCHAR* out, size_t units) {
    if (units == 0) return;
    const size_t n = text.size() < units - 1 ? text.size() : units - 1;
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<WCHAR>(text[i]);
    out[n] = 0;
}

template <size_t N>
void CopyToWide(std::u16string_view text, WCHAR (&out)[N]) {
    CopyToWide(text, out, N);
}

// Copies a WCHAR text into a char16_t array: at most N - 1 units, the rest
// zero (stored records keep no bytes of an earlier, longer text).
template <size_t N>
void CopyToU16(const WCHAR* text, char16_t (&out)[N]) {
    size_t n = 0;
    for (; text && text[n] && n < N - 1; ++n)
        out[n] = static_cast<char16_t>(text[n]);
    for (; n < N; ++n)
        out[n] = 0;
}
