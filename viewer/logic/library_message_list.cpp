#include "viewer/logic/library_message_list.h"

#include <cstdint>

namespace {

void Append(LibraryMessageBatch& batch, const char* module, const char* text) {
    LibraryMessage& entry = batch.entries[batch.count];
    entry.module = module ? module : "";
    entry.text = text ? text : "";
    ++batch.count;
}

} // namespace

void AddLibraryError(LibraryMessageList& list, const char* module, const char* text) {
    if (list.errors.count < LibraryMessageBatch::kCapacity) Append(list.errors, module, text);
}

void AddLibraryWarning(LibraryMessageList& list, const char* module, const char* text,
                       bool warningsOn) {
    LibraryMessageBatch& w = list.warnings;
    if (!warningsOn || w.count >= LibraryMessageBatch::kCapacity) return;
    if (w.count > 0 && w.entries[w.count - 1].text == (text ? text : "")) return;
    Append(w, module, text);
}

void ClearLibraryMessages(LibraryMessageList& list) {
    for (LibraryMessageBatch* batch : {&list.errors, &list.warnings}) {
        for (size_t i = 0; i < batch->count; ++i)
            batch->entries[i] = LibraryMessage{};
        batch->count = 0;
    }
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<uint8_t>(text[i]);
        uint32_t code = 0;
        size_t length = 0;
        uint32_t minimum = 0;
        if (lead < 0x80) {
            code = lead;
            length = 1;
        } else if (lead >= 0xC2 && lead < 0xE0) {
            code = lead & 0x1F;
            length = 2;
            minimum = 0x80;
        } else if (lead >= 0xE0 && lead < 0xF0) {
            code = lead & 0x0F;
            length = 3;
            minimum = 0x800;
        } else if (lead >= 0xF0 && lead < 0xF5) {
            code = lead & 0x07;
            length = 4;
            minimum = 0x10000;
        }
        bool valid = length > 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                valid = false;
            else
                code = (code << 6) | (next & 0x3F);
        }
        if (valid && (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)))
            valid = false;
        if (!valid) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
        i += length;
    }
    return out;
}

std::u16string FormatLibraryMessages(const char16_t* path, const LibraryMessageBatch& batch) {
    std::u16string out;
    if (path) {
        out += u"File: ";
        out += path;
        out += u"\n\n";
    }
    for (size_t i = 0; i < batch.count; ++i) {
        out += u"Module ";
        out += Utf8ToUtf16(batch.entries[i].module);
        out += u": ";
        out += Utf8ToUtf16(batch.entries[i].text);
        out += u'\n';
    }
    return out;
}
