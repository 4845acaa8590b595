#include "viewer/logic/screen_transitions.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kMosaicColumns = 32, kMosaicRows = 24;
constexpr int32_t kMosaicTiles = kMosaicColumns * kMosaicRows;
constexpr int32_t kMosaicDrawEvery = 12;
constexpr int32_t kStripeRows = 24;

uint8_t* Row(const FramePicture& p, int32_t y) {
    return p.pixels + int64_t(y) * p.stride;
}

void CopyRect(const FramePicture& from, const FramePicture& to, int32_t x, int32_t y, int32_t w,
              int32_t h) {
    for (int32_t row = y; row < y + h; ++row)
        std::memcpy(Row(to, row) + 3 * int64_t(x), Row(from, row) + 3 * int64_t(x), size_t(3) * w);
}

} // namespace

ScreenPlacement PlaceOnScreen(int32_t screenWidth, int32_t screenHeight, uint32_t width,
                              uint32_t height, bool upsampleSmallImages) {
    const int64_t W = screenWidth, H = screenHeight, w = width, h = height;
    ScreenPlacement p{};
    if (w == 0 || h == 0 || W <= 0 || H <= 0) return p;
    int64_t sw, sh;
    if (w <= W && h <= H && (!upsampleSmallImages || w >= W || h >= H)) {
        sw = w;
        sh = h;
    } else if (H * w > W * h) {
        sw = W;
        sh = std::max<int64_t>(1, W * h / w); // a hair-thin image keeps one row
    } else {
        sw = std::max<int64_t>(1, H * w / h);
        sh = H;
    }
    p.left = int32_t((W - sw) / 2);
    p.top = int32_t((H - sh) / 2);
    p.width = int32_t(sw);
    p.height = int32_t(sh);
    p.scaleX = double(w) / double(sw);
    p.scaleY = double(h) / double(sh);
    return p;
}

int32_t PushColumnsPerStep(int32_t screenWidth) {
    return screenWidth <= 800 ? 5 : screenWidth <= 1024 ? 8 : screenWidth <= 1280 ? 12 : 16;
}

int32_t PushRowsPerStep(int32_t screenWidth) {
    return screenWidth <= 800 ? 4 : screenWidth <= 1024 ? 7 : screenWidth <= 1280 ? 10 : 12;
}

int32_t RandomBelow(int32_t r, int32_t left) {
    const double top = std::max(left - 1, 0);
    return static_cast<int32_t>(std::clamp(r / 32767.0 * top, 0.0, top));
}

void BlendRows(const uint8_t* a, const uint8_t* b, uint8_t* out, int64_t bytes, int32_t weight) {
    const uint32_t wb = uint32_t(weight), wa = 256 - wb;
    // Eight bytes a round; the compiler keeps them in vector registers.
    int64_t i = 0;
    for (; i + 8 <= bytes; i += 8)
        for (int k = 0; k < 8; ++k)
            out[i + k] = uint8_t((a[i + k] * wa + b[i + k] * wb) >> 8);
    for (; i < bytes; ++i)
        out[i] = uint8_t((a[i] * wa + b[i] * wb) >> 8);
}

ScreenTransition::ScreenTransition(int effect, const FramePicture& old, const FramePicture& fresh,
                                   bool backwards, std::function<int32_t()> random)
    : effect_(effect),
      old_(old),
      fresh_(fresh),
      shown_(old),
      backwards_(backwards),
      random_(std::move(random)) {
    if (effect_ == kBlend) {
        blend_.resize(size_t(old_.stride) * size_t(std::max(old_.height, 0)));
        shown_ = {blend_.data(), old_.width, old_.height, old_.stride};
    } else if (effect_ == kMosaic) {
        tiles_.resize(kMosaicTiles);
        for (int32_t i = 0; i < kMosaicTiles; ++i)
            tiles_[i] = int16_t(i);
    }
}

