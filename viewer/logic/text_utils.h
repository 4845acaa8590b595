// Small text operations on paths and labels that the viewer shares.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The text after the last dot equals "lnk" / "vxa", ignoring case.
bool IsShellLinkFile(std::u16string_view path);
bool IsActionListFile(std::u16string_view path);
// Removes the last dot and what follows when that dot lies in the file name
// (after the last backslash).
void StripExtension(std::u16string& path);
void SetActionListExtension(std::u16string& path);

// Pads with blanks, or cuts, to n - 1 characters (the size of a text buffer
// of n bytes).
void PadWithSpaces(std::string& text, size_t n);
// Removes blanks at the end and at the beginning.
void TrimBlanks(std::string& text);
// "-" or " " for the sign, the integer digits, ".", then the decimals, each
// taken from (rest x 10 + 0.001) truncated: -0.5 with 2 gives "-0.50".
std::string FormatFixedPoint(double value, int decimals);

// "%s_%.3d": the name of an image without a file (pasted, acquired).
std::u16string FormatNumberedName(std::u16string_view base, int number);

// The thumbnail loader's worker count for n logical processors: n, or
// (3n + 2) / 4 when n > 2; at least 1, at most 8.
int WorkerThreadCountFor(int processors);
