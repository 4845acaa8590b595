// The HTML gallery's page, piece by piece, as UTF-8 with CR LF line ends.
// Names reach the page escaped: as text (&, <, >, quotes as entities) and
// as link targets (%, #, ?, quotes and controls percent-encoded, & and <
// as entities), so that no file name can break the markup or a link.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "imglib/handle.h"
#include "viewer/logic/export_layout.h"
#include "viewer/logic/folder_list.h"

std::string EscapeHtmlText(std::u16string_view text);
std::string EscapeHtmlLink(std::u16string_view text);

// The thumbnail file of an entry: its name without the extension, ".png".
std::u16string GalleryThumbnailName(std::u16string_view entryName);

struct GalleryPage {
    SheetLayout layout;
    bool show[kLineCount] = {};
    uint8_t text[3] = {}; // red, green, blue
    uint8_t background[3] = {};
    uint8_t frameColor[3] = {};
    std::u16string folder; // the listed folder, ending in a backslash
};

struct GalleryCell {
    std::u16string name;
    uint64_t size = 0;
    uint32_t width = 0, height = 0;           // the image
    uint32_t thumbWidth = 0, thumbHeight = 0; // the thumbnail file
    std::string created, modified;            // formatted, UTF-8
};

// The byte-order mark and everything before the first row.
std::string GalleryPageHead(const GalleryPage& page);
std::string GalleryRowStart(uint64_t row);
std::string GalleryCellHtml(const GalleryPage& page, const GalleryCell& cell, uint64_t column);
std::string GalleryRowEnd();
// The table's end and the footer with the date (MM/DD/YY) and time.
std::string GalleryPageFoot(std::string_view date, std::string_view time);

// Writes the gallery of the selected entries: the folders "Thumbnails" and
// "Images" inside galleryFolder (a library path; made when missing), one PNG
// per entry's thumbnail and the page "Thumbnails.html". formatTime gives
// the created and modified texts; progress is told the cells written so far
// and cancels by answering false. A page that cannot be completed is
// removed; the thumbnails written stay (each is a whole file).
enum class GalleryResult { Written, NoFolders, NoPage, NoThumbnail, Cancelled };
GalleryResult WriteGallery(ILHandle* handle, const std::u16string& galleryFolder,
                           const GalleryPage& page, const FolderList& list,
                           const std::function<std::string(int64_t)>& formatTime,
                           const std::function<bool(uint32_t done)>& progress,
                           std::string_view date, std::string_view time);
// The error box text of a failed gallery.
const char16_t* GalleryFailureText(GalleryResult result);
