// Opening files with the library's checks and messages; the file streams.
#include "imglib/io/stream.h"

#include <cerrno>

#include "imglib/metadata/info.h"
#include "imglib/io/path.h"

namespace {

bool SeekFile(FILE* file, int64_t offset, int origin) {
    static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (!file || origin < 0 || origin > 2) return false;
    return fseeko(file, static_cast<off_t>(offset), kWhence[origin]) == 0;
}

} // namespace

ILResult ILOpenRead(ILHandle* h, const char16_t* path, FILE** fileOut, ILInfo* info,
                    uint64_t* sizeOut) {
    if (fileOut) *fileOut = nullptr;
    ILPathStat st{};
    if (!ILPathStatOf(path, &st)) return ILReportErrno(h, true);
    // A folder opens "rb" on some systems and then fails every read.
    if (st.isDirectory) {
        errno = EISDIR;
        return ILReportErrno(h, true);
    }
    if (st.size == 0) return ILReportEmptyFile(h);
    if (st.size < 12) return ILReportInvalidHeader(h);
    if (sizeOut) *sizeOut = st.size;
    if (fileOut) {
        *fileOut = ILPathOpen(path, "rb");
        if (!*fileOut) return ILReportErrno(h, true);
    }
    if (info) {
        ILClearInfo(info);
        info->fileSize = static_cast<int64_t>(st.size);
        info->created = st.created;
        info->modified = st.modified;
    }
    return IL_OK;
}

ILResult ILOpenReadOwned(ILHandle* h, const char16_t* path, ILFilePtr* fileOut, ILInfo* info,
                         uint64_t* sizeOut) {
    FILE* opened = nullptr;
    const ILResult result = ILOpenRead(h, path, &opened, info, sizeOut);
    fileOut->reset(opened);
    return result;
}

ILResult ILOpenWrite(ILHandle* h, const char16_t* path, FILE** fileOut) {
    if (!fileOut) return IL_BAD_ARGUMENT;
    *fileOut = ILPathOpen(path, "wb");
    if (!*fileOut) return ILReportErrno(h, false);
    return IL_OK;
}

ILResult ILFileReader::Open(ILHandle* h, const char16_t* path, ILInfo* info) {
    Close();
    return ILOpenRead(h, path, &file, info, &size);
}

void ILFileReader::Close() {
    if (file) {
        std::fclose(file);
        file = nullptr;
    }
}

bool ILFileReader::Seek(int64_t offset, int origin) {
    return SeekFile(file, offset, origin);
}

size_t ILFileReader::Read(void* buffer, size_t n) {
    return file ? std::fread(buffer, 1, n, file) : 0;
}

int64_t ILFileReader::Tell() {
    return file ? ftello(file) : -1;
}

ILFileReader::~ILFileReader() {
    Close();
}

ILResult ILFileWriter::Open(ILHandle* h, const char16_t* path) {
    Close();
    return ILOpenWrite(h, path, &file);
}

bool ILFileWriter::Close() {
    if (!file) return true;
    const bool ok = std::fclose(file) == 0;
    file = nullptr;
    return ok;
}

size_t ILFileWriter::Write(const void* buffer, size_t n) {
    return file ? std::fwrite(buffer, 1, n, file) : 0;
}

bool ILFileWriter::Seek(int64_t offset, int origin) {
    return SeekFile(file, offset, origin);
}

int ILFileWriter::Flush() {
    return file && std::fflush(file) == 0 ? 0 : IL_WRITE_FAILED;
}

int64_t ILFileWriter::Tell() {
    return file ? ftello(file) : -1;
}

ILFileWriter::~ILFileWriter() {
    Close();
}
