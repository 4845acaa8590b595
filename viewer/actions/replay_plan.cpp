#include "viewer/actions/replay_plan.h"

ReplayPlan PlanUndo(const ActionList& history) {
    ReplayPlan plan;
    const int32_t c = GetHistoryCursor(history);
    if (history.Count() < 2 || c <= 0) return plan;
    plan.run = true;
    plan.reloadSnapshot = true;
    plan.cursor = c - 1;
    plan.first = 1;
    plan.last = static_cast<uint32_t>(c - 1);
    return plan;
}

ReplayPlan PlanRedo(const ActionList& history) {
    ReplayPlan plan;
    const int32_t c = GetHistoryCursor(history);
    if (history.Count() < 2 || c < 0 || static_cast<uint32_t>(c) + 1 >= history.Count())
        return plan;
    plan.run = true;
    plan.cursor = c + 1;
    plan.first = plan.last = static_cast<uint32_t>(c + 1);
    return plan;
}

ReplayPlan PlanJump(const ActionList& history, uint32_t target) {
    ReplayPlan plan;
    const int32_t c = GetHistoryCursor(history);
    if (target >= history.Count() || c < 0 || target == static_cast<uint32_t>(c)) return plan;
    plan.run = true;
    plan.cursor = static_cast<int32_t>(target);
    plan.last = target;
    if (static_cast<uint32_t>(c) < target) {
        plan.first = static_cast<uint32_t>(c) + 1;
    } else {
        plan.reloadSnapshot = true;
        plan.first = 1;
    }
    return plan;
}

bool CarryOutReplay(const ReplayPlan& plan, ActionList& history, ILImage* image,
                    const char16_t* snapshotPath, const std::function<bool(const Action&)>& apply) {
    if (!plan.run) return false;
    if (plan.reloadSnapshot) {
        ILImage snapshot;
        ILInitImage(&snapshot);
        if (!snapshotPath || !ILLoadRawImage(&snapshot, snapshotPath)) {
            ILClearImage(&snapshot);
            return false;
        }
        ILMoveImage(image, &snapshot, true, false);
    }
    SetHistoryCursor(history, plan.cursor);
    for (uint32_t i = plan.first; i <= plan.last; ++i)
        if (const Action* action = history.At(i)) apply(*action);
    return true;
}
