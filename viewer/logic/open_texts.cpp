#include "viewer/logic/open_texts.h"

#include <cstdio>

#include "imglib/handle.h"

namespace {

constexpr size_t kFailureUnits = 300;

void AppendAscii(std::u16string& out, const char* text) {
    for (; *text; ++text)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*text)));
}

const char* FailureReason(int32_t result) {
    switch (result) {
        case IL_READ_FAILED:
            return "File read failed";
        case IL_CANNOT_OPEN:
            return "Unable to open file";
        case IL_FILE_NOT_FOUND:
            return "File not found";
        case IL_UNSUPPORTED_FORMAT:
            return "Unsupported file format";
        default:
            return "Unexpected internal error";
    }
}

} // namespace

std::u16string FormatLoadTime(int64_t milliseconds) {
    if (milliseconds < 0) milliseconds = 0;
    char text[40];
    std::snprintf(text, sizeof text, "(time: %lld.%.3lld sec)",
                  static_cast<long long>(milliseconds / 1000),
                  static_cast<long long>(milliseconds % 1000));
    std::u16string out;
    AppendAscii(out, text);
    return out;
}

std::u16string_view DisplayNameOf(std::u16string_view path) {
    const size_t slash = path.rfind(u'\\');
    return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

std::u16string FormatOpenFailure(std::u16string_view path, int32_t result) {
    std::u16string tail;
    AppendAscii(tail, "  \n\n");
    AppendAscii(tail, FailureReason(result));
    AppendAscii(tail, ".  ");
    std::u16string text = u"File: ";
    // A long path is cut rather than the reason, which is what the user
    // needs to read.
    const size_t room = kFailureUnits - 1 - text.size() - tail.size();
    text.append(path.substr(0, room));
    return text + tail;
}

std::u16string_view DroppedActionListError(bool hasImage) {
    return hasImage ? u"Invalid action list" : u"No image file to apply actions";
}
