#include "viewer/logic/folder_list.h"

#include <algorithm>
#include <atomic>
#include <random>

#include "imglib/format_id.h"
#include "imglib/image.h"

uint32_t PackThumbState(uint32_t width, uint32_t height, uint32_t stride) {
    return (width & 0x3FF) | (height & 0x3FF) << 10 | stride << 20;
}

ThumbGeometry UnpackThumbState(uint32_t state) {
    if (state <= kThumbClaimed) return {0, 0, 0};
    return {state & 0x3FF, (state >> 10) & 0x3FF, state >> 20};
}

void PublishThumbnail(FileEntry& entry, uint8_t* pixels, uint32_t state) {
    std::atomic_ref<uint32_t>(entry.thumbState).store(state, std::memory_order_relaxed);
    std::atomic_ref<uint8_t*>(entry.thumbPixels).store(pixels, std::memory_order_release);
}

const uint8_t* LoadedThumbnail(const FileEntry& entry) {
    return std::atomic_ref<uint8_t* const>(entry.thumbPixels).load(std::memory_order_acquire);
}

bool SetEntryName(FileEntry& entry, std::u16string_view name) {
    if (name.size() >= kEntryNameUnits) return false;
    std::copy(name.begin(), name.end(), entry.name);
    std::fill(entry.name + name.size(), entry.name + kEntryNameUnits, u'\0');
    return true;
}

std::u16string_view EntryName(const FileEntry& entry) {
    return std::u16string_view(entry.name);
}

namespace {

// Lower case for the letters that have a one-unit lower-case form in the
// Latin-1, Latin Extended-A, Greek and Cyrillic blocks.
char16_t FoldCase(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? c + 32 : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F))
        return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
        c != 0x17F) {
        // Pairs alternate: even upper in 0x100-0x137 and 0x14A-0x177, odd
        // upper in 0x139-0x148 and 0x179-0x17E; 0x178 is Y with diaeresis.
        if (c == 0x178) return 0xFF;
        const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddUpper ? (c & 1) : !(c & 1)) return c + 1;
    }
    return c;
}

} // namespace

