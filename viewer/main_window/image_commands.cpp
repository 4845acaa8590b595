#include "viewer/main_window/image_commands.h"

#include <cstring>

#include "imglib/convert/modes.h"
#include "imglib/convert/quantize.h"
#include "imglib/ops/color_ops.h"
#include "imglib/ops/geometry.h"
#include "resources/commands.h"
#include "viewer/dialogs/dither_dialog.h"
#include "viewer/actions/history_push.h"
#include "viewer/dialogs/library_messages.h"
#include "viewer/logic/mode_rules.h"
#include "viewer/logic/preferences.h"
#include "viewer/main_window/main_menu.h"
#include "viewer/dialogs/message_box.h"
#include "viewer/main_window/open_image.h"
#include "viewer/settings/preferences_file.h"
#include "viewer/main_window/tooltips.h"

namespace {

int32_t AskMonochromeDither(MainWindowState& state) {
    const int kind = MonochromeDitherKind(g_preferences.monochromeDither);
    return kind >= 0 ? kind : ShowDitherDialog(state);
}

int32_t AskDither(MainWindowState& state, uint32_t command) {
    switch (DecideDither(command, state.image.bits, g_preferences.dither)) {
        case DitherDecision::Off:
            return 0;
        case DitherDecision::On:
            return 1;
        case DitherDecision::Ask:
            break;
    }
    return AskConfirmation(state, L"Use Dithering?", false) == 1 ? 1 : 0;
}

ILResult ConvertMode(MainWindowState& state, uint32_t command, int32_t dither) {
    ILHandle* h = state.handle;
    ILImage* image = &state.image;
    if (const uint32_t bits = IndexedTargetBits(command))
        return ConvertToIndexed(state, bits, dither);
    switch (command) {
        case CMD_MODE_MONOCHROME:
            return ILConvertToMonochrome(h, image, dither);
        case CMD_MODE_GRAY2:
            return ILConvertToGray2(h, image, dither);
        case CMD_MODE_GRAY4:
            return ILConvertToGray4(h, image, dither);
        case CMD_MODE_GRAY8:
            return ILConvertToGray8(h, image, dither);
        case CMD_MODE_GRAY16:
            return ILConvertToGray16(h, image);
        case CMD_MODE_GRAY_HALF:
            return ILConvertToGrayHalf(h, image);
        case CMD_MODE_GRAY_FLOAT:
            return ILConvertToGrayFloat(h, image);
        case CMD_MODE_RGB8:
            return ILConvertToRgb8(h, image, dither);
        case CMD_MODE_RGB16:
            return ILConvertToRgb16(h, image);
        case CMD_MODE_RGB_HALF:
            return ILConvertToRgbHalf(h, image);
        case CMD_MODE_RGB_FLOAT:
            return ILConvertToRgbFloat(h, image);
        default:
            return 0;
    }
}

void ShowModeStatus(MainWindowState& state, uint32_t command) {
    WCHAR item[17];
    GetMainMenuText(state, command, item);
    char text[40] = "Image mode: ";
    const size_t used = strlen(text);
    WideCharToMultiByte(CP_UTF8, 0, item, -1, text + used, static_cast<int>(sizeof text - used),
                        nullptr, nullptr);
    ShowStatusTooltip(state, text, true);
}

// Rotate, mirror, invert and swap: a failure records and shows nothing, the
// unchanged image is rendered again.
void FinishSimpleEdit(MainWindowState& state, ILResult result, bool recorded, bool relayout) {
    if (result == 1 && !recorded) ShowOutOfMemory(state);
    RefreshImageView(state, relayout && result == 1);
    SetCursor(LoadCursorA(nullptr, IDC_ARROW));
}

} // namespace

uint8_t ApplyAlphaOption(MainWindowState& state) {
    uint8_t previous = 0;
    ILGetAlphaMode(state.handle, &previous);
    ILSetAlphaMode(state.handle, g_preferences.useAlpha ? 2 : 0);
    return previous;
}

ILResult ConvertToIndexed(MainWindowState& state, uint32_t bits, int32_t dither) {
    ILImage* image = &state.image;
    if (ILPixelModel(image->type) == IL_MODEL_INDEXED && image->bits == bits) return 1;
    return ILQuantizeImage(state.handle, image, image, 1 << bits, QuantizerHistogramBits(bits),
                           dither);
}

bool ChangeImageMode(MainWindowState& state, uint32_t command, uint8_t dither, uint8_t alphaMode,
                     bool interactive) {
    uint8_t keptAlphaMode = 0;
    if (interactive) {
        dither = static_cast<uint8_t>(command == CMD_MODE_MONOCHROME ? AskMonochromeDither(state)
                                                                     : AskDither(state, command));
    } else {
        keptAlphaMode = ApplyAlphaOption(state);
        ILSetAlphaMode(state.handle, alphaMode);
    }
    const ILResult result = ConvertMode(state, command, dither);
    if (result != 1) {
        ReportOperationFailure(state);
        if (!interactive) ILSetAlphaMode(state.handle, keptAlphaMode);
        return false;
    }
    CheckModeMenuRadio(state, command);
    if (!interactive) {
        ILSetAlphaMode(state.handle, keptAlphaMode);
        return true;
    }
    ModeBlock block;
    block.command = static_cast<int32_t>(command);
    block.dither = dither;
    ILGetAlphaMode(state.handle, &block.alphaMode);
    if (!PushHistoryMode(state.history, block)) ShowOutOfMemory(state);
    RefreshImageView(state, false);
    ShowModeStatus(state, command);
    return true;
}

void RotateImage(MainWindowState& state, int32_t degrees) {
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    const ILResult result = ILRotateImage(state.handle, &state.image, degrees);
    FinishSimpleEdit(state, result, result == 1 && PushHistoryRotate(state.history, degrees),
                     degrees != 180);
}

void MirrorImage(MainWindowState& state, bool leftRight) {
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    const ILResult result = ILMirrorImage(state.handle, &state.image, leftRight ? 1 : 0);
    FinishSimpleEdit(state, result, result == 1 && PushHistoryMirror(state.history, leftRight),
                     false);
}

void InvertImage(MainWindowState& state) {
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    const ILResult result = ILInvertImage(&state.image);
    FinishSimpleEdit(state, result, result == 1 && PushHistoryInvert(state.history), false);
}

void SwapRedAndBlue(MainWindowState& state) {
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    const ILResult result = ILSwapRedBlue(&state.image);
    FinishSimpleEdit(state, result, result == 1 && PushHistorySwapRedBlue(state.history), false);
}
