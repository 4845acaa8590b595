// Line buffers of the sample pipeline and the pool they are carved from: a
// tile's stages register every line they need while they are built, then
// one block is allocated for all of them. Each line has room for a few
// samples before its first and after its last, which the boundary extension
// of the wavelet stages writes.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace j2k {

// One line of 32-bit samples: integers on the reversible path, floats on
// the irreversible one.
struct sample_line {
    int32_t width = 0;
    bool absolute = false; // integers rather than floats
    void* storage = nullptr;

    template <typename T>
    T* samples() const {
        return static_cast<T*>(storage);
    }
};

class sample_pool {
public:
    // Samples of room on each side of a line.
    static constexpr int64_t margin = 8;

    // Registers a line of `width` samples; its storage comes with carve().
    void pre_create(sample_line& line, int64_t width, bool absolute);
    // Allocates one block for every line registered since the last carve and
    // gives each its storage. A working set too large to allocate is an
    // error (j2k::failure), never an attempt.
    void carve();

private:
    std::vector<sample_line*> pending_;
    int64_t requested_ = 0; // 32-bit words
    struct block_free {
        void operator()(uint32_t* p) const { std::free(p); }
    };
    using block_ptr = std::unique_ptr<uint32_t, block_free>;
    std::vector<block_ptr> blocks_;
};

} // namespace j2k
