// The stream libpgf reads and writes PGF files through.
#include "imglib/formats/pgf.h"

void ILPgfFileStream::Write(int* count, void* buffer) {
    const size_t wanted = *count > 0 ? static_cast<size_t>(*count) : 0;
    const size_t written = std::fwrite(buffer, 1, wanted, file_);
    *count = static_cast<int>(written);
    if (written != wanted) throw IOException(kPgfStreamError);
}

void ILPgfFileStream::Read(int* count, void* buffer) {
    const size_t wanted = *count > 0 ? static_cast<size_t>(*count) : 0;
    const size_t read = std::fread(buffer, 1, wanted, file_);
    *count = static_cast<int>(read);
    if (read != wanted) throw IOException(kPgfStreamError);
}

void ILPgfFileStream::SetPos(short mode, INT64 offset) {
    const int origin = mode == FSFromCurrent ? SEEK_CUR : mode == FSFromEnd ? SEEK_END : SEEK_SET;
    if (fseeko(file_, offset, origin) != 0) throw IOException(kPgfStreamError);
}

UINT64 ILPgfFileStream::GetPos() const {
    const off_t at = ftello(file_);
    return at < 0 ? 0 : static_cast<UINT64>(at);
}
