// Text entries of the info record: key names, adding, replacing and finding.
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "imglib/metadata/info.h"

const char* const ILTextKeyNames[IL_TEXT_KEY_COUNT] = {
    "Copyright",   "Software",      "Comment",    "Make",    "Model",  "Title", "Author",
    "Description", "Creation Time", "Disclaimer", "Warning", "Source", "URL",
};

namespace {

// Copy of at most length bytes of text, stopping at a zero byte.
char* CopyText(const char* text, size_t length) {
    size_t n = strnlen(text, length);
    char* copy = static_cast<char*>(std::malloc(n + 1));
    if (!copy) return nullptr;
    std::memcpy(copy, text, n);
    copy[n] = 0;
    return copy;
}

// Blanks, control characters and every byte from 0x80 up start no comment.
bool IsLeadingFiller(char c) {
    return c == ' ' || static_cast<signed char>(c) < 15;
}

} // namespace

void ILTextList::Append(const char* key, size_t length, const char* text) {
    if (length == 0 || !text) return;
    char* keyCopy = strdup(key ? key : "Comment");
    char* textCopy = CopyText(text, length);
    auto* grown = static_cast<ILTextEntry*>(
        std::realloc(items, (static_cast<size_t>(count) + 1) * sizeof(ILTextEntry)));
    if (!keyCopy || !textCopy || !grown) {
        std::free(keyCopy);
        std::free(textCopy);
        if (grown) items = grown;
        return;
    }
    items = grown;
    items[count++] = {keyCopy, textCopy};
}

void ILInfoAddText(ILTextList* list, ILTextKey key, size_t length, const char* text) {
    if (!list || key >= IL_TEXT_KEY_COUNT) return;
    list->Append(ILTextKeyNames[key], length, text);
}

void ILAddComment(ILTextList* list, size_t length, const char* text) {
    if (!list || length == 0 || !text) return;
    while (length && IsLeadingFiller(*text))
        ++text, --length;
    if (!length) return;

    const char* key = "Comment";
    for (const char* name : ILTextKeyNames) {
        size_t n = std::strlen(name);
        if (n >= length || strncasecmp(text, name, n) != 0) continue;
        if (text[n] != ' ' && text[n] != ':') continue;
        text += n + 1;
        length -= n + 1;
        while (length && (*text == ':' || IsLeadingFiller(*text)))
            ++text, --length;
        if (!length) return;
        key = name;
        break;
    }
    list->Append(key, length, text);
}

void ILSetText(ILTextList* list, ILTextKey key, size_t length, const char* text) {
    if (!list || key >= IL_TEXT_KEY_COUNT) return;
    const char* name = ILTextKeyNames[key];
    for (int32_t i = 0; i < list->count; ++i) {
        ILTextEntry& entry = list->items[i];
        if (std::strcmp(entry.key, name) != 0) continue;
        if (length == 0) {
            std::free(entry.key);
            std::free(entry.text);
            std::memmove(&list->items[i], &list->items[i + 1],
                         static_cast<size_t>(list->count - i - 1) * sizeof(ILTextEntry));
            --list->count;
        } else if (text) {
            if (char* copy = CopyText(text, length)) {
                std::free(entry.text);
                entry.text = copy;
            }
        }
        return;
    }
    list->Append(name, length, text);
}

const char* ILFindText(const ILTextList* list, ILTextKey key) {
    if (!list || key >= IL_TEXT_KEY_COUNT) return nullptr;
    const char* name = ILTextKeyNames[key];
    size_t n = std::strlen(name);
    for (int32_t i = 0; i < list->count; ++i) {
        if (strncasecmp(list->items[i].key, name, n) == 0) return list->items[i].text;
    }
    return nullptr;
}

void ILFreeTexts(ILTextList* list) {
    if (!list) return;
    for (int32_t i = 0; i < list->count; ++i) {
        std::free(list->items[i].key);
        std::free(list->items[i].text);
    }
    std::free(list->items);
    list->items = nullptr;
    list->count = 0;
}
