#include "viewer/actions/history_push.h"

#include <cstring>

#include "viewer/logic/projection_3d_settings.h"

namespace {

// Appends the action of an encoded block.
bool PushBlock(ActionList& history, int32_t type, const uint8_t* block) {
    Action action;
    if (!action.Set(type, block)) return false;
    return history.AppendCopy(action);
}

template <typename Block>
bool Push(ActionList& history, int32_t type, const Block& block) {
    Action action;
    return MakeAction(type, block, &action) && history.AppendCopy(action);
}

bool PushInt(ActionList& history, int32_t type, int32_t value) {
    uint8_t bytes[4];
    EncodeInt(value, bytes);
    return PushBlock(history, type, bytes);
}

} // namespace

bool PushHistoryMode(ActionList& h, const ModeBlock& b) {
    return Push(h, ACTION_MODE, b);
}
bool PushHistoryAlphaChannel(ActionList& h, const AlphaBlock& b) {
    return Push(h, ACTION_ALPHA_CHANNEL, b);
}
bool PushHistoryToneMapping(ActionList& h, const ToneMapBlock& b) {
    return Push(h, ACTION_TONEMAPPING, b);
}
bool PushHistoryColorFilter(ActionList& h, const ColorFilterBlock& b) {
    return Push(h, ACTION_COLOR_FILTER, b);
}
bool PushHistoryGaussFilter(ActionList& h, const GaussBlock& b) {
    return Push(h, ACTION_GAUSS_FILTER, b);
}
bool PushHistoryCrop(ActionList& h, const MarginsBlock& b) {
    return Push(h, ACTION_CROP, b);
}
bool PushHistoryExpand(ActionList& h, const ExpandBlock& b) {
    return Push(h, ACTION_EXPAND, b);
}
bool PushHistoryShift(ActionList& h, const ShiftBlock& b) {
    return Push(h, ACTION_SHIFT, b);
}
bool PushHistoryRotate(ActionList& h, int32_t degrees) {
    return PushInt(h, ACTION_ROTATE, degrees);
}
bool PushHistoryMirror(ActionList& h, bool leftRight) {
    return PushInt(h, ACTION_MIRROR, leftRight ? 1 : 0);
}
bool PushHistoryResample(ActionList& h, const ResampleBlock& b) {
    return Push(h, ACTION_RESAMPLE, b);
}
bool PushHistoryInvert(ActionList& h) {
    return PushInt(h, ACTION_INVERT, 0);
}
bool PushHistorySwapRedBlue(ActionList& h) {
    return PushInt(h, ACTION_SWAP_RED_BLUE, 0);
}

bool MakeAction(int32_t type, const WriteTextBlock& b, Action* action) {
    uint8_t bytes[kWriteTextBytes];
    EncodeBlock(b, bytes);
    const char16_t* text = b.text.empty() ? nullptr : b.text.c_str();
    std::memcpy(bytes + kWriteTextPointerOffset, &text, sizeof text);
    return action->Set(type, bytes); // Set copies the text
}

bool PushHistoryWriteText(ActionList& h, const WriteTextBlock& b) {
    return Push(h, ACTION_WRITE_TEXT, b);
}

bool PushHistoryAffine(ActionList& h, const ILAffineParams& b) {
    return Push(h, ACTION_AFFINE, b);
}
bool PushHistoryPerspective(ActionList& h, const ILPerspectiveParams& b) {
    return Push(h, ACTION_PERSPECTIVE, b);
}

bool PushHistory3DProjection(ActionList& h, const ILProjectionParams& b, uint32_t sourceWidth,
                             uint32_t sourceHeight) {
    return Push(h, ACTION_PROJECTION_3D, Projection3DRecord(b, sourceWidth, sourceHeight));
}
