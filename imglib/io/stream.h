// Opening image files with the library's checks and messages, and the two
// small stream objects over a C library file that codecs use.
#pragma once

#include <cstdint>
#include <cstdio>

#include "imglib/io/file_owner.h"
#include "imglib/handle.h"

struct ILInfo;

// Checks the file at path (missing: -5, 0 bytes: -9, under 12 bytes: -10,
// a folder or another failure: -6), reporting through the handle. On success
// stores the size in sizeOut, opens the file "rb" into fileOut when given, and
// clears info and stores the file size and times in it when given; answers 1.
// fileOut is null after any failure.
ILResult ILOpenRead(ILHandle* h, const char16_t* path, FILE** fileOut, ILInfo* info,
                    uint64_t* sizeOut);
// The same, handing the open file to an owner that closes it.
ILResult ILOpenReadOwned(ILHandle* h, const char16_t* path, ILFilePtr* fileOut, ILInfo* info,
                         uint64_t* sizeOut);
// Creates or truncates the file "wb"; reports a failure through the handle.
ILResult ILOpenWrite(ILHandle* h, const char16_t* path, FILE** fileOut);

// The stream operations report nothing: the codec reports from what they answer.
class ILFileReader {
public:
    uint64_t size = 0;
    FILE* file = nullptr;

    ILFileReader() = default;
    ILFileReader(const ILFileReader&) = delete;
    ILFileReader& operator=(const ILFileReader&) = delete;

    ILResult Open(ILHandle* h, const char16_t* path, ILInfo* info);

    // Slot order of these four is fixed.
    virtual void Close();
    // origin: 0 from the start, 1 from the current position, 2 from the end.
    virtual bool Seek(int64_t offset, int origin);
    // The number of bytes read: fewer at the end of the file or on an error.
    virtual size_t Read(void* buffer, size_t n);
    virtual int64_t Tell();

    virtual ~ILFileReader();
};

class ILFileWriter {
public:
    FILE* file = nullptr;

    ILFileWriter() = default;
    ILFileWriter(const ILFileWriter&) = delete;
    ILFileWriter& operator=(const ILFileWriter&) = delete;

    ILResult Open(ILHandle* h, const char16_t* path);

    // Slot order of these five is fixed.
    // False when the bytes still buffered could not be written: savers must
    // close explicitly and report a false answer with ILReportWriteFailed.
    virtual bool Close();
    // The number of bytes written: fewer means the write failed.
    virtual size_t Write(const void* buffer, size_t n);
    virtual bool Seek(int64_t offset, int origin);
    // 0 on success, IL_WRITE_FAILED when the buffered bytes could not be written.
    virtual int Flush();
    virtual int64_t Tell();

    virtual ~ILFileWriter();
};
