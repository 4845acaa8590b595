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
    // 1: sequential reading only.
    virtual int capabilities() const { return 1; }
};

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
    explicit file_codestream_source(FILE* file) : file_(file) {}
    ~file_codestream_source() override { close(); }
    void close() override;
    int read(uint8_t* bytes, int n) override;

private:
    FILE* file_;
};

// A code-stream held in memory (tools, tests, fuzzing); the bytes are borrowed.
class memory_codestream_source : public codestream_source {
public:
    explicit memory_codestream_source(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    int read(uint8_t* bytes, int n) override;

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
