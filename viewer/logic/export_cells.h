// What both exports of the List window share while they walk the selected
// entries: progress with cancelling, and a thumbnail of the export's own for
// an entry whose thumbnail was never loaded (the List window was closed, or
// had not reached it), so that the export never lacks a picture.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "imglib/handle.h"
#include "viewer/logic/folder_list.h"

struct ExportCallbacks {
    // Cells done so far; false cancels the export.
    std::function<bool(uint32_t done)> progress;
    // The thumbnail edge for entries the export loads itself, and the library
    // path of entry i to load from; 0 or no function loads none.
    uint32_t loadEdge = 0;
    std::function<std::u16string(int32_t index)> loadPath;
};

// The entry that cell shows for entry i of the list: the entry itself when
// its thumbnail is loaded or was tried (claimed), else a copy with a
// thumbnail loaded through handle as the callbacks say (its own pixels,
// freed by the next call or at destruction). Without a thumbnail either way
// the entry itself.
class CellEntry {
public:
    CellEntry() = default;
    ~CellEntry();
    CellEntry(const CellEntry&) = delete;
    CellEntry& operator=(const CellEntry&) = delete;

    const FileEntry& For(ILHandle* handle, const FolderList& list, int32_t i,
                         const ExportCallbacks& callbacks);

private:
    void Release();
    FileEntry scratch_;
};
