// A C library file closed when its owner goes. Writers release it and close
// it themselves, since only that close tells whether the last buffered
// bytes reached the disk.
#pragma once

#include <cstdio>
#include <memory>

struct ILFileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using ILFilePtr = std::unique_ptr<FILE, ILFileCloser>;
