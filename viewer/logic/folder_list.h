// The folder list: one entry for every listable file of the listed folder,
// in display order, with the header data, the user's selection and the
// thumbnail the List window loads. Sorting, shuffling, paging and removing
// selected entries live here; the scan and the shell work are the viewer's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Units of an entry's name, its terminating zero included.
inline constexpr size_t kEntryNameUnits = 220;

// Sort keys (the List window's sort command ids); the negative of a key
// below kSortShuffle sorts descending.
enum SortKeyId : int32_t {
    kSortName = 40760,
    kSortFileSize = 40761,
    kSortImageSize = 40762,
    kSortCreated = 40763,
    kSortModified = 40764,
    kSortFormat = 40765,
    kSortShuffle = 40766,
};

struct FileEntry {
    char16_t name[kEntryNameUnits] = {};
    uint64_t size = 0;
    int64_t created = 0; // seconds since 1970-01-01 UTC
    int64_t modified = 0;
    int32_t formatId = 0; // variant bits cleared; 0 when the header was not read
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t infoRead = 0;
    uint8_t isCurrent = 0;
    uint8_t isSelected = 0;
    uint8_t isLink = 0;
    // 0 not loaded, 1 claimed (stays 1 when loading failed), else the packed
    // width, height and stride of thumbPixels (PackThumbState).
    uint32_t thumbState = 0;
    // Top-down B,G,R rows from ILAlloc, owned by the entry. Workers publish
    // it last (release), the painter reads it first (acquire).
    uint8_t* thumbPixels = nullptr;
};

inline constexpr uint32_t kThumbClaimed = 1;

struct ThumbGeometry {
    uint32_t width, height, stride;
};
// width | height << 10 | stride << 20; thumbnails are at most 192 pixels a
// side, so the stride fits twelve bits.
uint32_t PackThumbState(uint32_t width, uint32_t height, uint32_t stride);
// Zeros for a state that carries no thumbnail (0 or claimed).
ThumbGeometry UnpackThumbState(uint32_t state);
// Publishes / reads an entry's thumbnail between a worker and the painter.
void PublishThumbnail(FileEntry& entry, uint8_t* pixels, uint32_t state);
const uint8_t* LoadedThumbnail(const FileEntry& entry);

// Stores name in the entry, false (entry untouched) when it does not fit.
bool SetEntryName(FileEntry& entry, std::u16string_view name);
std::u16string_view EntryName(const FileEntry& entry);

// UTF-16 comparison ignoring letter case (each unit folded to lower case):
// negative, 0 or positive.
int CompareNamesNoCase(std::u16string_view a, std::u16string_view b);

struct FolderList {
    std::u16string folder; // ends in a backslash; empty when nothing is listed
    std::vector<FileEntry> entries;
    int32_t current = -1; // index of the entry flagged current, -1 none
};

// Frees every entry's thumbnail (the entries stay).
void FreeThumbnails(FolderList& list);
// Empties the list: thumbnails freed, no folder, no current entry.
void ClearFolderList(FolderList& list);

int32_t CountSelectedEntries(const FolderList& list);
// First selected index at or after from, -1 when none.
int32_t NextSelectedEntry(const FolderList& list, int32_t from);
bool IsCurrentEntrySelected(const FolderList& list);
// Folder plus the entry's name.
std::u16string EntryPath(const FolderList& list, int32_t index);
// The paths of the selected entries, each ended by a NUL and the whole by a
// second one, as the shell's file operations take them; empty when nothing
// is selected.
std::u16string SelectedPathList(const FolderList& list);

// The List window's Select menu.
enum class Selection { All, None, Invert };
void ChangeSelection(FolderList& list, Selection change);
// Selects exactly the entries of the format (variant bits cleared).
void SelectFormat(FolderList& list, int32_t formatId);

// Moves the current flag to index (-1 only clears it).
void SetCurrentEntry(FolderList& list, int32_t index);

// The index that paging moves to, or -1 when nothing moves.
enum class PageStep { Next, Previous, First, Last };
int32_t PageTarget(const FolderList& list, PageStep step);
int32_t GoToTarget(const FolderList& list, int32_t index);

// Orders the entries by the key (ties by name in the key's direction);
// kSortShuffle shuffles with draw (a 32-bit random number, false when none
// was had: that position stays). Any other key leaves the order. Afterwards
// the current index is that of the entry flagged current, -1 when none is.
void SortEntries(FolderList& list, int32_t key, const std::function<bool(uint32_t&)>& draw);
// The random numbers of a shuffle from the system's source (a `draw` of SortEntries).
bool DrawShuffleNumber(uint32_t& value);

// The index of the first entry named exactly name, -1 when none.
int32_t FindEntry(const FolderList& list, std::u16string_view name);

// The entry that a file saved into the listed folder takes: the current
// entry or another of that name (letter case ignored, as Windows names
// are), its thumbnail freed and
// no longer a link; else a new unselected entry at the end, not current.
// Answers the index, -1 when the name does not fit an entry; `added` tells
// whether the entry is new. The caller reads its header, then sorts a new
// one into place.
int32_t TakeSavedEntry(FolderList& list, std::u16string_view name, bool& added);

// Removes the selected entries and frees their thumbnails: 0 when none is
// left (the list is cleared), -1 when the current entry was removed (the
// first survivor after it, else the last one, becomes current), else 1.
int RemoveSelectedEntries(FolderList& list);
// Removes the current entry: the entry at the same index, or the new last
// one, becomes current. Returns false when the list is then empty (cleared).
bool RemoveCurrentEntry(FolderList& list);
