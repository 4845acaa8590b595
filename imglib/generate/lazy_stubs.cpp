// Writes the entries of the libraries ImgLib loads on first call
// (imglib/lazy_library.h) as a C++ source file: for every function the
// library's objects call and one of the libraries defines, an entry of that
// name jumping through a slot. The names come from nm, so a new call needs
// no list kept by hand; a reference to a library's data (which no entry can
// stand for) stops the build.
//
//   lazy_stubs OUT.cpp --objects OBJECT... --libraries LIBRARY.so...
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// The lines nm prints for the command, split into name and type.
bool ReadSymbols(const std::string& command, std::vector<std::pair<std::string, char>>* out) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return false;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) {
        char name[4000], type[8];
        if (std::sscanf(line, "%3999s %7s", name, type) != 2 || std::strlen(type) != 1) continue;
        std::string symbol = name;
        symbol = symbol.substr(0, symbol.find('@')); // the version
        out->emplace_back(symbol, type[0]);
    }
    return pclose(pipe) == 0;
}

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

std::string Soname(const std::string& library) {
    FILE* pipe = popen(("objdump -p " + Quoted(library)).c_str(), "r");
    if (!pipe) return {};
    char line[4096], name[4000];
    std::string soname;
    while (std::fgets(line, sizeof line, pipe))
        if (std::sscanf(line, " SONAME %3999s", name) == 1) soname = name;
    pclose(pipe);
    return soname;
}

struct Library {
    std::string soname;
    std::vector<std::string> functions;
};

void Write(FILE* out, const std::vector<Library>& libraries) {
    std::fputs(
        "// Written by imglib/generate/lazy_stubs.cpp; do not edit.\n"
        "#include \"imglib/lazy_library.h\"\n\n",
        out);
    for (size_t l = 0; l < libraries.size(); ++l) {
        const Library& library = libraries[l];
        if (library.functions.empty()) continue;
        std::fprintf(out, "static const char* const kNames%zu[] = {\n", l);
        for (const std::string& name : library.functions)
            std::fprintf(out, "    \"%s\",\n", name.c_str());
        std::fprintf(
            out,
            "};\n"
            "extern \"C\" __attribute__((visibility(\"hidden\"))) void* ILLazySlots%zu[];\n"
            "extern \"C\" {\n"
            "__attribute__((visibility(\"hidden\"))) ILLazyLibrary "
            "ILLazy%zu = {\"%s\", kNames%zu, ILLazySlots%zu, nullptr};\n"
            "}\n"
            "asm(R\"(\n"
            "    .pushsection .data\n"
            "    .balign 8\n"
            "ILLazySlots%zu:\n",
            l, l, library.soname.c_str(), l, l, l);
        for (size_t i = 0; i < library.functions.size(); ++i)
            std::fprintf(out, "    .quad .LILBind%zu_%zu\n", l, i);
        std::fputs("    .text\n", out);
        for (size_t i = 0; i < library.functions.size(); ++i) {
            const char* name = library.functions[i].c_str();
            std::fprintf(out,
                         "    .globl %s\n    .hidden %s\n    .type %s, @function\n"
                         "%s:\n    jmp *ILLazySlots%zu+%zu(%%rip)\n"
                         ".LILBind%zu_%zu:\n    movl $%zu, %%r11d\n    jmp .LILEnter%zu\n",
                         name, name, name, name, l, i * 8, l, i, i, l);
        }
        std::fprintf(out,
                     ".LILEnter%zu:\n    leaq ILLazy%zu(%%rip), %%r10\n    jmp ILLazyEnter\n"
                     "    .popsection\n)\");\n\n",
                     l, l);
    }
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> objects, libraryPaths;
    std::vector<std::string>* list = nullptr;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--objects")) {
            list = &objects;
        } else if (!std::strcmp(argv[i], "--libraries")) {
            list = &libraryPaths;
        } else if (list) {
            list->push_back(argv[i]);
        }
    }
    if (argc < 2 || objects.empty()) return 2;

    std::vector<std::pair<std::string, char>> symbols;
    std::string command = "nm -P -g";
    for (const std::string& object : objects)
        command += " " + Quoted(object);
    if (!ReadSymbols(command, &symbols)) return 1;
    std::set<std::string> undefined, defined;
    for (const auto& [name, type] : symbols)
        (type == 'U' ? undefined : defined).insert(name);

    std::vector<Library> libraries;
    std::set<std::string> taken;
    int result = 0;
    for (const std::string& path : libraryPaths) {
        Library library{Soname(path), {}};
        std::vector<std::pair<std::string, char>> exported;
        if (library.soname.empty() ||
            !ReadSymbols("nm -D -P --defined-only " + Quoted(path), &exported)) {
            std::fprintf(stderr, "lazy_stubs: cannot read %s\n", path.c_str());
            return 1;
        }
        for (const auto& [name, type] : exported) {
            if (!undefined.count(name) || defined.count(name) || !taken.insert(name).second)
                continue;
            if (type == 'T' || type == 'W' || type == 'i') {
                library.functions.push_back(name);
            } else {
                std::fprintf(stderr,
                             "lazy_stubs: %s of %s is data, which ImgLib cannot use "
                             "from a library loaded on first call\n",
                             name.c_str(), path.c_str());
                result = 1;
            }
        }
        libraries.push_back(std::move(library));
    }
    if (result != 0) return result;
    FILE* out = std::fopen(argv[1], "w");
    if (!out) return 1;
    Write(out, libraries);
    return std::fclose(out) == 0 ? 0 : 1;
}
