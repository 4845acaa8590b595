#include <gtest/gtest.h>

#include "viewer/actions/replay_plan.h"

namespace {

// An opened image with `edits` edits, the cursor on `cursor`.
ActionList History(int edits, int32_t cursor) {
    ActionList h;
    for (int i = 0; i <= edits; ++i)
        EXPECT_TRUE(h.Append());
    h.cursor = cursor;
    return h;
}

struct Expect {
    bool run, reload;
    int32_t cursor;
    uint32_t first, last;
};

constexpr Expect kNothing{false, false, 0, 0, 0};

void Check(const ReplayPlan& p, const Expect& e, const char* what) {
    EXPECT_EQ(p.run, e.run) << what;
    if (!p.run || !e.run) return;
    EXPECT_EQ(p.reloadSnapshot, e.reload) << what;
    EXPECT_EQ(p.cursor, e.cursor) << what;
    EXPECT_EQ(p.first, e.first) << what;
    EXPECT_EQ(p.last, e.last) << what;
}

TEST(ReplayPlan, UndoRedoAndJumps) {
    Check(PlanUndo(History(0, 0)), kNothing, "undo after opening");
    Check(PlanUndo(History(3, 0)), kNothing, "undo at the Open entry");
    Check(PlanUndo(History(3, 3)), {true, true, 2, 1, 2}, "undo after three edits");
    Check(PlanUndo(History(1, 1)), {true, true, 0, 1, 0}, "undo the only edit");
    Check(PlanUndo(History(3, -1)), kNothing, "a -1 cursor reads 0");
    Check(PlanRedo(History(3, 2)), {true, false, 3, 3, 3}, "redo the last edit");
    Check(PlanRedo(History(3, 3)), kNothing, "redo on the last entry");
    Check(PlanRedo(History(0, 0)), kNothing, "redo after opening");
    Check(PlanJump(History(4, 1), 3), {true, false, 3, 2, 3}, "jump forwards");
    Check(PlanJump(History(4, 4), 2), {true, true, 2, 1, 2}, "jump backwards");
    Check(PlanJump(History(4, 4), 0), {true, true, 0, 1, 0}, "jump to the Open entry");
    Check(PlanJump(History(4, 2), 2), kNothing, "jump to the current entry");
    Check(PlanJump(History(4, 2), 5), kNothing, "jump past the end");
}

} // namespace