bool ScreenTransition::Step() {
    if (finished_) return false;
    bool drew = false;
    switch (effect_) {
        case kBlend:
            drew = BlendStep();
            break;
        case kMosaic:
            drew = MosaicStep();
            break;
        case kStripes:
            drew = StripesStep();
            break;
        case kPushLeftRight:
            drew = PushSidewaysStep();
            break;
        case kPushUpDown:
            drew = PushVerticalStep();
            break;
        default:
            break;
    }
    if (!drew) drew = Finish();
    if (drew) ++steps_;
    return drew;
}

// The new frame itself, once, unless the last step showed it complete.
bool ScreenTransition::Finish() {
    finished_ = true;
    bool complete = false;
    const int32_t W = old_.width, H = old_.height;
    switch (effect_) {
        case kMosaic:
            complete = W % kMosaicColumns == 0 && H % kMosaicRows == 0;
            break;
        case kStripes:
            complete = true;
            break;
        case kPushLeftRight:
            complete = W % PushColumnsPerStep(W) == 0;
            break;
        case kPushUpDown:
            complete = H % PushRowsPerStep(W) == 0;
            break;
        default:
            break;
    }
    if (complete && steps_ > 0) return false;
    shown_ = fresh_;
    return true;
}

bool ScreenTransition::BlendStep() {
    position_ += 8;
    if (position_ > 248) return false;
    for (int32_t y = 0; y < old_.height; ++y)
        BlendRows(Row(old_, y), Row(fresh_, y), Row(shown_, y), 3 * int64_t(old_.width), position_);
    return true;
}

bool ScreenTransition::MosaicStep() {
    if (tiles_.empty()) return false;
    const int32_t tw = old_.width / kMosaicColumns, th = old_.height / kMosaicRows;
    // Tiles up to the next one after which the picture is drawn.
    do {
        const int32_t pick = RandomBelow(random_ ? random_() : 0, int32_t(tiles_.size()));
        const int32_t c = tiles_[pick];
        tiles_.erase(tiles_.begin() + pick);
        CopyRect(fresh_, old_, (c % kMosaicColumns) * tw, (c / kMosaicColumns) * th, tw, th);
        ++position_;
    } while (!tiles_.empty() && (position_ - 1) % kMosaicDrawEvery != 0);
    return true;
}

bool ScreenTransition::StripesStep() {
    const int32_t H = old_.height;
    const int32_t passes = (H + kStripeRows - 1) / kStripeRows;
    if (position_ >= passes) return false;
    for (int32_t y = position_; y < H; y += passes)
        std::memcpy(Row(old_, y), Row(fresh_, y), size_t(3) * old_.width);
    ++position_;
    return true;
}

bool ScreenTransition::PushSidewaysStep() {
    const int32_t W = old_.width, s = PushColumnsPerStep(W);
    if (position_ + s > W) return false;
    position_ += s;
    const size_t moved = size_t(3) * (W - s), step = size_t(3) * s;
    for (int32_t y = 0; y < old_.height; ++y) {
        uint8_t* row = Row(old_, y);
        const uint8_t* fresh = Row(fresh_, y);
        if (backwards_) {
            std::memmove(row + step, row, moved);
            std::memcpy(row, fresh + 3 * int64_t(W - position_), step);
        } else {
            std::memmove(row, row + step, moved);
            std::memcpy(row + moved, fresh + 3 * int64_t(position_ - s), step);
        }
    }
    return true;
}

bool ScreenTransition::PushVerticalStep() {
    const int32_t H = old_.height, s = PushRowsPerStep(old_.width);
    if (position_ + s > H) return false;
    position_ += s;
    const size_t rowBytes = size_t(3) * old_.width;
    const size_t moved = size_t(old_.stride) * size_t(H - s);
    const int64_t shift = int64_t(s) * old_.stride;
    if (backwards_) {
        std::memmove(old_.pixels + shift, old_.pixels, moved);
        for (int32_t k = 0; k < s; ++k)
            std::memcpy(Row(old_, k), Row(fresh_, H - position_ + k), rowBytes);
    } else {
        std::memmove(old_.pixels, old_.pixels + shift, moved);
        for (int32_t k = 0; k < s; ++k)
            std::memcpy(Row(old_, H - s + k), Row(fresh_, position_ - s + k), rowBytes);
    }
    return true;
}
