#include "viewer/logic/gallery_html.h"

#include <cstdio>
#include <memory>

#include <sys/stat.h>

#include "imglib/format.h"
#include "imglib/image.h"
#include "imglib/io/path.h"

namespace {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Code points of UTF-16 text; unpaired surrogates become U+FFFD.
template <typename Visit>
void ForEachCodePoint(std::u16string_view text, Visit visit) {
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        visit(c);
    }
}

// Text lines of the page end in CR LF, as a text-mode file on Windows has them.
std::string Lines(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string Hex(const uint8_t rgb[3]) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02X%02X%02X", rgb[0], rgb[1], rgb[2]);
    return buffer;
}

} // namespace

std::string EscapeHtmlText(std::u16string_view text) {
    std::string out;
    ForEachCodePoint(text, [&](char32_t c) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                AppendUtf8(out, c);
        }
    });
    return out;
}

std::string EscapeHtmlLink(std::u16string_view text) {
    std::string out;
    ForEachCodePoint(text, [&](char32_t c) {
        if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '%' || c == '#' || c == '?' || c == '"' || c == '\'' || c == '>' ||
                   c == ' ' || c < 0x20 || c == 0x7F) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "%%%02X", static_cast<unsigned>(c));
            out += buffer;
        } else {
            AppendUtf8(out, c);
        }
    });
    return out;
}

std::u16string GalleryThumbnailName(std::u16string_view entryName) {
    const size_t dot = entryName.rfind(u'.');
    std::u16string out(dot == std::u16string_view::npos ? entryName : entryName.substr(0, dot));
    return out + u".png";
}

std::string GalleryPageHead(const GalleryPage& page) {
    const std::string text = Hex(page.text), back = Hex(page.background),
                      frame = Hex(page.frameColor);
    const std::string width = std::to_string(page.layout.frame);
    std::string s = "\xEF\xBB\xBF";
    s += Lines(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n"
        "<html>\n<head>\n  <title>Vx Thumbnail Gallery</title>\n\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\" />\n\n\n"
        "<!-- STYLESHEET/CSS (add/change things as you like) -->\n\n"
        "<style type=\"text/css\">\n\n"
        "h1,h2,h3,h4 {\n font-family: Verdana, Helvetica, Arial, sans-serif;\n color: #" +
        text +
        ";\n}\n\n"
        "body,p {\n font-family: Verdana, Helvetica, Arial, sans-serif;\n color: #" +
        text + "; background-color: #" + back +
        ";\n}\n\n"
        "hr {\n height: " +
        width + "px;\n color: #" + frame +
        ";\n}\n\n"
        "img {\n border-style: solid;\n border-width: " +
        width + "px;\n color: #" + frame +
        ";\n}\n\n"
        "</style>\n\n</head>\n\n<body>\n\n\n"
        "<!-- PAGE TITLE (add/change things as you like) -->\n\n"
        "<h2>Thumbnails for " +
        EscapeHtmlText(page.folder) +
        " </h2>\n\n"
        "<hr />\n\n\n"
        "<!-- THUMBNAIL TABLE (change 'title' and 'alt' tags as you like) -->\n\n"
        "<p><table><tbody>\n");
    return s;
}

std::string GalleryRowStart(uint64_t row) {
    return Lines("\n<!-- ROW " + std::to_string(row) + " -->\n\n<tr>\n");
}

std::string GalleryCellHtml(const GalleryPage& page, const GalleryCell& cell, uint64_t column) {
    const GalleryCellSize box = GalleryCellSizeFor(page.layout);
    std::string s = "<!-- COLUMN " + std::to_string(column) +
                    " -->\n"
                    " <td valign=top align=left><table><tbody>\n"
                    "  <td width=\"" +
                    std::to_string(box.width) + "\" height=\"" + std::to_string(box.height) +
                    "\" align=center> <a href=\"Images\\" + EscapeHtmlLink(cell.name) +
                    "\">\n"
                    "  <img width=\"" +
                    std::to_string(cell.thumbWidth) + "\" height=\"" +
                    std::to_string(cell.thumbHeight) +
                    "\" valign=center align=center src=\"Thumbnails\\" +
                    EscapeHtmlLink(GalleryThumbnailName(cell.name)) +
                    "\" alt=\"thumbnail\" title=\"click for full size\"></a>\n"
                    "  </td>\n  <tr><td align=center>\n";
    if (page.show[kLineName]) s += "    " + EscapeHtmlText(cell.name) + "<br />\n";
    if (page.show[kLineSize]) s += "    " + std::to_string(cell.size) + " byte<br />\n";
    if (page.show[kLineImageSize])
        s += "    " + std::to_string(cell.width) + " x " + std::to_string(cell.height) +
             " pixel<br />\n";
    if (page.show[kLineCreated]) s += "    created: " + cell.created + "<br />\n";
    if (page.show[kLineModified]) s += "    modified: " + cell.modified + "<br />\n";
    s += "  <br />\n  </td></tr>\n </tbody></table></td>\n";
    return Lines(s);
}

