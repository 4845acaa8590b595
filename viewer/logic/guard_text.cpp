#include "viewer/logic/guard_text.h"

std::u16string GuardRefusalText(int kind, GuardCause cause, std::u16string_view dialogCaption) {
    std::u16string text;
    switch (kind) {
    case 1:
        text = u"Cannot open new image while";
        break;
    case 2:
        text = u"Cannot acquire while";
        break;
    default:
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
