// Loaders and savers of format families whose codec is not built yet: each
// names its module and refuses with the library's "unsupported" message.
// A codec's own file replaces its functions here.

#include "imglib/formats/codecs.h"

namespace {

ILResult Unsupported(ILHandle* h, const char* module) {
    ILSetModuleName(h, module);
    return ILReportUnsupportedDataFormat(h);
}

} // namespace

ILResult ILLoadPCD(ILHandle* h, const char16_t*, ILImage*, ILInfo*) {
    return Unsupported(h, "PCD");
}
