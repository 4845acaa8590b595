#include "viewer/actions/action_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "imglib/io/path.h"
#include "viewer/actions/action_blocks.h"
#include "viewer/actions/le_bytes.h"

namespace {

constexpr uint8_t kStoreMagic[4] = {'V', 'x', 'A', ' '};
constexpr uint8_t kListMagic[4] = {'V', 'x', 'A', 'L'};
// The smallest encoded action (a type and an empty block) and store entry.
constexpr size_t kMinActionBytes = 4;
constexpr size_t kStoreNameBytes = 2 * kStoreNameUnits;
// Files larger than this are not action files of ours.
constexpr uint64_t kMaxFileBytes = uint64_t(1) << 30;

void AppendU32(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t b[4];
    PutU32(b, v);
    out.insert(out.end(), b, b + 4);
}

void AppendUnits(std::vector<uint8_t>& out, const char16_t* units, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        out.push_back(static_cast<uint8_t>(units[i]));
        out.push_back(static_cast<uint8_t>(units[i] >> 8));
    }
}

bool ReadUnits(ByteReader& in, char16_t* units, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        uint8_t b[2];
        if (!in.Read(b, 2)) return false;
        units[i] = static_cast<char16_t>(b[0] | b[1] << 8);
    }
    return true;
}

// The 960-byte text fields of Open and Alpha Channel blocks end with a zero
// even when the file's did not.
void TerminateTextFields(Action& action) {
    if (action.type == ACTION_OPEN || action.type == ACTION_ALPHA_CHANNEL) {
        action.block[962] = 0;
        action.block[963] = 0;
    }
}

void AppendStoreEntry(std::vector<uint8_t>& out, const StoreEntry& entry) {
    WriteAction(entry.action, out); // a Write Text action without text still keeps its name
    AppendUnits(out, entry.name, kStoreNameUnits);
}

} // namespace

bool ByteReader::Read(void* out, size_t n) {
    if (n > Left()) return false;
    std::memcpy(out, data_.data() + pos_, n);
    pos_ += n;
    return true;
}

bool ByteReader::ReadU32(uint32_t* v) {
    uint8_t b[4];
    if (!Read(b, 4)) return false;
    *v = GetU32(b);
    return true;
}

bool WriteWideString(const char16_t* text, std::vector<uint8_t>& out) {
    const size_t n = text ? std::char_traits<char16_t>::length(text) : 0;
    AppendU32(out, static_cast<uint32_t>(n));
    if (n == 0) return false;
    AppendUnits(out, text, n + 1);
    return true;
}

bool ReadWideString(ByteReader& in, std::u16string* text) {
    bool empty;
    return ReadWideString(in, text, &empty);
}

bool ReadWideString(ByteReader& in, std::u16string* text, bool* empty) {
    text->clear();
    uint32_t n = 0;
    const bool counted = in.ReadU32(&n);
    *empty = counted && n == 0;
    if (!counted || n == 0) return false;
    // n + 1 units must be there: checked without n + 1 wrapping.
    if (n >= in.Left() / 2) return false;
    text->resize(n + size_t(1));
    if (!ReadUnits(in, text->data(), n + size_t(1))) return false;
    text->resize(n);
    return true;
}

bool WriteAction(const Action& action, std::vector<uint8_t>& out) {
    const uint32_t size = action.ParamSize();
    if (size > 0 && !action.block) return false;
    AppendU32(out, static_cast<uint32_t>(action.type));
    if (action.type != ACTION_WRITE_TEXT) {
        out.insert(out.end(), action.block, action.block + size);
        return true;
    }
    out.insert(out.end(), action.block, action.block + kWriteTextFileBytes);
    return WriteWideString(ActionText(action), out);
}

bool ReadAction(Action* action, ByteReader& in) {
    action->Clear();
    uint32_t type;
    if (!in.ReadU32(&type)) return false;
    if (type > ACTION_PROJECTION_3D) return false;
    const auto t = static_cast<int32_t>(type);
    const uint32_t size = ActionParamSize(t);
    if (size == 0) {
        action->type = t;
        return true;
    }
    uint8_t buffer[980] = {}; // the largest block (Save)
    const uint32_t fileBytes = t == ACTION_WRITE_TEXT ? kWriteTextFileBytes : size;
    if (!in.Read(buffer, fileBytes)) return false;
    if (!action->Set(t, buffer)) {
        action->Clear();
        return false;
    }
    TerminateTextFields(*action);
    if (t != ACTION_WRITE_TEXT) return true;
    std::u16string text;
    bool empty;
    if (!ReadWideString(in, &text, &empty)) {
        // Stored without text, the action stays (as the database keeps it);
        // a text that breaks off leaves nothing.
        if (!empty) action->Clear();
        return false;
    }
    char16_t* owned = nullptr;
    if (!DuplicateWideString(&owned, text.c_str())) {
        // Memory ran out, or the text held a zero at its start.
        return false;
    }
    SetActionText(*action, owned);
    return true;
}

