// What the PGF loader and saver share: the module name and the stream
// object through which libpgf reads and writes the library's open file.
#pragma once

#include <cstdio>

#include <PGFimage.h>
#include <PGFstream.h>

inline constexpr char kPgfModule[] = "PGF";

// libpgf's stream over a C library file that the codec opened and closes.
// Short reads and writes and failed seeks throw libpgf's IOException with
// the stream error code (6), as libpgf's own file stream does.
class ILPgfFileStream final : public CPGFStream {
public:
    explicit ILPgfFileStream(FILE* file) : file_(file) {}

    void Write(int* count, void* buffer) override;
    void Read(int* count, void* buffer) override;
    void SetPos(short mode, INT64 offset) override;
    UINT64 GetPos() const override;
    bool IsValid() const override { return file_ != nullptr; }

private:
    FILE* file_;
};

// libpgf's error code of a failed stream operation.
inline constexpr OSError kPgfStreamError = 6;
