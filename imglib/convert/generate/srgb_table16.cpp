// Writes the 16-bit sRGB decode table as a C++ source file (the build runs it
// and compiles its output into ImgLib): 65536 exact values, computed here by
// the expression the library uses for its 8-bit table, so that a program pays
// nothing for the table at start and holds only the pages it reads.
//
//   srgb_table16 OUT.cpp
#include <cstdio>

#include "imglib/convert/srgb.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    FILE* out = std::fopen(argv[1], "w");
    if (!out) return 1;
    std::fputs(
        "// Written by imglib/convert/generate/srgb_table16.cpp; do not edit.\n"
        "#include \"imglib/convert/srgb.h\"\n\n"
        "const float ILSrgbTable16[65536] = {\n",
        out);
    for (int code = 0; code < 65536; ++code)
        std::fprintf(out, "    %af,\n",
                     static_cast<double>(ILSrgbDecodeCode(code, 65536, 2651, 846712.2f)));
    std::fputs("};\n", out);
    return std::fclose(out) == 0 ? 0 : 1;
}