int CompareNamesNoCase(std::u16string_view a, std::u16string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int d = int(FoldCase(a[i])) - int(FoldCase(b[i]));
        if (d != 0) return d;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

void FreeThumbnails(FolderList& list) {
    for (FileEntry& e : list.entries) {
        ILFree(e.thumbPixels);
        e.thumbPixels = nullptr;
        e.thumbState = 0;
    }
}

void ClearFolderList(FolderList& list) {
    FreeThumbnails(list);
    list.entries.clear();
    list.entries.shrink_to_fit();
    list.folder.clear();
    list.current = -1;
}

int32_t CountSelectedEntries(const FolderList& list) {
    return static_cast<int32_t>(std::count_if(list.entries.begin(), list.entries.end(),
                                              [](const FileEntry& e) { return e.isSelected; }));
}

int32_t NextSelectedEntry(const FolderList& list, int32_t from) {
    const int32_t count = static_cast<int32_t>(list.entries.size());
    for (int32_t i = std::max(from, 0); i < count; ++i)
        if (list.entries[i].isSelected) return i;
    return -1;
}

bool IsCurrentEntrySelected(const FolderList& list) {
    return list.current >= 0 && list.current < static_cast<int32_t>(list.entries.size()) &&
           list.entries[list.current].isSelected;
}

std::u16string EntryPath(const FolderList& list, int32_t index) {
    return list.folder + std::u16string(EntryName(list.entries[index]));
}

std::u16string SelectedPathList(const FolderList& list) {
    std::u16string paths;
    for (size_t i = 0; i < list.entries.size(); ++i) {
        if (!list.entries[i].isSelected) continue;
        paths += EntryPath(list, static_cast<int32_t>(i));
        paths.push_back(u'\0');
    }
    if (!paths.empty()) paths.push_back(u'\0');
    return paths;
}

void ChangeSelection(FolderList& list, Selection change) {
    for (FileEntry& e : list.entries)
        e.isSelected = change == Selection::All ? 1 : change == Selection::None ? 0 : !e.isSelected;
}

void SelectFormat(FolderList& list, int32_t formatId) {
    for (FileEntry& e : list.entries)
        e.isSelected = e.formatId == static_cast<int32_t>(formatId & IL_FORMAT_ROW_MASK);
}

void SetCurrentEntry(FolderList& list, int32_t index) {
    const int32_t count = static_cast<int32_t>(list.entries.size());
    if (list.current >= 0 && list.current < count) list.entries[list.current].isCurrent = 0;
    if (index < 0 || index >= count) {
        list.current = -1;
        return;
    }
    list.entries[index].isCurrent = 1;
    list.current = index;
}

int32_t PageTarget(const FolderList& list, PageStep step) {
    const int32_t count = static_cast<int32_t>(list.entries.size());
    const int32_t c = list.current;
    switch (step) {
        case PageStep::Next:
            if (count < 2) return -1;
            return c < 0 || c + 1 >= count ? 0 : c + 1;
        case PageStep::Previous:
            if (count < 2) return -1;
            return c <= 0 ? count - 1 : c - 1;
        case PageStep::First:
            return count == 0 || c == 0 ? -1 : 0;
        case PageStep::Last:
            return count == 0 || c == count - 1 ? -1 : count - 1;
    }
    return -1;
}

int32_t GoToTarget(const FolderList& list, int32_t index) {
    const int32_t count = static_cast<int32_t>(list.entries.size());
    return index < 0 || index >= count || index == list.current ? -1 : index;
}

namespace {

template <typename Key>
bool ByKeyThenName(const FileEntry& a, const FileEntry& b, Key key) {
    const auto ka = key(a), kb = key(b);
    if (ka != kb) return ka < kb;
    return CompareNamesNoCase(EntryName(a), EntryName(b)) < 0;
}

template <typename Key>
void SortBy(std::vector<FileEntry>& entries, bool descending, Key key) {
    std::stable_sort(entries.begin(), entries.end(), [&](const FileEntry& a, const FileEntry& b) {
        return descending ? ByKeyThenName(b, a, key) : ByKeyThenName(a, b, key);
    });
}

void Shuffle(std::vector<FileEntry>& entries, const std::function<bool(uint32_t&)>& draw) {
    const size_t count = entries.size();
    for (size_t i = 0; i + 1 < count; ++i) {
        uint32_t u;
        if (!draw(u)) continue;
        const uint32_t span = static_cast<uint32_t>(count - i);
        const size_t j = i + u / (0xFFFFFFFFu / span + 1);
        std::swap(entries[i], entries[j]);
    }
}

} // namespace

void SortEntries(FolderList& list, int32_t key, const std::function<bool(uint32_t&)>& draw) {
    std::vector<FileEntry>& e = list.entries;
    if (e.size() >= 2) {
        const bool descending = key < 0;
        switch (descending ? -key : key) {
            case kSortName:
                SortBy(e, descending, [](const FileEntry&) { return 0; });
                break;
            case kSortFileSize:
                SortBy(e, descending, [](const FileEntry& f) { return f.size; });
                break;
            case kSortImageSize:
                // 64-bit: a product of two 32-bit sides must not wrap.
                SortBy(e, descending,
                       [](const FileEntry& f) { return uint64_t(f.width) * f.height; });
                break;
            case kSortCreated:
                SortBy(e, descending, [](const FileEntry& f) { return f.created; });
                break;
            case kSortModified:
                SortBy(e, descending, [](const FileEntry& f) { return f.modified; });
                break;
            case kSortFormat:
                SortBy(e, descending, [](const FileEntry& f) { return f.formatId; });
                break;
            case kSortShuffle:
                if (!descending) Shuffle(e, draw);
                break;
            default:
                break;
        }
    }
    const auto flagged =
        std::find_if(e.begin(), e.end(), [](const FileEntry& f) { return f.isCurrent != 0; });
    list.current = flagged == e.end() ? -1 : static_cast<int32_t>(flagged - e.begin());
}

int32_t FindEntry(const FolderList& list, std::u16string_view name) {
    for (size_t i = 0; i < list.entries.size(); ++i)
        if (EntryName(list.entries[i]) == name) return static_cast<int32_t>(i);
    return -1;
}

int32_t TakeSavedEntry(FolderList& list, std::u16string_view name, bool& added) {
    added = false;
    // Windows names ignore letter case: a save over E.PNG rewrites e.png.
    int32_t index = -1;
    if (list.current >= 0 && CompareNamesNoCase(EntryName(list.entries[list.current]), name) == 0)
        index = list.current;
    for (size_t i = 0; index < 0 && i < list.entries.size(); ++i)
        if (CompareNamesNoCase(EntryName(list.entries[i]), name) == 0)
            index = static_cast<int32_t>(i);
    if (index < 0) {
        FileEntry entry;
        if (!SetEntryName(entry, name)) return -1;
        list.entries.push_back(entry);
        index = static_cast<int32_t>(list.entries.size() - 1);
        added = true;
    }
    FileEntry& e = list.entries[index];
    ILFree(e.thumbPixels);
    e.thumbPixels = nullptr;
    e.thumbState = 0;
    e.isLink = 0;
    return index;
}

int RemoveSelectedEntries(FolderList& list) {
    std::vector<FileEntry> kept;
    int32_t removedBefore = 0;
    bool currentRemoved = false;
    for (size_t i = 0; i < list.entries.size(); ++i) {
        FileEntry& e = list.entries[i];
        if (!e.isSelected) {
            kept.push_back(e);
            continue;
        }
        ILFree(e.thumbPixels);
        e.thumbPixels = nullptr;
        if (static_cast<int32_t>(i) < list.current) ++removedBefore;
        if (static_cast<int32_t>(i) == list.current) currentRemoved = true;
    }
    if (kept.empty()) {
        list.entries.clear();
        ClearFolderList(list);
        return 0;
    }
    list.entries = std::move(kept);
    if (list.current < 0) return 1;
    const int32_t index =
        std::min(list.current - removedBefore, static_cast<int32_t>(list.entries.size()) - 1);
    list.current = -1;
    for (FileEntry& e : list.entries)
        e.isCurrent = 0;
    SetCurrentEntry(list, index);
    return currentRemoved ? -1 : 1;
}

bool RemoveCurrentEntry(FolderList& list) {
    const int32_t c = list.current;
    if (c < 0 || c >= static_cast<int32_t>(list.entries.size())) return !list.entries.empty();
    ILFree(list.entries[c].thumbPixels);
    list.entries.erase(list.entries.begin() + c);
    list.current = -1;
    if (list.entries.empty()) {
        ClearFolderList(list);
        return false;
    }
    SetCurrentEntry(list, std::min(c, static_cast<int32_t>(list.entries.size()) - 1));
    return true;
}

bool DrawShuffleNumber(uint32_t& value) {
    static std::random_device device;
    value = device();
    return true;
}
