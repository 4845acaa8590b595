#include "viewer/logic/image_change_guard.h"

#include <gtest/gtest.h>

namespace {

TEST(ImageChangeGuard, Verdicts) {
    struct Case {
        const char* name;
        GuardFacts facts;
        int kind;
        bool user;
        GuardVerdict want;
    } cases[] = {
        {"idle apply", {}, 0, true, GuardVerdict::Go},
        {"dialog, user", {.toolDialogOpen = true}, 1, true, GuardVerdict::RefuseWithText},
        {"dialog, menu enabling", {.toolDialogOpen = true}, 0, false, GuardVerdict::RefuseSilently},
        {"saving, user", {.saving = true}, 0, true, GuardVerdict::RefuseWithText},
        {"twain, user", {.twainActive = true}, 2, true, GuardVerdict::RefuseWithText},
        {"box up", {.boxUp = true}, 0, true, GuardVerdict::RefuseSilently},
        {"scan blocks opening", {.folderScan = true}, 1, true, GuardVerdict::RefuseSilently},
        {"scan lets editing go", {.folderScan = true}, 0, true, GuardVerdict::Go},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecideImageChange(c.facts, c.kind, c.user), c.want);
    }
}

TEST(ImageChangeGuard, RefusalTexts) {
    const GuardFacts dialogAndSave{.toolDialogOpen = true, .saving = true};
    EXPECT_EQ(FirstGuardCause(dialogAndSave), GuardCause::ToolDialog);
    EXPECT_EQ(GuardRefusalText(1, GuardCause::ToolDialog, u"Gauss Filter"),
              u"Cannot open new image while dialog\n'Gauss Filter' is running.");
    EXPECT_EQ(GuardRefusalText(0, GuardCause::Saving, u""), u"Cannot apply actions while saving.");
    EXPECT_EQ(GuardRefusalText(2, GuardCause::Twain, u""),
              u"Cannot acquire while TWAIN transfer is active.");
    const std::u16string longCaption(40, u'x');
    EXPECT_EQ(
        GuardRefusalText(0, GuardCause::ToolDialog, longCaption),
        u"Cannot apply actions while dialog\n'" + std::u16string(31, u'x') + u"' is running.");
}

} // namespace
