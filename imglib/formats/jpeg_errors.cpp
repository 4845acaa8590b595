// libjpeg's messages on the handle. The library's own manager prints
// warnings to standard error, where a program with a window never shows
// them; here they reach the handle's warning procedure instead, and errors
// jump back to the step that ran (ILJpegGuard) with their text kept.
#include <cstring>

#include <jerror.h>

#include "imglib/formats/jpeg.h"

namespace {

ILJpegErrors* ErrorsOf(j_common_ptr cinfo) {
    return reinterpret_cast<ILJpegErrors*>(cinfo->err);
}

void PassOn(j_common_ptr cinfo) {
    char text[JMSG_LENGTH_MAX];
    cinfo->err->format_message(cinfo, text);
    ILWarning(ErrorsOf(cinfo)->handle, text);
}

// Level -1 is a warning about damaged data; levels 0 and up are trace
// messages, which stay off. A damaged file can repeat one warning for every
// block, so each kind is passed on once.
void EmitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    ILJpegErrors* errors = ErrorsOf(cinfo);
    const int code = cinfo->err->msg_code;
    cinfo->err->num_warnings++;
    // The stdio source pads a file that ends early with an end-of-image
    // marker; the entropy decoder then runs out of data inside a scan.
    if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER) errors->dataEnded = true;
    if (code >= 0 && code < 128) {
        uint64_t& word = errors->warned[code / 64];
        const uint64_t bit = uint64_t{1} << (code % 64);
        if (word & bit) return;
        word |= bit;
    }
    PassOn(cinfo);
}

} // namespace

[[noreturn]] void ILJpegErrorExit(j_common_ptr cinfo) {
    ILJpegErrors* errors = ErrorsOf(cinfo);
    cinfo->err->format_message(cinfo, errors->message);
    std::longjmp(errors->jump, 1);
}

jpeg_error_mgr* ILJpegInitErrors(ILJpegErrors* errors, ILHandle* h) {
    jpeg_std_error(&errors->manager);
    errors->manager.error_exit = ILJpegErrorExit;
    errors->manager.emit_message = EmitMessage;
    errors->manager.output_message = PassOn;
    errors->handle = h;
    errors->message[0] = '\0';
    errors->dataEnded = false;
    errors->warned[0] = errors->warned[1] = 0;
    return &errors->manager;
}