std::string GalleryRowEnd() {
    return Lines("</tr>\n");
}

std::string GalleryPageFoot(std::string_view date, std::string_view time) {
    return Lines(
        "</tbody></table></p>\n\n"
        "<!-- PAGE FOOTER (add/change things as you like) -->\n\n"
        "<hr />\n<p>\nGenerated by Vx<br />\n"
        "date/time: " +
        std::string(date) + " " + std::string(time) + "\n</p>\n\n</body>\n</html>\n");
}

namespace {

// A folder that exists already counts as made. POSIX calls, not
// std::filesystem: the viewer's build of this file has a 2-byte wchar_t,
// which the library's filesystem code was not built for.
bool MakeFolder(const std::u16string& path) {
    const auto utf8 = ILPathToUtf8(path.c_str());
    if (!utf8) return false;
    mkdir(utf8->c_str(), 0777);
    struct stat status;
    return stat(utf8->c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

// The entry's thumbnail as an 8-bit B,G,R PNG file (over the entry's own
// rows, not copied).
bool WriteGalleryThumbnail(ILHandle* handle, const std::u16string& path, const FileEntry& entry) {
    const uint8_t* pixels = LoadedThumbnail(entry);
    const ThumbGeometry g = UnpackThumbState(entry.thumbState);
    if (!pixels || g.width == 0) return false;
    ILImage image;
    if (ILCreateImage(&image, g.width, g.height, IL_BGR8, const_cast<uint8_t*>(pixels)) != IL_OK)
        return false;
    image.stride = g.stride;
    const bool saved = ILSaveImage(handle, path.c_str(), &image, nullptr) == IL_OK;
    ILClearImage(&image);
    return saved;
}

} // namespace

GalleryResult WriteGallery(ILHandle* handle, const std::u16string& galleryFolder,
                           const GalleryPage& page, const FolderList& list,
                           const std::function<std::string(int64_t)>& formatTime,
                           const std::function<bool(uint32_t done)>& progress,
                           std::string_view date, std::string_view time) {
    const std::u16string thumbnails = galleryFolder + u"/Thumbnails/";
    if (!MakeFolder(galleryFolder) || !MakeFolder(galleryFolder + u"/Thumbnails") ||
        !MakeFolder(galleryFolder + u"/Images"))
        return GalleryResult::NoFolders;
    const std::u16string pagePath = galleryFolder + u"/Thumbnails.html";
    const auto pageUtf8 = ILPathToUtf8(pagePath.c_str());
    std::unique_ptr<FILE, FileCloser> file(pageUtf8 ? std::fopen(pageUtf8->c_str(), "wb")
                                                    : nullptr);
    if (!file) return GalleryResult::NoPage;
    auto put = [&](const std::string& text) {
        std::fwrite(text.data(), 1, text.size(), file.get());
    };
    auto fail = [&](GalleryResult result) {
        file.reset();
        std::remove(pageUtf8->c_str());
        return result;
    };

    put(GalleryPageHead(page));
    int32_t i = 0;
    uint32_t done = 0;
    for (uint64_t row = 1; row <= page.layout.rows; ++row) {
        put(GalleryRowStart(row));
        for (uint64_t column = 1; column <= page.layout.columns; ++column) {
            i = NextSelectedEntry(list, i);
            if (i < 0) break;
            const FileEntry& entry = list.entries[i];
            const std::u16string_view name = EntryName(entry);
            if (!WriteGalleryThumbnail(handle, thumbnails + GalleryThumbnailName(name), entry))
                return fail(GalleryResult::NoThumbnail);
            GalleryCell cell;
            cell.name = name;
            cell.size = entry.size;
            cell.width = entry.width;
            cell.height = entry.height;
            const ThumbGeometry g = UnpackThumbState(entry.thumbState);
            cell.thumbWidth = g.width;
            cell.thumbHeight = g.height;
            if (formatTime) {
                cell.created = formatTime(entry.created);
                cell.modified = formatTime(entry.modified);
            }
            put(GalleryCellHtml(page, cell, column));
            ++i;
            if (progress && !progress(++done)) return fail(GalleryResult::Cancelled);
        }
        put(GalleryRowEnd());
        if (i < 0) i = int32_t(list.entries.size());
    }
    put(GalleryPageFoot(date, time));
    const bool written = std::fflush(file.get()) == 0 && !std::ferror(file.get());
    if (std::fclose(file.release()) != 0 || !written) return fail(GalleryResult::NoPage);
    return GalleryResult::Written;
}

const char16_t* GalleryFailureText(GalleryResult result) {
    switch (result) {
        case GalleryResult::NoFolders:
            return u"Failed to create directories";
        case GalleryResult::NoPage:
            return u"Failed to create html file";
        case GalleryResult::NoThumbnail:
            return u"Failed to create thumbnail";
        case GalleryResult::Written:
        case GalleryResult::Cancelled:
            break;
    }
    return u"";
}
