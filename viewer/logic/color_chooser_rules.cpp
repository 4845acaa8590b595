#include "viewer/logic/color_chooser_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "viewer/logic/control_values.h"

ChooserForm ChooserFormOf(ILPixelType type) {
    ChooserForm form;
    const uint32_t model = ILPixelModel(type);
    const uint32_t kind = ILSampleKind(type);
    form.extraChannel = ILExtraChannel(type);
    if (model != IL_MODEL_GRAY && model != IL_MODEL_INDEXED) {
        form.mode = CHOOSER_COLOR;
        form.eightBit = kind == IL_KIND_8;
        return form;
    }
    form.mode = model == IL_MODEL_GRAY ? CHOOSER_GRAY : CHOOSER_GRID;
    switch (kind) {
        case IL_KIND_1:
        case IL_KIND_2:
        case IL_KIND_4:
            form.mode = CHOOSER_GRID;
            form.cellCount = kind == IL_KIND_1 ? 2 : kind == IL_KIND_2 ? 4 : 16;
            form.extraChannel = 0;
            break;
        case IL_KIND_8:
            form.eightBit = true;
            form.cellCount = 256;
            if (model == IL_MODEL_INDEXED) form.extraChannel = 0;
            break;
        default:
            form.grayRamp = true;
            break;
    }
    return form;
}

bool ChooserHasAlpha(const ChooserForm& form) {
    return form.extraChannel > IL_EXTRA_FILLER;
}

bool ChooserShowsGrid(const ChooserForm& form) {
    return form.mode == CHOOSER_GRID || (form.mode == CHOOSER_GRAY && form.cellCount <= 256);
}

int32_t ComponentToSlider(float component) {
    return ClampToRange(SaturatingToInt(static_cast<double>(component) * kSliderScale), 0,
                        kSliderScale);
}

void HueValueColor(int x, int y, ILColor* color) {
    constexpr double kThird = 2.0 * 3.14159265358979323846 / 3.0;
    const double h = 3.0 * x / 255.0;
    const double v = (255 - y) / 255.0;
    auto channel = [&](double shift) {
        return (std::cos((h + shift) * kThird + kThird) + 1) / 2 * v;
    };
    color->Set(static_cast<float>(channel(2)), static_cast<float>(channel(1)),
               static_cast<float>(channel(0)));
    color->index = -1;
}

GridShape GridShapeOf(int32_t cellCount) {
    switch (cellCount) {
        case 2:
            return {2, 1, 128, 256};
        case 4:
            return {4, 1, 64, 256};
        case 16:
            return {4, 4, 64, 63};
        default:
            return {16, 16, 16, 15};
    }
}

int32_t GridCellAt(int32_t cellCount, int x, int y) {
    const GridShape shape = GridShapeOf(cellCount);
    const int column = std::clamp(x / shape.cellWidth, 0, shape.columns - 1);
    const int row = std::clamp(y / (shape.rows == 1 ? 256 : shape.cellWidth), 0, shape.rows - 1);
    return std::min(row * shape.columns + column, cellCount - 1);
}

namespace {

std::string Padded(const char* text) {
    std::string padded = text;
    if (padded.size() < 27) padded.append(27 - padded.size(), ' ');
    return padded;
}

} // namespace

std::string ChooserSrgbText(const ILColor& color, bool gray) {
    uint8_t bgra[4];
    color.ToBGRA8(bgra);
    char text[48];
    if (gray)
        std::snprintf(text, sizeof text, " %d", bgra[1]);
    else
        std::snprintf(text, sizeof text, "%d, %d, %d", bgra[2], bgra[1], bgra[0]);
    return Padded(text);
}

std::string ChooserLinearText(const ILColor& color, bool gray) {
    char text[96];
    if (gray)
        std::snprintf(text, sizeof text, " %.4f", static_cast<double>(color.g));
    else
        std::snprintf(text, sizeof text, "%.4f, %.4f, %.4f", static_cast<double>(color.r),
                      static_cast<double>(color.g), static_cast<double>(color.b));
    return Padded(text);
}
