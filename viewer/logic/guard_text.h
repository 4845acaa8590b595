// The information text with which the busy guard refuses a command the user
// gave while other work holds the image.
#pragma once

#include <string>
#include <string_view>

enum class GuardCause {
    ToolDialog,  // a tool dialog is open (its caption tells which)
    Saving,      // the save thread runs
    Twain,       // a TWAIN transfer is active
};

// kind: 0 apply, 1 open, 2 acquire (ImageChangeKind). The dialog caption is
// cut to 31 characters.
std::u16string GuardRefusalText(int kind, GuardCause cause, std::u16string_view dialogCaption);
