#include "viewer/main_window/clipboard_paste.h"

#include <new>
#include <span>

#include "viewer/logic/clipboard_dib.h"
#include "viewer/main_window/folder_list_view.h"
#include "viewer/main_window/numbered_names.h"
#include "viewer/main_window/open_image.h"

namespace {

// Entries the table does not hold stay opaque black, so that any index the
// rows hold has a colour.
ILPalette* PaletteOf(std::span<const uint8_t> block, const ClipboardDib& dib) {
    auto* palette = new (std::nothrow) ILPalette(1u << dib.bitCount);
    if (!palette || !palette->entries) {
        delete palette;
        return nullptr;
    }
    const uint8_t* table = block.data() + dib.paletteOffset;
    for (uint32_t i = 0; i < palette->count; ++i) {
        if (i < dib.paletteLength)
            palette->SetEntryBGR8(i, table[4 * i], table[4 * i + 1], table[4 * i + 2]);
        else
            palette->SetEntryBGR8(i, 0, 0, 0);
    }
    return palette;
}

void FillSourceInfo(ILInfo& info, const ILImage& image, const ClipboardDib& dib) {
    info.channels = image.channels;
    info.bitsPerPixel = image.channels * image.bits;
    info.colorType = dib.bitCount <= 8 ? 3 : 4;
    info.gamma = 2.2;
    info.alphaKind = 0;
    info.width = image.width;
    info.height = image.height;
}

bool PasteBlock(MainWindowState& state, std::span<const uint8_t> block) {
    ClipboardDib dib;
    if (ParseClipboardDib(block, dib) != DibProblem::None) return false;
    ILClearInfo(&state.info); // also the page count and number
    // The record lends the clipboard's rows to the library, which copies them.
    auto* rows = const_cast<uint8_t*>(block.data() + dib.pixelOffset);
    ILResult result = ILReallocImage(&state.image, dib.width, dib.height, dib.type, rows);
    if (result == IL_OK && state.image.stride != dib.stride) result = IL_BAD_ARGUMENT;
    if (result == IL_OK && dib.paletteLength) {
        state.image.palette = PaletteOf(block, dib);
        if (!state.image.palette) result = IL_OUT_OF_MEMORY;
    }
    if (result == IL_OK) {
        FillSourceInfo(state.info, state.image, dib);
        result = ILImageFromBuffer(state.handle, &state.image, dib.bottomUp);
    }
    if (result != IL_OK || !state.image.data) {
        ILClearImage(&state.image);
        ClearImage(state);
        return false;
    }
    MakeNumberedName(u"Clipboard", state.pastedImageCounter, state.currentPath);
    SetDisplayPath(state, state.currentPath);
    state.loadTimeText[0] = 0;
    ShowNewImage(state, IMAGE_FROM_CLIPBOARD);
    // The pasted image has no folder: paging must not reach the old one.
    EmptyFolderList(state);
    return true;
}

} // namespace

bool PasteImage(MainWindowState& state, HGLOBAL data) {
    if (!state.handle || !data) return false;
    const auto* bytes = static_cast<const uint8_t*>(GlobalLock(data));
    if (!bytes) return false;
    const bool pasted = PasteBlock(state, {bytes, GlobalSize(data)});
    GlobalUnlock(data);
    return pasted;
}
