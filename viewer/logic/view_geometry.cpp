#include "viewer/logic/view_geometry.h"

#include <algorithm>
#include <limits>
#include <string>

namespace {

constexpr int64_t kMaxSide = std::numeric_limits<int32_t>::max();

int32_t ToSide(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, 0, kMaxSide));
}

void AppendAscii(std::u16string& out, std::string_view text) {
    for (char ch : text)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(ch)));
}

void AppendNumber(std::u16string& out, int64_t v) {
    AppendAscii(out, std::to_string(v));
}

} // namespace

ZoomedSize ZoomedDisplaySize(uint32_t imageWidth, uint32_t imageHeight, int level) {
    level = std::clamp(level, kMinZoomLevel, kMaxZoomLevel);
    if (level >= 0) {
        const int64_t f = level + 1;
        return {ToSide(imageWidth * f), ToSide(imageHeight * f), static_cast<int32_t>(f), 1};
    }
    // 1:d, rounded to the nearest pixel and never below one.
    const int64_t d = 1 - level;
    const int64_t half = -level / 2;
    return {ToSide(std::max<int64_t>((imageWidth + half) / d, 1)),
            ToSide(std::max<int64_t>((imageHeight + half) / d, 1)), 1, static_cast<int32_t>(d)};
}

void LayoutScrolledView(ViewGeometry& view, int32_t hBarHeight, int32_t vBarWidth) {
    // The client size as it would be without bars, then take off the bars
    // the display needs. A vertical bar can make a horizontal one needed.
    int64_t cw = int64_t{view.clientWidth} + (view.vBarShown ? vBarWidth : 0);
    int64_t ch = int64_t{view.clientHeight} + (view.hBarShown ? hBarHeight : 0);
    bool horizontal = cw < view.displayWidth;
    if (horizontal) ch -= hBarHeight;
    const bool vertical = ch < view.displayHeight;
    if (vertical) {
        cw -= vBarWidth;
        if (!horizontal && cw < view.displayWidth) {
            horizontal = true;
            // The new bar covers the bottom rows, which must stay reachable.
            ch -= hBarHeight;
        }
    }
    view.clientWidth = ToSide(cw);
    view.clientHeight = ToSide(ch);
    view.hBarShown = horizontal;
    view.vBarShown = vertical;

    view.limitX = std::max(view.displayWidth - view.clientWidth, 0);
    view.limitY = std::max(view.displayHeight - view.clientHeight, 0);
    view.scrollX = ClampScrollPosition(view.scrollX, view.limitX);
    view.scrollY = ClampScrollPosition(view.scrollY, view.limitY);
    view.displayLeft = DisplayOrigin(view.clientWidth, view.displayWidth, view.scrollX);
    view.displayTop = DisplayOrigin(view.clientHeight, view.displayHeight, view.scrollY);
}

void LayoutFittedView(ViewGeometry& view, uint32_t imageWidth, uint32_t imageHeight,
                      bool fullScreen, bool upsampleSmaller) {
    const int64_t iw = imageWidth, ih = imageHeight;
    const int64_t cw = view.clientWidth, ch = view.clientHeight;
    if (iw == 0 || ih == 0) return;
    if (fullScreen && !upsampleSmaller && iw <= cw && ih <= ch) {
        view.displayWidth = ToSide(iw);
        view.displayHeight = ToSide(ih);
        view.displayLeft = static_cast<int32_t>((cw - iw) / 2);
        view.displayTop = static_cast<int32_t>((ch - ih) / 2);
        return;
    }
    if (iw * ch > ih * cw) {
        view.displayWidth = ToSide(cw);
        view.displayHeight = ToSide((ih * cw + iw / 2) / iw);
        view.displayLeft = 0;
        view.displayTop = static_cast<int32_t>((ch - view.displayHeight) / 2);
    } else {
        view.displayHeight = ToSide(ch);
        view.displayWidth = ToSide((iw * ch + ih / 2) / ih);
        view.displayTop = 0;
        view.displayLeft = static_cast<int32_t>((cw - view.displayWidth) / 2);
    }
}

double ViewScale(const ViewGeometry& view, uint32_t imageWidth) {
    if (view.displayWidth <= 0 || view.displayHeight <= 0) return 0;
    return static_cast<double>(imageWidth) / view.displayWidth;
}

int32_t ClampScrollPosition(int64_t p, int32_t limit) {
    return static_cast<int32_t>(std::clamp<int64_t>(p, 0, std::max(limit, 0)));
}

int32_t DisplayOrigin(int32_t client, int32_t display, int32_t position) {
    return static_cast<int32_t>(std::max<int64_t>((int64_t{client} - display) / 2, 0) - position);
}

int LargestFittingZoomLevel(uint32_t imageWidth, uint32_t imageHeight, int32_t desktopWidth,
                            int32_t desktopHeight, int32_t windowLeft, int32_t windowTop) {
    const int64_t roomX = int64_t{desktopWidth} - windowLeft;
    const int64_t roomY = int64_t{desktopHeight} - windowTop;
    int64_t n = 1, w = imageWidth, h = imageHeight;
    while (n < 16 && (roomX < w || h > roomY)) {
        ++n;
        w = imageWidth / n;
        h = imageHeight / n;
    }
    return static_cast<int>(1 - n);
}

double NextRatioZoomFactor(double current, bool zoomIn) {
    double d;
    if (zoomIn) {
        if (current >= 0.1) {
            d = (static_cast<int>(current * 10 + 0.5) + 1) / 10.0;
        } else {
            d = (static_cast<int>(current * 100 + 0.5) + 1) / 100.0;
            d = std::min(d, 0.1);
        }
    } else if (current > 0.101) {
        d = (static_cast<int>(current * 10 + 0.5) - 1) / 10.0;
        d = std::max(d, 0.1);
    } else {
        // Stop at 1 %: below it the window would get no size at all.
        d = (static_cast<int>(current * 100 + 0.5) - 1) / 100.0;
        d = std::max(d, 0.01);
    }
    return d;
}

int32_t NextPlainZoomSide(int32_t side, bool zoomIn) {
    const double v = zoomIn ? side * 1.1 : side / 1.1;
    return static_cast<int32_t>(std::clamp(v + 0.5, 0.0, static_cast<double>(kMaxSide)));
}

std::u16string FormatWindowTitle(const TitleParts& parts, int numerator, int denominator) {
    std::u16string title(parts.displayName);
    if (parts.pageCount > 1) {
        AppendAscii(title, " (page ");
        AppendNumber(title, int64_t{parts.pageIndex} + 1);
        AppendAscii(title, " of ");
        AppendNumber(title, parts.pageCount);
        AppendAscii(title, ")");
    }
    if (numerator != 0) {
        AppendAscii(title, " [");
        AppendNumber(title, numerator);
        AppendAscii(title, ":");
        AppendNumber(title, denominator);
        AppendAscii(title, "]");
    } else {
        const double percent =
            parts.imageWidth ? parts.displayWidth * 100.0 / parts.imageWidth + 0.5 : 0.0;
        AppendAscii(title, " ");
        AppendNumber(title, static_cast<int64_t>(percent));
        AppendAscii(title, "%");
    }
    title.push_back(u' ');
    title.append(parts.loadTime);

    if (title.size() > kWindowTitleUnits - 1) {
        size_t n = kWindowTitleUnits - 1;
        // Never leave half of a surrogate pair at the end.
        if (title[n - 1] >= 0xD800 && title[n - 1] <= 0xDBFF) --n;
        title.resize(n);
    }
    return title;
}
