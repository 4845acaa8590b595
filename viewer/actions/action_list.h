// Recorded edits (Action: a type and its parameter block) and the lists that
// hold them (ActionList), as the history of the current image uses them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "viewer/actions/action_types.h"

// Block bytes of a type; 0 for "NONE" and unknown types.
uint32_t ActionParamSize(int32_t type);

// One recorded edit. The block is owned and copied with the action; a Write
// Text block also owns the UTF-16 text its last field points to.
struct Action {
    int32_t type = -1; // -1: empty
    uint8_t* block = nullptr;

    Action() = default;
    ~Action() { Clear(); }
    Action(const Action& other);
    Action& operator=(const Action& other);
    Action(Action&& other) noexcept;
    Action& operator=(Action&& other) noexcept;

    uint32_t ParamSize() const { return ActionParamSize(type); }
    void Clear();
    // Sets the type and copies ParamSize() bytes from `source` (and a Write
    // Text block's text). False when memory runs out: the type stays, with no
    // block.
    bool Set(int32_t newType, const void* source);
    bool Assign(int32_t newType, const void* source);
};

// Offset of the text pointer inside a Write Text block.
inline constexpr size_t kWriteTextPointerOffset = 104;

// Own copy of a NUL-terminated text: null (and false) for a null or empty
// text, or when memory runs out.
bool DuplicateWideString(char16_t** copy, const char16_t* text);
// A Write Text action's text (null for none or another type).
const char16_t* ActionText(const Action& action);
// Hands the text (from new[], or null) to a Write Text action's block,
// freeing the one it had; other actions free it.
void SetActionText(Action& action, char16_t* text);

struct ActionList {
    std::vector<Action> items;
    std::u16string name; // only from and for action-list files
    int32_t cursor = -1; // current item, -1 for none

    uint32_t Count() const { return static_cast<uint32_t>(items.size()); }
    void Clear();
    // Null when index >= Count().
    Action* At(uint32_t index);
    // Drops the items after the cursor (the undone ones) and moves the cursor
    // on, then adds an empty slot (type 0). With no cursor nothing is
    // dropped. False, the list unchanged, when memory runs out.
    bool Append();
    bool AppendCopy(const Action& action);
    // Removing the only item clears the list; a cursor past the new end
    // moves to the last item.
    bool Remove(uint32_t index);
    // Takes item `from` out and puts it back at `to`, the items between
    // moving one place towards the gap; false (nothing moved) when either
    // lies beyond the list or they are equal.
    bool Move(uint32_t from, uint32_t to);
};

// The history's cursor as callers use it: a non-empty history whose cursor
// lies past its items (also -1) reads 0.
int32_t GetHistoryCursor(const ActionList& history);
// The cursor becomes index, or the last item when index lies beyond.
void SetHistoryCursor(ActionList& history, int32_t index);

// Keeps only the history's first entry (the Open action), cursor on it; an
// empty history stays empty.
void ResetHistory(ActionList& history);
// The favourites become copies of the history's edits (entries 1 on, the
// undone ones too); false, the favourites cleared, when memory runs out.
bool CopyHistoryTo(const ActionList& history, ActionList& favorites);

// The Open action's block (OpenSource in action_types.h).
inline constexpr size_t kOpenBlockBytes = 964;
struct OpenBlock {
    uint8_t bytes[kOpenBlockBytes] = {};
};
// Source 1: the path as UTF-16 (at most 479 units); source 3: the TWAIN
// source's name as 8-bit text; source 2: nothing. Little-endian, the rest 0.
OpenBlock MakeOpenBlock(OpenSource source, std::u16string_view path, std::string_view sourceName);

// Appends an Open action to the history (the caller has cleared it).
bool PushHistoryOpen(ActionList& history, const OpenBlock& block);
