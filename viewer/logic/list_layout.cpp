#include "viewer/logic/list_layout.h"

#include <algorithm>

int32_t ClampThumbnailSize(int32_t size) {
    if (size < 64) return 0;
    return std::min(size / 32 * 32, 192);
}

int32_t ListRowHeight(int32_t thumbnailSize) {
    return std::max(80, thumbnailSize + 4);
}

int32_t ListVisibleRows(int32_t clientHeight, int32_t rowHeight) {
    return rowHeight > 0 ? std::max(clientHeight + 1, 0) / rowHeight : 0;
}

int32_t FirstRowShowing(int32_t current, int32_t firstRow, int32_t visible, int32_t count) {
    if (count <= 0) return 0;
    if (current < 0) return firstRow;
    if (current >= firstRow && visible > 0) {
        const int32_t last = std::min(count, firstRow + visible);
        if (current >= last) firstRow += current - last + 1;
        return firstRow;
    }
    return current;
}

int32_t ClampListScroll(int32_t row, int32_t visible, int32_t count) {
    return std::max(std::min(row, count - visible), 0);
}

int32_t FitFirstRow(int32_t firstRow, int32_t visible, int32_t count) {
    return count < firstRow + visible ? std::max(0, count - visible) : firstRow;
}

int32_t ClaimNextThumbnail(FolderList& list, int32_t entryCount, int32_t firstRow) {
    const int32_t n = std::min(entryCount, static_cast<int32_t>(list.entries.size()));
    if (n <= 0) return -1;
    const int32_t start = std::clamp(firstRow, 0, n - 1);
    for (int32_t k = 0; k < n; ++k) {
        const int32_t i = (start + k) % n;
        if (list.entries[i].thumbState == 0) {
            list.entries[i].thumbState = kThumbClaimed;
            return i;
        }
    }
    return -1;
}

std::u16string ListTitle(const FolderList& list, bool scanning) {
    if (scanning) return u"updating directory list...";
    if (list.folder.empty()) return u"no directory list";
    std::u16string folder = list.folder;
    if (folder.back() == u'\\') folder.pop_back();
    const std::string numbers = "Image " + std::to_string(list.current + 1) + "/" +
                                std::to_string(list.entries.size()) + " in ";
    return std::u16string(numbers.begin(), numbers.end()) + folder;
}

ListTextOffsets ListTextOffsetsFor(int32_t thumbnailSize) {
    if (thumbnailSize > 96) return {7, 27, 44, 61, 78};
    if (thumbnailSize <= 64) return {2, 18, 33, 48, 63};
    return {5, 23, 39, 55, 71};
}
