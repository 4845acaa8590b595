// XMP metadata on the XMP toolkit (exempi), which the first parse sets up and
// the last live handle terminates.
#include <cstring>
#include <string_view>

#include <exempi/xmp.h>

#include "imglib/handle.h"
#include "imglib/lazy_setup.h"
#include "imglib/metadata/info.h"

namespace {

// Set up on first need: most programs never meet an XMP packet, and the
// toolkit's start costs about half a millisecond.
ILLazySetUp g_toolkit;

// The toolkit parses nested elements by recursion: 200,000 levels, which a
// compressed PNG text carries in under 2 KB, overflow any stack. Real
// packets nest a dozen levels or so.
constexpr size_t kMaxDepth = 256;

// Where the text `end` ends after `from`, or npos.
size_t After(std::string_view xml, size_t from, std::string_view end) {
    const size_t at = xml.find(end, from);
    return at == std::string_view::npos ? at : at + end.size();
}

// True when no element lies deeper than kMaxDepth. Comments, processing
// instructions, declarations and CDATA sections are stepped over; quoted
// attribute values may hold '>'.
bool NestingIsSane(std::string_view xml) {
    size_t depth = 0;
    for (size_t at = xml.find('<'); at != std::string_view::npos; at = xml.find('<', at)) {
        const std::string_view rest = xml.substr(at);
        if (rest.starts_with("<!--")) {
            at = After(xml, at + 4, "-->");
        } else if (rest.starts_with("<![CDATA[")) {
            at = After(xml, at + 9, "]]>");
        } else if (rest.starts_with("<?")) {
            at = After(xml, at + 2, "?>");
        } else if (rest.starts_with("</")) {
            depth -= depth > 0;
            at = After(xml, at + 2, ">");
        } else {
            char quote = 0;
            size_t end = at + 1;
            for (; end < xml.size(); ++end) {
                const char c = xml[end];
                if (quote) {
                    quote = c == quote ? 0 : quote;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
            }
            if (end >= xml.size()) return true; // unterminated: the parser refuses it
            if (xml[end - 1] != '/' && rest[1] != '!' && ++depth > kMaxDepth) return false;
            at = end + 1;
        }
    }
    return true;
}

} // namespace

bool ILParseXMP(XmpPtr* holder, size_t length, const char* packet) {
    return ILParseXMP(nullptr, holder, length, packet);
}

bool ILParseXMP(ILHandle* h, XmpPtr* holder, size_t length, const char* packet) {
    if (!holder) return false;
    if (*holder || length < 9 || !packet) return *holder != nullptr;
    if (!NestingIsSane(std::string_view(packet, length))) {
        ILWarning(h, "XMP packet nested too deeply - packet ignored");
        return false;
    }
    if (!ILUseXmpToolkit()) return false;
    // exempi turns the toolkit's exceptions into a null result.
    *holder = xmp_new(packet, length);
    return *holder != nullptr;
}

bool ILHasXMP(XmpPtr xmp) {
    return xmp != nullptr;
}

void ILFreeXMP(XmpPtr* holder) {
    if (!holder || !*holder) return;
    xmp_free(*holder);
    *holder = nullptr;
}

bool ILUseXmpToolkit() {
    return ILEnsureSetUp(&g_toolkit, [] { return xmp_init(); });
}

void ILEndXmpToolkit() {
    ILUndoSetUp(&g_toolkit, xmp_terminate);
}
