// Recording an edit: each function encodes its block and appends the action
// to the history, dropping the undone entries first. False (the history as
// it was) when memory runs out. The history changes only on the user
// interface thread: a worker posts its action there instead.
#pragma once

#include "viewer/actions/action_blocks.h"
#include "viewer/actions/action_list.h"

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
// Records the size the projection produced from the image it was applied
// to, as a given size, so that a replay makes the same image as the dialog.
bool PushHistory3DProjection(ActionList& history, const ILProjectionParams& block,
                             int32_t appliedWidth, int32_t appliedHeight);
