// Text dumps of the info record for the viewer's info window. Lines end in
// CR LF, the line end of the Windows edit control that shows them.
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include <exempi/xmp.h>
#include <libexif/exif-data.h>
#include <libiptcdata/iptc-data.h>

#include "imglib/metadata/info.h"

namespace {

constexpr const char* kCrLf = "\r\n";
// Room for one value as text; libexif and libiptcdata cut longer values.
constexpr unsigned int kValueBuffer = 4000;
constexpr size_t kTitleBuffer = 128;
// The toolkit's option bit for schema nodes (exempi's own macro for it names
// a constant the header lacks).
constexpr uint32_t kXmpSchemaNode = 0x80000000u;

void AppendLabelled(std::string* out, const char* label, const char* text) {
    out->append(label);
    out->append(text);
    out->append(kCrLf);
}

struct XmpStringDeleter {
    void operator()(_XmpString* s) const { xmp_string_free(s); }
};
using XmpString = std::unique_ptr<_XmpString, XmpStringDeleter>;

struct XmpIteratorDeleter {
    void operator()(_XmpIterator* it) const { xmp_iterator_free(it); }
};

} // namespace

void ILFormatTexts(const ILTextList* list, std::string* out) {
    if (!list || !out) return;
    try {
        for (int32_t i = 0; i < list->count; ++i) {
            out->append(list->items[i].key);
            out->append(": ");
            out->append(list->items[i].text);
            out->append(kCrLf);
        }
    } catch (const std::bad_alloc&) {}
}

void ILFormatIccInfo(const ILIccInfo* icc, std::string* out) {
    if (!icc || !out || !icc->present) return;
    try {
        out->append("Color Space: ");
        for (int shift = 24; shift >= 0; shift -= 8) {
            char c = static_cast<char>((icc->colorSpace >> shift) & 0xFF);
            // A zero byte would end the text the window shows.
            out->push_back(static_cast<unsigned char>(c) < 0x20 ? ' ' : c);
        }
        out->append(kCrLf);
        const std::pair<const char*, const char*> texts[] = {
            {"Manufacturer: ", icc->manufacturer},
            {"Description: ", icc->description},
            {"Model: ", icc->model},
            {"Copyright: ", icc->copyright},
        };
        for (const auto& [label, text] : texts) {
            if (!text) continue;
            out->append(kCrLf);
            AppendLabelled(out, label, text);
        }
    } catch (const std::bad_alloc&) {}
}

void ILFormatExif(ExifData* exif, std::string* out) {
    if (!exif || !out) return;
    try {
        auto value = std::make_unique<char[]>(kValueBuffer);
        for (uint32_t ifd = 0; ifd < IL_EXIF_IFD_COUNT; ++ifd) {
            ExifContent* content = exif->ifd[ifd];
            if (!content || content->count == 0) continue;
            if (ifd != IL_EXIF_IFD_0) out->append(kCrLf);
            out->append("[ IFD ");
            out->append(ILExifIfdNames[ifd]);
            out->append(" ]");
            out->append(kCrLf);
            for (unsigned int i = 0; i < content->count; ++i) {
                ExifEntry* entry = content->entries[i];
                char title[kTitleBuffer];
                if (const char* name = ILExifTitle(static_cast<uint16_t>(entry->tag), ifd))
                    std::snprintf(title, sizeof title, "%s: ", name);
                else
                    std::snprintf(title, sizeof title, "Tag 0x%04X: ", entry->tag);
                value[0] = 0;
                const char* text = exif_entry_get_value(entry, value.get(), kValueBuffer);
                AppendLabelled(out, title, text ? text : "");
            }
        }
    } catch (const std::bad_alloc&) {}
}

void ILFormatIPTC(IptcData* iptc, std::string* out) {
    if (!iptc || !out) return;
    try {
        auto value = std::make_unique<char[]>(kValueBuffer);
        for (unsigned int i = 0; i < iptc->count; ++i) {
            IptcDataSet* dataset = iptc->datasets[i];
            // The record number comes from the file and may lie outside the
            // library's enum; read it as a plain number.
            unsigned int record = 0;
            std::memcpy(&record, &dataset->record, sizeof record);
            unsigned int number = dataset->tag;
            if (const char* title = ILIptcTitle(record, number)) {
                out->append(title);
            } else {
                char label[32];
                std::snprintf(label, sizeof label, "%u:%u", record, number);
                out->append(label);
            }
            value[0] = 0;
            // A value that fills the buffer comes back without a terminating
            // zero: the text ends at the buffer's end.
            const char* text = iptc_dataset_get_as_str(dataset, value.get(), kValueBuffer);
            out->append(": ");
            if (text) out->append(text, strnlen(text, kValueBuffer));
            out->append(kCrLf);
        }
    } catch (const std::bad_alloc&) {}
}

int32_t ILXMPTextSink(void* sink, const char* buffer, uint32_t size) {
    auto* out = static_cast<std::string*>(sink);
    if (!out || !buffer || size == 0) return 0;
    try {
        if (buffer[size - 1] == '\n') {
            out->append(buffer, size - 1);
            out->append(kCrLf);
        } else {
            out->append(buffer, size);
        }
    } catch (const std::bad_alloc&) {}
    return 0;
}

// One line per property, "path: value" ("dc:title[1]: Sunset"); arrays and
// structures, which have no value of their own, show their path alone.
void ILFormatXMP(XmpPtr xmp, std::string* out) {
    if (!xmp || !out) return;
    try {
        std::unique_ptr<_XmpIterator, XmpIteratorDeleter> iterator(
            xmp_iterator_new(xmp, nullptr, nullptr, XMP_ITER_PROPERTIES));
        XmpString schema(xmp_string_new()), path(xmp_string_new()), value(xmp_string_new());
        if (!iterator || !schema || !path || !value) return;
        uint32_t options = 0;
        while (xmp_iterator_next(iterator.get(), schema.get(), path.get(), value.get(), &options)) {
            if (options & kXmpSchemaNode) continue;
            std::string line = xmp_string_cstr(path.get());
            const char* text = xmp_string_cstr(value.get());
            if (XMP_IS_PROP_SIMPLE(options)) {
                line += ": ";
                line += text;
            }
            line += '\n';
            // One piece per line break, so a multi-line value ends each of
            // its lines in CR LF too.
            for (size_t start = 0, end; start < line.size(); start = end + 1) {
                end = line.find('\n', start);
                ILXMPTextSink(out, line.data() + start, static_cast<uint32_t>(end + 1 - start));
            }
        }
    } catch (const std::bad_alloc&) {}
}
