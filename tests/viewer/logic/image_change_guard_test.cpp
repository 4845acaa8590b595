#include "viewer/logic/image_change_guard.h"

#include <gtest/gtest.h>

namespace {

TEST(ImageChangeGuard, Verdicts) {
    struct Case {
        const char* name;
        GuardFacts facts;
        ImageChange kind;
        ChangeAsker asker;
        GuardVerdict want;
    } cases[] = {
        {"idle apply", {}, ImageChange::Apply, ChangeAsker::User, GuardVerdict::Go},
        {"dialog, user",
         {.toolDialogOpen = true},
         ImageChange::Open,
         ChangeAsker::User,
         GuardVerdict::RefuseWithText},
        {"dialog, menu enabling",
         {.toolDialogOpen = true},
         ImageChange::Apply,
         ChangeAsker::Program,
         GuardVerdict::RefuseSilently},
        {"saving, user",
         {.saving = true},
         ImageChange::Apply,
         ChangeAsker::User,
         GuardVerdict::RefuseWithText},
        {"twain, user",
         {.twainActive = true},
         ImageChange::Acquire,
         ChangeAsker::User,
         GuardVerdict::RefuseWithText},
        {"box up",
         {.boxUp = true},
         ImageChange::Apply,
         ChangeAsker::User,
         GuardVerdict::RefuseSilently},
        {"scan blocks opening",
         {.folderScan = true},
         ImageChange::Open,
         ChangeAsker::User,
         GuardVerdict::RefuseSilently},
        {"scan lets editing go",
         {.folderScan = true},
         ImageChange::Apply,
         ChangeAsker::User,
         GuardVerdict::Go},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecideImageChange(c.facts, c.kind, c.asker), c.want);
    }
}

TEST(ImageChangeGuard, RefusalTexts) {
    const GuardFacts dialogAndSave{.toolDialogOpen = true, .saving = true};
    EXPECT_EQ(FirstGuardCause(dialogAndSave), GuardCause::ToolDialog);
    EXPECT_EQ(GuardRefusalText(ImageChange::Open, GuardCause::ToolDialog, u"Gauss Filter"),
              u"Cannot open new image while dialog\n'Gauss Filter' is running.");
    EXPECT_EQ(GuardRefusalText(ImageChange::Apply, GuardCause::Saving, u""),
              u"Cannot apply actions while saving.");
    EXPECT_EQ(GuardRefusalText(ImageChange::Acquire, GuardCause::Twain, u""),
              u"Cannot acquire while TWAIN transfer is active.");
    const std::u16string longCaption(40, u'x');
    EXPECT_EQ(
        GuardRefusalText(ImageChange::Apply, GuardCause::ToolDialog, longCaption),
        u"Cannot apply actions while dialog\n'" + std::u16string(31, u'x') + u"' is running.");
}

} // namespace
