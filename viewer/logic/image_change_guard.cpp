#include "viewer/logic/image_change_guard.h"

GuardVerdict DecideImageChange(const GuardFacts& facts, ImageChange kind, ChangeAsker asker) {
    const bool free = !facts.toolDialogOpen && !facts.saving && !facts.twainActive;
    if (!free)
        return asker == ChangeAsker::User ? GuardVerdict::RefuseWithText
                                          : GuardVerdict::RefuseSilently;
    if (facts.boxUp) return GuardVerdict::RefuseSilently;
    // The folder scan writes the folder list; opening would move through it.
    if (kind == ImageChange::Open && facts.folderScan) return GuardVerdict::RefuseSilently;
    return GuardVerdict::Go;
}

GuardCause FirstGuardCause(const GuardFacts& facts) {
    if (facts.toolDialogOpen) return GuardCause::ToolDialog;
    if (facts.saving) return GuardCause::Saving;
    return GuardCause::Twain;
}

std::u16string GuardRefusalText(ImageChange kind, GuardCause cause,
                                std::u16string_view dialogCaption) {
    std::u16string text;
    switch (kind) {
        case ImageChange::Open:
            text = u"Cannot open new image while";
            break;
        case ImageChange::Acquire:
            text = u"Cannot acquire while";
            break;
        case ImageChange::Apply:
            text = u"Cannot apply actions while";
            break;
    }
    switch (cause) {
        case GuardCause::ToolDialog:
            text += u" dialog\n'";
            text += dialogCaption.substr(0, 31);
            text += u"' is running.";
            break;
        case GuardCause::Saving:
            text += u" saving.";
            break;
        case GuardCause::Twain:
            text += u" TWAIN transfer is active.";
            break;
    }
    return text;
}
