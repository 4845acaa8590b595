// Writes the 8-bit and 16-bit sRGB decode tables as a C++ source file (the
// build runs it and compiles its output into ImgLib): exact values, computed
// here by the library's own expression, so that a program pays nothing for
// the tables at start, needs no handle to read them and holds only the pages
// it reads.
//
//   srgb_tables OUT.cpp
#include <cstdio>

#include "imglib/convert/srgb.h"

namespace {

void WriteTable(FILE* out, const char* name, int codes, int split, float slope) {
    std::fprintf(out, "const float %s[%d] = {\n", name, codes);
    for (int code = 0; code < codes; ++code)
        std::fprintf(out, "    %af,\n",
                     static_cast<double>(ILSrgbDecodeCode(code, codes, split, slope)));
    std::fputs("};\n", out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    FILE* out = std::fopen(argv[1], "w");
    if (!out) return 1;
    std::fputs("// Written by imglib/convert/generate/srgb_tables.cpp; do not edit.\n"
               "#include \"imglib/convert/srgb.h\"\n\n",
               out);
    WriteTable(out, "ILSrgbTable8", 256, 11, 3294.6f);
    WriteTable(out, "ILSrgbTable16", 65536, 2651, 846712.2f);
    return std::fclose(out) == 0 ? 0 : 1;
}
