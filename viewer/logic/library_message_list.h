// The errors and warnings that the main handle's procedures collect during
// one library call (at most 8 of each), and the text that shows them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct LibraryMessage {
    std::string module;
    std::string text;
};

struct LibraryMessageBatch {
    static constexpr size_t kCapacity = 8;
    LibraryMessage entries[kCapacity];
    size_t count = 0;
};

struct LibraryMessageList {
    LibraryMessageBatch errors;
    LibraryMessageBatch warnings;
};

// A ninth error is dropped. A null module enters as an empty name.
void AddLibraryError(LibraryMessageList& list, const char* module, const char* text);
// Nothing when warnings are off, the list is full, or the text repeats the
// last warning's text (the module is not compared).
void AddLibraryWarning(LibraryMessageList& list, const char* module, const char* text,
                       bool warningsOn);
void ClearLibraryMessages(LibraryMessageList& list);

// "File: <path>\n\n" when a path is given, then "Module <module>: <text>\n"
// per entry. The library's texts are UTF-8; bytes that do not decode become
// U+FFFD.
std::u16string FormatLibraryMessages(const char16_t* path, const LibraryMessageBatch& batch);

// UTF-8 to UTF-16, malformed sequences replaced by U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
