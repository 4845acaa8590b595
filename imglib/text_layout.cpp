// Text layout for the built-in rasteriser; see text_layout.h.
#include "imglib/text_layout.h"

#include <algorithm>
#include <new>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

enum class Direction : uint8_t { Left, Right, Neutral, Number };

// A small directional classification: the scripts written right to left,
// the spaces and punctuation that take their direction from around them,
// digits, and everything else left to right.
Direction DirectionOf(char32_t c) {
    if ((c >= '0' && c <= '9') || (c >= 0x0660 && c <= 0x0669) || (c >= 0x06F0 && c <= 0x06F9))
        return Direction::Number;
    if ((c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) ||
        (c >= 0xFE70 && c <= 0xFEFF) || (c >= 0x10800 && c <= 0x10FFF) ||
        (c >= 0x1E800 && c <= 0x1EFFF))
        return Direction::Right;
    if ((c >= 0x20 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
        (c >= 0x7B && c <= 0x7E) || (c >= 0xA0 && c <= 0xBF) || (c >= 0x2000 && c <= 0x206F) ||
        c < 0x20 || c == 0x3000)
        return Direction::Neutral;
    return Direction::Left;
}

char32_t Mirrored(char32_t c) {
    switch (c) {
        case '(':
            return ')';
        case ')':
            return '(';
        case '[':
            return ']';
        case ']':
            return '[';
        case '{':
            return '}';
        case '}':
            return '{';
        case '<':
            return '>';
        case '>':
            return '<';
        case 0xAB:
            return 0xBB;
        case 0xBB:
            return 0xAB;
        default:
            return c;
    }
}

// Splits at CR, LF and CR LF; without IL_DT_NOPREFIX "&&" becomes "&" and
// "&x" marks x for underlining.
std::vector<std::vector<ILTextCell>> SplitLines(const std::u32string& chars, uint32_t format) {
    std::vector<std::vector<ILTextCell>> lines(1);
    const bool prefix = !(format & IL_DT_NOPREFIX);
    for (size_t i = 0; i < chars.size(); ++i) {
        char32_t c = chars[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < chars.size() && chars[i + 1] == '\n') ++i;
            // A break that ends the text starts no further line.
            if (i + 1 < chars.size()) lines.emplace_back();
            continue;
        }
        bool underline = false;
        if (prefix && c == '&') {
            if (i + 1 >= chars.size()) break;
            const char32_t next = chars[i + 1];
            if (next == '\r' || next == '\n') continue;
            ++i;
            c = next;
            underline = next != '&';
        }
        lines.back().push_back({c, underline});
    }
    return lines;
}

int32_t WidthOf(const std::vector<ILTextCell>& cells,
                const std::function<int32_t(char32_t)>& advance) {
    int64_t w = 0;
    for (const ILTextCell& cell : cells)
        w += advance(cell.c);
    return static_cast<int32_t>(std::clamp<int64_t>(w, 0, INT32_MAX));
}

// Cuts the line so that it and "..." fit the width.
void EndWithEllipsis(std::vector<ILTextCell>& cells, int64_t available,
                     const std::function<int32_t(char32_t)>& advance) {
    const int64_t dots = 3 * int64_t{advance('.')};
    int64_t used = 0;
    size_t keep = 0;
    while (keep < cells.size() && used + advance(cells[keep].c) + dots <= available)
        used += advance(cells[keep++].c);
    cells.resize(keep);
    cells.insert(cells.end(), 3, ILTextCell{'.', false});
}

} // namespace

