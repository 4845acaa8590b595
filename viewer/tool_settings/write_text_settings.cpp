#include "viewer/tool_settings/write_text_settings.h"

#include <algorithm>
#include <cstring>

#include "viewer/logic/control_values.h"

namespace {

constexpr int32_t kWindowWidth = 400, kWindowHeight = 340;
constexpr int32_t kFrameLeft = 260, kFrameTop = 2;

// 0, the middle or the far end by a row or column index of the anchor.
int32_t AlongAnchor(int32_t place, int64_t room) {
    const int64_t at = place == 0 ? 0 : place == 1 ? room / 2 : room;
    return static_cast<int32_t>(std::clamp<int64_t>(at, 0, std::max<int64_t>(room, 0)));
}

} // namespace

WriteTextSettings WriteTextSettingsOf(const WriteTextBlock& b) {
    WriteTextSettings s{};
    s.font = LogFontAs<decltype(s.font)>(b.font);
    s.textColor = b.color;
    s.alignment = b.alignment;
    s.offsetX = b.anchorX;
    s.offsetY = b.anchorY;
    s.anchor = b.anchor;
    s.orientation = b.orientation;
    s.extra = b.dialogSetting;
    s.effect = b.effect;
    s.blur = b.effectBlur;
    s.effectX = b.effectX;
    s.effectY = b.effectY;
    return s;
}

WriteTextBlock WriteTextBlockOf(const WriteTextSettings& s) {
    WriteTextBlock b;
    b.font = LogFontAs<decltype(b.font)>(s.font);
    b.color = s.textColor;
    b.alignment = s.alignment;
    b.anchorX = s.offsetX;
    b.anchorY = s.offsetY;
    b.anchor = s.anchor;
    b.orientation = s.orientation;
    b.dialogSetting = s.extra;
    b.effect = s.effect;
    b.effectBlur = s.blur;
    b.effectX = s.effectX;
    b.effectY = s.effectY;
    return b;
}

WriteTextSettings WriteTextFromStored(const WriteTextBlock& stored) {
    WriteTextSettings s = WriteTextSettingsOf(stored);
    ClampWriteText(s);
    s.effect = WriteTextEffectFromField(WriteTextEffectField(s.effect));
    return s;
}

int32_t WriteTextEffectField(float effect) {
    return ControlValueOf(double{effect} * 20.0, -20, 20);
}

const char* WriteTextEffectLabel(int32_t field) {
    return field > 0 ? "Glow" : field < 0 ? "Shadow" : "No effect";
}

int32_t WriteTextAlignment(int32_t alignment, int32_t line) {
    return ClampToRange(line, 0, 2) | (alignment & kWriteTextRightToLeft);
}

int32_t WriteTextReadingOrder(int32_t alignment, bool rightToLeft) {
    return (alignment & 3) | (rightToLeft ? kWriteTextRightToLeft : 0);
}

void WriteTextReset(WriteTextSettings* s) {
    s->alignment &= kWriteTextRightToLeft;
    s->anchor = s->orientation = 0;
    s->offsetX = s->offsetY = 0;
    s->effect = 0;
    s->blur = 0;
    s->effectX = s->effectY = 0;
}

WriteTextWindow WriteTextPreviewWindow(uint32_t imageWidth, uint32_t imageHeight) {
    WriteTextWindow w;
    w.width = static_cast<int32_t>(std::clamp<uint32_t>(imageWidth, 1, kWindowWidth));
    w.height = static_cast<int32_t>(std::clamp<uint32_t>(imageHeight, 1, kWindowHeight));
    w.x = kFrameLeft + (kWindowWidth - w.width) / 2;
    w.y = kFrameTop + (kWindowHeight - w.height) / 2;
    return w;
}

ImagePoint WriteTextWindowSource(int32_t anchor, uint32_t imageWidth, uint32_t imageHeight,
                                 const WriteTextWindow& window) {
    anchor = ClampToRange(anchor, 0, 8);
    return {AlongAnchor(anchor % 3, int64_t{imageWidth} - window.width),
            AlongAnchor(anchor / 3, int64_t{imageHeight} - window.height)};
}
