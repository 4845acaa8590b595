// Where compressed bytes come from and go to. The code-stream engine reads a
// codestream_source and writes a codestream_sink and never opens files itself;
// the JP2 reader and writer (jp2_file.h) are a source and a sink too.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

namespace j2k {

class codestream_source {
public:
    virtual ~codestream_source() = default;
    // Releases the underlying file.
    virtual void close() {}
    // Up to n bytes; 0 at the end of the data.
    virtual int read(uint8_t* bytes, int n) = 0;
    // 1: sequential reading only; with source_random_access, read_at too.
    virtual int capabilities() const { return 1; }
    // Up to n bytes from `position` (from the code-stream's first byte),
    // leaving the sequential reading where it was; for random-access
    // sources only.
    virtual int64_t read_at(int64_t position, uint8_t* bytes, int64_t n) {
        (void)position, (void)bytes, (void)n;
        return 0;
    }
};

constexpr int source_random_access = 2;

// Up to n bytes of a FILE from an absolute position, its read position
// kept.
int64_t read_file_at(FILE* file, int64_t position, uint8_t* bytes, int64_t n);

class codestream_sink {
public:
    virtual ~codestream_sink() = default;
    // Completes and releases the output.
    virtual void close() {}
    virtual bool write(const uint8_t* bytes, int n) = 0;
};

// A raw code-stream in a file; the source closes the FILE.
class file_codestream_source : public codestream_source {
public:
    explicit file_codestream_source(FILE* file);
    ~file_codestream_source() override { close(); }
    void close() override;
    int read(uint8_t* bytes, int n) override;
    int capabilities() const override { return start_ >= 0 ? 1 | source_random_access : 1; }
    int64_t read_at(int64_t position, uint8_t* bytes, int64_t n) override;

private:
    FILE* file_;
    int64_t start_ = -1; // where the code-stream starts in the file
};

// A code-stream held in memory (tools, tests, fuzzing); the bytes are borrowed.
class memory_codestream_source : public codestream_source {
public:
    explicit memory_codestream_source(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    int read(uint8_t* bytes, int n) override;
    int capabilities() const override { return 1 | source_random_access; }
    int64_t read_at(int64_t position, uint8_t* bytes, int64_t n) override;

private:
    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
};

// Collects the written bytes in memory.
class memory_codestream_sink : public codestream_sink {
public:
    bool write(const uint8_t* bytes, int n) override {
        data.insert(data.end(), bytes, bytes + n);
        return true;
    }
    std::vector<uint8_t> data;
};

} // namespace j2k
