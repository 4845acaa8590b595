// The List window's arithmetic: row height, visible rows, which row comes
// first after a refresh or a scroll, the order in which thumbnail workers
// claim entries, and the title.
#pragma once

#include <cstdint>
#include <string>

#include "viewer/logic/folder_list.h"

// Thumbnail sizes the List window offers; others are brought to the nearest
// one below (0 turns thumbnails off).
int32_t ClampThumbnailSize(int32_t size);
// The thumbnail size plus 4, at least 80.
int32_t ListRowHeight(int32_t thumbnailSize);
// (client height + 1) / row height.
int32_t ListVisibleRows(int32_t clientHeight, int32_t rowHeight);
// The first visible row that keeps the current row in view after a refresh.
int32_t FirstRowShowing(int32_t current, int32_t firstRow, int32_t visible, int32_t count);
// A scroll target brought into 0..count - visible.
int32_t ClampListScroll(int32_t row, int32_t visible, int32_t count);
// The first visible row after the window changed size.
int32_t FitFirstRow(int32_t firstRow, int32_t visible, int32_t count);

// Claims the next entry whose thumbnail is not loaded, looking from
// firstRow to the end and then from the start (visible rows load first):
// its state becomes claimed. -1 when every one of the first entryCount
// entries is claimed or loaded. The caller holds the loader's lock.
int32_t ClaimNextThumbnail(FolderList& list, int32_t entryCount, int32_t firstRow);

// "Image %i/%i in %s" with the folder without its backslash, or the
// texts for a running scan and for no list.
std::u16string ListTitle(const FolderList& list, bool scanning);

// Text line tops within a row for the thumbnail size: name, file size,
// image size, created, modified.
struct ListTextOffsets {
    int32_t name, fileSize, imageSize, created, modified;
};
ListTextOffsets ListTextOffsetsFor(int32_t thumbnailSize);
