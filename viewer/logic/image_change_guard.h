// The rules of the busy guard: whether a command that changes or replaces the
// current image may go on, and the text that tells the user why not.
#pragma once

#include <string>
#include <string_view>

// What a command is about to do to the current image.
enum class ImageChange {
    Apply,   // changes the current image
    Open,    // replaces it by another file, the clipboard or a page
    Acquire, // a TWAIN transfer will replace it
};

// Who asks: the user's own command is told why it is refused and stops the
// slideshow; the program's own steps (menu enabling, the slideshow's next
// image) are refused silently.
enum class ChangeAsker {
    User,
    Program,
};

// What else holds the image when the command arrives.
struct GuardFacts {
    bool toolDialogOpen = false;
    bool saving = false; // busy bit 8
    bool twainActive = false;
    bool boxUp = false;      // busy bit 1
    bool folderScan = false; // busy bit 4
};

enum class GuardVerdict {
    Go, // the command may go on (after the confirmation, for opening)
    RefuseSilently,
    RefuseWithText, // tell the user why (GuardRefusalText)
};

enum class GuardCause {
    ToolDialog,
    Saving,
    Twain,
};

GuardVerdict DecideImageChange(const GuardFacts& facts, ImageChange kind, ChangeAsker asker);
// The first cause that holds, in the order tool dialog, saving, TWAIN.
GuardCause FirstGuardCause(const GuardFacts& facts);
// The dialog caption is cut to 31 characters.
std::u16string GuardRefusalText(ImageChange kind, GuardCause cause,
                                std::u16string_view dialogCaption);
