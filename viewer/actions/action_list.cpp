#include "viewer/actions/action_list.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>
#include <utility>

#include "viewer/actions/action_blocks.h"
#include "viewer/actions/le_bytes.h"

namespace {

// Block bytes by type, 0 "NONE" to 19 "3D Projection".
constexpr uint32_t kParamSizes[] = {0, 964, 980, 12, 964, 24, 16,  20, 16,  36,
                                    8, 4,   4,   12, 4,   4,  112, 64, 104, 60};

char16_t* ReadTextPointer(const uint8_t* block) {
    char16_t* text;
    std::memcpy(&text, block + kWriteTextPointerOffset, sizeof text);
    return text;
}

void WriteTextPointer(uint8_t* block, char16_t* text) {
    std::memcpy(block + kWriteTextPointerOffset, &text, sizeof text);
}

} // namespace

bool DuplicateWideString(char16_t** copy, const char16_t* text) {
    *copy = nullptr;
    if (!text || !*text) return false;
    const size_t n = std::char_traits<char16_t>::length(text) + 1;
    *copy = new (std::nothrow) char16_t[n];
    if (!*copy) return false;
    std::memcpy(*copy, text, n * sizeof(char16_t));
    return true;
}

const char16_t* ActionText(const Action& action) {
    if (action.type != ACTION_WRITE_TEXT || !action.block) return nullptr;
    return ReadTextPointer(action.block);
}

void SetActionText(Action& action, char16_t* text) {
    if (action.type != ACTION_WRITE_TEXT || !action.block) {
        delete[] text;
        return;
    }
    delete[] ReadTextPointer(action.block);
    WriteTextPointer(action.block, text);
}

uint32_t ActionParamSize(int32_t type) {
    if (type < 0 || type >= static_cast<int32_t>(std::size(kParamSizes))) return 0;
    return kParamSizes[type];
}

Action::Action(const Action& other) {
    if (other.block)
        Set(other.type, other.block);
    else
        type = other.type;
}

Action& Action::operator=(const Action& other) {
    if (this != &other) {
        if (other.block)
            Assign(other.type, other.block);
        else {
            Clear();
            type = other.type;
        }
    }
    return *this;
}

Action::Action(Action&& other) noexcept
    : type(std::exchange(other.type, -1)), block(std::exchange(other.block, nullptr)) {}

Action& Action::operator=(Action&& other) noexcept {
    if (this != &other) {
        Clear();
        type = std::exchange(other.type, -1);
        block = std::exchange(other.block, nullptr);
    }
    return *this;
}

void Action::Clear() {
    if (block && type == ACTION_WRITE_TEXT) delete[] ReadTextPointer(block);
    delete[] block;
    block = nullptr;
    type = -1;
}

bool Action::Set(int32_t newType, const void* source) {
    Clear();
    type = newType;
    const uint32_t size = ParamSize();
    if (size == 0 || !source) return size == 0;
    auto* own = new (std::nothrow) uint8_t[size];
    if (!own) return false;
    std::memcpy(own, source, size);
    if (type == ACTION_WRITE_TEXT) {
        const char16_t* given = ReadTextPointer(own);
        char16_t* text = nullptr;
        if (!DuplicateWideString(&text, given) && given && *given) {
            delete[] own;
            return false;
        }
        WriteTextPointer(own, text);
    }
    block = own;
    return true;
}

bool Action::Assign(int32_t newType, const void* source) {
    return Set(newType, source);
}

void ActionList::Clear() {
    items.clear();
    items.shrink_to_fit();
    name.clear();
    cursor = -1;
}

Action* ActionList::At(uint32_t index) {
    return index < Count() ? &items[index] : nullptr;
}

bool ActionList::Append() {
    // Make room first, so that a failure leaves the list as it was.
    size_t kept = items.size();
    if (cursor != -1 && static_cast<uint32_t>(cursor) < items.size())
        kept = static_cast<size_t>(cursor) + 1;
    try {
        items.reserve(kept + 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (cursor != -1) {
        while (items.size() > kept)
            Remove(Count() - 1);
        ++cursor;
    }
    Action slot;
    slot.type = ACTION_NONE;
    items.push_back(std::move(slot));
    return true;
}

bool ActionList::AppendCopy(const Action& action) {
    if (!Append()) return false;
    Action& last = items.back();
    if (action.block) return last.Assign(action.type, action.block);
    last.Clear();
    last.type = action.type;
    return true;
}

bool ActionList::Remove(uint32_t index) {
    if (index >= Count()) return false;
    if (Count() == 1) {
        Clear();
        return true;
    }
    items.erase(items.begin() + index);
    if (static_cast<uint32_t>(cursor) >= Count()) cursor = static_cast<int32_t>(Count()) - 1;
    return true;
}

bool ActionList::Move(uint32_t from, uint32_t to) {
    if (from >= Count() || to >= Count() || from == to) return false;
    Action moved = std::move(items[from]);
    items.erase(items.begin() + from);
    items.insert(items.begin() + to, std::move(moved));
    return true;
}

void ResetHistory(ActionList& history) {
    if (history.items.empty()) return;
    history.items.resize(1);
    history.cursor = 0;
}

bool CopyHistoryTo(const ActionList& history, ActionList& favorites) {
    favorites.Clear();
    for (uint32_t i = 1; i < history.Count(); ++i)
        if (!favorites.AppendCopy(history.items[i])) {
            favorites.Clear();
            return false;
        }
    return true;
}

int32_t GetHistoryCursor(const ActionList& history) {
    if (!history.items.empty() && static_cast<uint32_t>(history.cursor) > history.Count()) return 0;
    return history.cursor;
}

void SetHistoryCursor(ActionList& history, int32_t index) {
    history.cursor = static_cast<uint32_t>(index) < history.Count()
                         ? index
                         : static_cast<int32_t>(history.Count()) - 1;
}

OpenBlock MakeOpenBlock(OpenSource source, std::u16string_view path, std::string_view sourceName) {
    OpenBlock block;
    PutI32(block.bytes, source);
    uint8_t* field = block.bytes + 4;
    constexpr size_t kFieldBytes = kOpenBlockBytes - 4;
    if (source == OPEN_FROM_FILE) {
        EncodePathField(path, field);
    } else if (source == OPEN_ACQUIRED) {
        const size_t n = std::min(sourceName.size(), kFieldBytes - 1);
        std::memcpy(field, sourceName.data(), n);
    }
    return block;
}

bool PushHistoryOpen(ActionList& history, const OpenBlock& block) {
    if (!history.Append()) return false;
    return history.items.back().Assign(ACTION_OPEN, block.bytes);
}