bool ReadWholeFile(const char16_t* path, std::vector<uint8_t>* bytes) {
    bytes->clear();
    std::unique_ptr<FILE, int (*)(FILE*)> file(ILPathOpen(path, "rb"), &std::fclose);
    if (!file) return false;
    if (std::fseek(file.get(), 0, SEEK_END) != 0) return false;
    const long size = std::ftell(file.get());
    if (size < 0 || static_cast<uint64_t>(size) > kMaxFileBytes) return false;
    std::rewind(file.get());
    try {
        bytes->resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return std::fread(bytes->data(), 1, bytes->size(), file.get()) == bytes->size();
}

bool ReplaceFile(const char16_t* path, std::span<const uint8_t> bytes) {
    const auto target = ILPathToUtf8(path);
    if (!target) return false;
    const std::string temporary = *target + ".tmp";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fflush(file) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    if (ok && std::rename(temporary.c_str(), target->c_str()) == 0) return true;
    std::remove(temporary.c_str());
    return false;
}

bool EncodeActionList(const ActionList& list, std::vector<uint8_t>& out) {
    out.insert(out.end(), kListMagic, kListMagic + 4);
    AppendU32(out, kActionFileVersion);
    AppendU32(out, list.Count());
    AppendU32(out, static_cast<uint32_t>(list.name.size()));
    AppendUnits(out, list.name.data(), list.name.size());
    for (const Action& action : list.items)
        if (!WriteAction(action, out)) return false;
    return true;
}

bool DecodeActionList(std::span<const uint8_t> bytes, ActionList* list) {
    ByteReader in(bytes);
    uint8_t magic[4];
    uint32_t version, count, nameLength;
    if (!in.Read(magic, 4) || std::memcmp(magic, kListMagic, 4) != 0 || !in.ReadU32(&version) ||
        !in.ReadU32(&count) || !in.ReadU32(&nameLength))
        return false;
    if (nameLength > in.Left() / 2) return false;
    ActionList read;
    read.name.resize(nameLength);
    if (!ReadUnits(in, read.name.data(), nameLength)) return false;
    if (count > in.Left() / kMinActionBytes) return false;
    read.items.resize(count);
    for (Action& action : read.items)
        if (!ReadAction(&action, in)) return false;
    *list = std::move(read);
    return true;
}

bool LoadActionListFile(const char16_t* path, ActionList* list) {
    std::vector<uint8_t> bytes;
    return ReadWholeFile(path, &bytes) && DecodeActionList(bytes, list);
}

bool SaveActionListFile(const char16_t* path, const ActionList& list) {
    std::vector<uint8_t> bytes;
    return EncodeActionList(list, bytes) && ReplaceFile(path, bytes);
}

void ActionStore::Load(std::span<const uint8_t> bytes) {
    loaded_.clear();
    added_.clear();
    dirty_ = false;
    ByteReader in(bytes);
    uint8_t magic[4];
    uint32_t version, count;
    if (!in.Read(magic, 4) || std::memcmp(magic, kStoreMagic, 4) != 0 || !in.ReadU32(&version) ||
        version != kActionFileVersion || !in.ReadU32(&count))
        return;
    if (count > in.Left() / (kMinActionBytes + kStoreNameBytes)) return;
    loaded_.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        StoreEntry entry;
        // A Write Text action stored without its text is kept as such.
        const bool read = ReadAction(&entry.action, in);
        if (!read && !(entry.action.type == ACTION_WRITE_TEXT && entry.action.block)) break;
        if (!ReadUnits(in, entry.name, kStoreNameUnits)) break;
        entry.name[kStoreNameUnits - 1] = 0;
        loaded_.push_back(std::move(entry));
    }
}

bool ActionStore::LoadFile(const char16_t* path) {
    std::vector<uint8_t> bytes;
    const bool read = ReadWholeFile(path, &bytes);
    Load(read ? std::span<const uint8_t>(bytes) : std::span<const uint8_t>());
    return read;
}

std::vector<uint8_t> ActionStore::Encode() const {
    std::vector<uint8_t> out(kStoreMagic, kStoreMagic + 4);
    AppendU32(out, kActionFileVersion);
    AppendU32(out, static_cast<uint32_t>(loaded_.size() + added_.size()));
    for (const StoreEntry& entry : loaded_)
        AppendStoreEntry(out, entry);
    for (const StoreEntry& entry : added_)
        AppendStoreEntry(out, entry);
    return out;
}

bool ActionStore::SaveFile(const char16_t* path) const {
    if (!NeedsSaving()) return true;
    return ReplaceFile(path, Encode());
}

int ActionStore::Count(int32_t type) const {
    if (type == -1) return 0;
    if (type == ACTION_NONE) return static_cast<int>(loaded_.size());
    int n = 0;
    for (const StoreEntry& entry : loaded_)
        n += entry.action.type == type;
    return n;
}

bool ActionStore::Find(int32_t type, uint32_t n, uint32_t* index) const {
    if (n >= loaded_.size() || type == -1) return false;
    if (type == ACTION_NONE) {
        *index = n;
        return true;
    }
    for (uint32_t i = 0; i < loaded_.size(); ++i) {
        if (loaded_[i].action.type != type) continue;
        if (n-- == 0) {
            *index = i;
            return true;
        }
    }
    return false;
}

bool ActionStore::Get(int32_t type, uint32_t n, Action* action, std::u16string* name) const {
    uint32_t index;
    if ((!action && !name) || !Find(type, n, &index)) return false;
    const StoreEntry& entry = loaded_[index];
    if (action) *action = entry.action;
    if (name) *name = entry.name;
    return true;
}

bool ActionStore::Put(const Action& action, std::u16string_view name) {
    StoreEntry entry;
    const size_t n = std::min(name.size(), kStoreNameUnits - 1);
    std::copy_n(name.begin(), n, entry.name);
    for (StoreEntry& old : loaded_) {
        if (old.action.type == action.type &&
            std::equal(old.name, old.name + kStoreNameUnits, entry.name)) {
            old.action = action;
            dirty_ = true;
            return true;
        }
    }
    entry.action = action;
    added_.push_back(std::move(entry));
    return true;
}

bool ActionStore::Remove(int32_t type, uint32_t n) {
    uint32_t index;
    if (!Find(type, n, &index)) return false;
    loaded_.erase(loaded_.begin() + index);
    dirty_ = true;
    return true;
}
