#include "viewer/logic/export_cells.h"

#include <algorithm>

#include "imglib/format.h"
#include "imglib/image.h"
#include "imglib/memory_owner.h"

CellEntry::~CellEntry() {
    Release();
}

void CellEntry::Release() {
    ILFree(scratch_.thumbPixels);
    scratch_.thumbPixels = nullptr;
    scratch_.thumbState = 0;
}

const FileEntry& CellEntry::For(ILHandle* handle, const FolderList& list, int32_t i,
                                const ExportCallbacks& callbacks) {
    Release();
    const FileEntry& entry = list.entries[i];
    const uint32_t loadEdge = callbacks.loadEdge;
    if (loadEdge == 0 || !callbacks.loadPath || LoadedThumbnail(entry) || entry.thumbState != 0)
        return entry;
    const uint32_t savedEdge = handle->thumbnailEdge;
    handle->thumbnailEdge = loadEdge;
    ILImageOwner thumb;
    const ILResult result = ILLoadThumbnail(handle, callbacks.loadPath(i).c_str(), &thumb.image);
    handle->thumbnailEdge = savedEdge;
    const ILImage& t = thumb.image;
    if (result != IL_OK || !t.data || t.width > loadEdge || t.height > loadEdge) return entry;
    const uint32_t stride = (t.width * 3 + 3) & ~3u;
    auto* pixels = static_cast<uint8_t*>(ILAlloc(handle, uint64_t(stride) * t.height));
    if (!pixels) return entry;
    for (uint32_t y = 0; y < t.height; ++y)
        std::copy_n(t.data + int64_t(y) * t.stride, size_t(t.width) * 3, pixels + y * stride);
    scratch_ = entry;
    scratch_.thumbPixels = nullptr;
    PublishThumbnail(scratch_, pixels, PackThumbState(t.width, t.height, stride));
    return scratch_;
}
