#include "viewer/logic/gallery_html.h"

#include <cstdio>

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