std::u32string ILDecodeUtf16(std::u16string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            out.push_back(0x10000 + ((char32_t{u} - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            out.push_back(kReplacement);
        } else {
            out.push_back(u);
        }
    }
    return out;
}

void ILOrderForDisplay(std::vector<ILTextCell>& cells, bool rtl) {
    const size_t n = cells.size();
    std::vector<Direction> dirs(n);
    bool anyRight = false;
    for (size_t i = 0; i < n; ++i) {
        dirs[i] = DirectionOf(cells[i].c);
        anyRight |= dirs[i] == Direction::Right;
    }
    if (!anyRight && !rtl) return;
    const Direction base = rtl ? Direction::Right : Direction::Left;
    // A number reads left to right inside, and belongs to the run of the
    // strong character before it (the line's direction at the start).
    std::vector<bool> rightNumber(n);
    Direction last = base;
    for (size_t i = 0; i < n; ++i) {
        if (dirs[i] == Direction::Number) {
            rightNumber[i] = last == Direction::Right;
            dirs[i] = last;
        } else if (dirs[i] != Direction::Neutral) {
            last = dirs[i];
        }
    }
    // Neutrals between two characters of one direction take it, others the
    // line's.
    for (size_t i = 0; i < n;) {
        if (dirs[i] != Direction::Neutral) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < n && dirs[end] == Direction::Neutral)
            ++end;
        const Direction before = i == 0 ? base : dirs[i - 1];
        const Direction after = end == n ? base : dirs[end];
        std::fill(dirs.begin() + static_cast<ptrdiff_t>(i),
                  dirs.begin() + static_cast<ptrdiff_t>(end), before == after ? before : base);
        i = end;
    }
    // Embedding levels: the line's level, right-to-left text at the next odd
    // level, left-to-right text and numbers inside right-to-left text at the
    // even level above.
    std::vector<uint8_t> levels(n);
    uint8_t top = 0;
    for (size_t i = 0; i < n; ++i) {
        const bool right = dirs[i] == Direction::Right && !rightNumber[i];
        if (rightNumber[i])
            levels[i] = 2;
        else
            levels[i] = rtl ? (right ? 1 : 2) : (right ? 1 : 0);
        top = std::max(top, levels[i]);
        if (right) cells[i].c = Mirrored(cells[i].c);
    }
    // From the highest level down to the lowest odd one, every run at that
    // level or above is reversed.
    for (uint8_t level = top; level >= 1; --level) {
        for (size_t i = 0; i < n;) {
            if (levels[i] < level) {
                ++i;
                continue;
            }
            size_t end = i;
            while (end < n && levels[end] >= level)
                ++end;
            std::reverse(cells.begin() + static_cast<ptrdiff_t>(i),
                         cells.begin() + static_cast<ptrdiff_t>(end));
            std::reverse(levels.begin() + static_cast<ptrdiff_t>(i),
                         levels.begin() + static_cast<ptrdiff_t>(end));
            i = end;
        }
    }
}

bool ILLayoutText(const ILRect& rect, std::u16string_view text, uint32_t format, int32_t lineHeight,
                  const std::function<int32_t(char32_t)>& advance, ILTextLayout* layout) try {
    layout->lines.clear();
    const std::u32string chars = ILDecodeUtf16(text);
    std::vector<std::vector<ILTextCell>> split = SplitLines(chars, format);
    const int64_t available = int64_t{rect.right} - rect.left;
    int64_t y = rect.top;
    int32_t widest = 0;
    for (std::vector<ILTextCell>& cells : split) {
        // As the platform does, only the last line ends with an ellipsis,
        // when measuring too.
        if ((format & IL_DT_END_ELLIPSIS) && &cells == &split.back() &&
            WidthOf(cells, advance) > available)
            EndWithEllipsis(cells, available, advance);
        ILOrderForDisplay(cells, (format & IL_DT_RTLREADING) != 0);
        ILTextLine line{std::move(cells), 0,
                        static_cast<int32_t>(std::clamp<int64_t>(y, INT32_MIN, INT32_MAX)), 0};
        line.width = WidthOf(line.cells, advance);
        int64_t x = rect.left;
        if (format & IL_DT_CENTER)
            x = rect.left + (available - line.width) / 2;
        else if (format & IL_DT_RIGHT)
            x = rect.right - int64_t{line.width};
        line.x = static_cast<int32_t>(std::clamp<int64_t>(x, INT32_MIN, INT32_MAX));
        widest = std::max(widest, line.width);
        layout->lines.push_back(std::move(line));
        y += lineHeight;
    }
    ILRect& e = layout->extent;
    e = rect;
    e.right = static_cast<int32_t>(
        std::clamp<int64_t>(int64_t{rect.left} + widest, INT32_MIN, INT32_MAX));
    e.bottom = static_cast<int32_t>(std::clamp<int64_t>(y, INT32_MIN, INT32_MAX));
    return true;
} catch (const std::bad_alloc&) {
    return false;
}
