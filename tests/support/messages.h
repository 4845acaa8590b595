// The library's errors and warnings kept as "module: text" for a test to
// check, instead of going to the standard error stream.
#pragma once

#include <string>
#include <vector>

#include "imglib/handle.h"

namespace vxtest {

inline std::vector<std::string> errors, warnings;

inline bool KeepError(const char* module, const char* text) {
    errors.push_back(std::string(module ? module : "") + ": " + text);
    return true;
}

inline bool KeepWarning(const char* module, const char* text) {
    warnings.push_back(std::string(module ? module : "") + ": " + text);
    return true;
}

// Sends the handle's messages to the lists above, emptied for the test.
inline void KeepMessages(ILHandle* h) {
    ILSetErrorProc(h, KeepError);
    ILSetWarningProc(h, KeepWarning);
    errors.clear();
    warnings.clear();
}

} // namespace vxtest
