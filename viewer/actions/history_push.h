// Recording an edit: each function encodes its block and appends the action
// to the history, dropping the undone entries first. False (the history as
// it was) when memory runs out. The history changes only on the user
// interface thread: a worker posts its action there instead.
#pragma once

#include "viewer/actions/action_blocks.h"
#include "viewer/actions/action_list.h"

// The action of a type from its block (a Write Text block with its own copy
// of the text), as the history and the named actions keep it; false when
// memory runs out.
template <typename Block>
bool MakeAction(int32_t type, const Block& block, Action* action) {
    uint8_t bytes[kAlphaBytes] = {};
    EncodeBlock(block, bytes);
    return action->Set(type, bytes);
}
bool MakeAction(int32_t type, const WriteTextBlock& block, Action* action);

bool PushHistoryMode(ActionList& history, const ModeBlock& block);
bool PushHistoryAlphaChannel(ActionList& history, const AlphaBlock& block);
bool PushHistoryToneMapping(ActionList& history, const ToneMapBlock& block);
bool PushHistoryColorFilter(ActionList& history, const ColorFilterBlock& block);
bool PushHistoryGaussFilter(ActionList& history, const GaussBlock& block);
bool PushHistoryCrop(ActionList& history, const MarginsBlock& block);
bool PushHistoryExpand(ActionList& history, const ExpandBlock& block);
bool PushHistoryShift(ActionList& history, const ShiftBlock& block);
bool PushHistoryRotate(ActionList& history, int32_t clockwiseDegrees);
bool PushHistoryMirror(ActionList& history, bool leftRight);
bool PushHistoryResample(ActionList& history, const ResampleBlock& block);
bool PushHistoryInvert(ActionList& history);
bool PushHistorySwapRedBlue(ActionList& history);
// The block's text goes with it (an own copy).
bool PushHistoryWriteText(ActionList& history, const WriteTextBlock& block);
bool PushHistoryAffine(ActionList& history, const ILAffineParams& block);
bool PushHistoryPerspective(ActionList& history, const ILPerspectiveParams& block);
// Records a projection applied at block.width x block.height to a source of
// the given size: when the size rule of the block's mode gives another size,
// the record says user size, so that a replay makes the dialog's image.
bool PushHistory3DProjection(ActionList& history, const ILProjectionParams& block,
                             uint32_t sourceWidth, uint32_t sourceHeight);
