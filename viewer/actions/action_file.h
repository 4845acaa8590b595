// The binary encoding of actions and the three files built on it: the
// named-action database "actions.adb", the action-list files ("vxa") and the
// favourites "fa.up" in the action-list layout. Everything is read from a
// byte buffer whose end bounds every count and length, and written whole to
// a temporary file that replaces the old one only when complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "viewer/actions/action_list.h"

// Reads little-endian fields off a buffer; every read checks the bytes left.
class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}
    size_t Left() const { return data_.size() - pos_; }
    bool Read(void* out, size_t n);
    bool ReadU32(uint32_t* v);

private:
    std::span<const uint8_t> data_;
    size_t pos_ = 0;
};

// Encoded text: n (units without the terminator), then n + 1 units. A null
// or empty text is written as n = 0 and answers false, as reading n = 0 does.
bool WriteWideString(const char16_t* text, std::vector<uint8_t>& out);
bool ReadWideString(ByteReader& in, std::u16string* text);
// Also tells whether the failure was a count of 0 (an empty text as written).
bool ReadWideString(ByteReader& in, std::u16string* text, bool* empty);

// The type, then the block; Write Text without its pointer (104 bytes) and
// with its text encoded after it. False for a Write Text action without text
// (written up to its n = 0) and for an action of a sized type without a
// block (nothing written).
bool WriteAction(const Action& action, std::vector<uint8_t>& out);
// Unknown types are refused; fixed text fields of the block are terminated.
// On failure the action is empty, except for a Write Text action whose
// text count is 0: it keeps its block without text and the answer is false
// (a database entry stored so); a text that breaks off leaves it empty.
bool ReadAction(Action* action, ByteReader& in);

// Whole files. Paths are the Unix paths ImgLib opens (UTF-16).
bool ReadWholeFile(const char16_t* path, std::vector<uint8_t>* bytes);
// Written beside the target under a temporary name and renamed over it, so
// that a failed write leaves the old file as it was.
bool ReplaceFile(const char16_t* path, std::span<const uint8_t> bytes);

// Action-list files ("vxa", "fa.up"): "VxAL", version 257 (not checked on
// reading), count, name length, name, the encoded actions.
inline constexpr uint32_t kActionFileVersion = 257;
// False when an action cannot be encoded (the bytes end after it).
bool EncodeActionList(const ActionList& list, std::vector<uint8_t>& out);
// All or nothing: on failure the list is left as it was.
bool DecodeActionList(std::span<const uint8_t> bytes, ActionList* list);
bool LoadActionListFile(const char16_t* path, ActionList* list);
// A list with an action that cannot be encoded is not written.
bool SaveActionListFile(const char16_t* path, const ActionList& list);

// The named-action database in memory, for one named-action dialog.
inline constexpr size_t kStoreNameUnits = 112;
struct StoreEntry {
    Action action;
    char16_t name[kStoreNameUnits] = {}; // terminated, zero-padded
};

class ActionStore {
public:
    // Empty when the file is missing, foreign ("VxA " and 257 expected) or
    // announces more entries than it can hold; otherwise the entries up to
    // the first that cannot be read whole.
    void Load(std::span<const uint8_t> bytes);
    bool LoadFile(const char16_t* path);
    // The database bytes: the loaded entries, then the added ones.
    std::vector<uint8_t> Encode() const;
    // Writes the file when an entry was replaced, removed or added; false
    // when that write fails.
    bool SaveFile(const char16_t* path) const;
    bool NeedsSaving() const { return dirty_ || !added_.empty(); }

    // Type 0 counts every loaded entry, -1 none.
    int Count(int32_t type) const;
    // The loaded index of the n-th entry of the type (of any type for 0).
    bool Find(int32_t type, uint32_t n, uint32_t* index) const;
    bool Get(int32_t type, uint32_t n, Action* action, std::u16string* name) const;
    // Replaces a loaded entry of the same type and name (case-sensitive),
    // or adds one, seen only after the next load. Names are cut to 111 units.
    bool Put(const Action& action, std::u16string_view name);
    bool Remove(int32_t type, uint32_t n);

private:
    std::vector<StoreEntry> loaded_;
    std::vector<StoreEntry> added_;
    bool dirty_ = false;
};
