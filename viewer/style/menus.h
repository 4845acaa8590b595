// Owner-drawn menus in the interface style, the context menu of a menu
// resource (PopupMenu), and the percentage bar that dialogs paint while a
// worker runs (PercentBar).
#pragma once

#include <windows.h>

#include <cstdint>

// Hung on every converted item as its item data.
struct MenuItemRecord {
    uint32_t flags;           // type bits & 0x3FFF, plus kMenuCheckItem, kMenuOpensSubmenu
    uint32_t length;          // characters read: label, tab and accelerator
    const WCHAR* accelerator; // after the last tab (replaced by NUL); null without one
    WCHAR text[];             // the item text, at most kMenuTextUnits - 1 characters
};

inline constexpr uint32_t kMenuCheckItem = 0x4000;
inline constexpr uint32_t kMenuOpensSubmenu = 0x8000;
inline constexpr int kMenuTextUnits = 60;

// Which kind of mark an item shows is fixed here: radio items a radio glyph,
// items checked at this moment (and not radio items) a check-box glyph, the
// others none. Menu resources therefore check every item meant to carry a
// check box; the program sets the real states afterwards.
void MakeMenuOwnerDrawn(HMENU menu);
// Before a converted menu is destroyed.
void FreeOwnerDrawnMenu(HMENU menu);

// WM_MEASUREITEM and WM_DRAWITEM for items of kind ODT_MENU.
void MeasureMenuItem(HWND window, MEASUREITEMSTRUCT* measure);
void DrawMenuItem(const DRAWITEMSTRUCT* draw);

// Access-key underlines only for menus opened from the keyboard; called
// before a menu is tracked.
void SetMenuUnderlineMode(bool byKeyboard);

// A menu resource whose first submenu is shown as an owner-drawn context menu.
class PopupMenu {
public:
    PopupMenu() = default;
    ~PopupMenu();
    PopupMenu(const PopupMenu&) = delete;
    PopupMenu& operator=(const PopupMenu&) = delete;

    // False, and the object left empty, when the resource does not load.
    bool Load(const WCHAR* resourceName);
    bool Loaded() const { return popup_ != nullptr; }
    // x and y in screen coordinates; the chosen command reaches the owner as
    // WM_COMMAND. Nothing for an empty object.
    void Track(HWND owner, int x, int y, bool byKeyboard) const;
    void EnableItem(UINT commandId, bool enable) const;

private:
    HMENU menu_ = nullptr;
    HMENU popup_ = nullptr;
    UINT trackFlags_ = 0;
};

// A progress bar 16 pixels high whose inside is width pixels wide, with the
// percentage written over it. Update may be called from a worker thread: it
// paints on a device context it takes and releases itself.
class PercentBar {
public:
    PercentBar() { Init(0, 0, 0); }
    void Init(int x, int y, int width);
    // Repaints only when the filled pixel count changes.
    void Update(HWND window, double fraction);
    // False when pixels equals the current count.
    bool SetFilled(int pixels);
    // The caller selects the font and text colour. Nothing while width is 0.
    void Draw(HDC context) const;

private:
    int width_ = 0;
    int filled_ = 0;
    int percent_ = 0;
    int textX_ = 0;
    RECT frame_ = {};
    RECT fill_ = {};
};
