#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "imglib/metadata/info.h"
#include "imglib/io/path.h"
#include "imglib/io/stream.h"
#include "support/test_folder.h"

namespace fs = std::filesystem;

namespace {

struct Message {
    std::string module, text;
};
std::vector<Message> errors;

bool KeepError(const char* module, const char* text) {
    errors.push_back({module ? module : "", text});
    return true;
}

int OpenFileCount() {
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

class StreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = vxtest::MakeTestFolder("vx_stream");
        h = ILCreateHandle("test");
        ASSERT_NE(h, nullptr);
        ILSetErrorProc(h, KeepError);
        errors.clear();
    }
    void TearDown() override {
        ILDestroyHandle(h);
        fs::remove_all(dir);
    }
    std::u16string MakeFile(const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return Wide(name);
    }
    std::u16string Wide(const std::string& name) { return ILUtf8ToPath((dir / name).string()); }

    fs::path dir;
    ILHandle* h = nullptr;
};

TEST_F(StreamTest, OpenReadRefusesWhatIsNoImageFileAndOpensNothing) {
    MakeFile("empty.bin", "");
    MakeFile("eleven.bin", std::string(11, 'x'));
    fs::create_directory(dir / "folder.bin");
    const std::u16string loneSurrogate = Wide("bad") + u'\xD800' + u".bin";
    const struct {
        const char* name;
        std::u16string path;
        ILResult result;
        const char* text;
    } cases[] = {
        {"missing", Wide("missing.bin"), IL_FILE_NOT_FOUND, "File not found"},
        {"empty", Wide("empty.bin"), IL_EMPTY_FILE, "File size is 0 bytes"},
        {"eleven bytes", Wide("eleven.bin"), IL_INVALID_HEADER, "Invalid image file header"},
        {"folder", Wide("folder.bin"), IL_CANNOT_OPEN, "Unable to open file for reading"},
        {"lone surrogate", loneSurrogate, IL_CANNOT_OPEN, "Unable to open file for reading"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        errors.clear();
        ILInfo info;
        info.width = 77;
        uint64_t size = 5;
        FILE* file = reinterpret_cast<FILE*>(&size);
        const int before = OpenFileCount();
        EXPECT_EQ(ILOpenRead(h, c.path.c_str(), &file, &info, &size), c.result);
        EXPECT_EQ(OpenFileCount(), before);
        EXPECT_EQ(file, nullptr);
        EXPECT_EQ(info.width, 77u) << "info cleared although the open failed";
        EXPECT_EQ(size, 5u);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].text, c.text);
    }
}

TEST_F(StreamTest, OpenReadOfTwelveBytesClearsInfoAndStoresFileFacts) {
    const std::u16string path = MakeFile("twelve.bin", "0123456789ab");
    struct stat st {};
    ASSERT_EQ(::stat((dir / "twelve.bin").c_str(), &st), 0);

    ILInfo info;
    info.formatId = 0x41;
    info.width = 9;
    info.pages = 3;
    ILInfoAddText(&info.texts, IL_TEXT_COMMENT, 3, "old");
    FILE* file = nullptr;
    uint64_t size = 0;
    ASSERT_EQ(ILOpenRead(h, path.c_str(), &file, &info, &size), IL_OK);
    ASSERT_NE(file, nullptr);
    char bytes[13] = {};
    EXPECT_EQ(std::fread(bytes, 1, 13, file), 12u);
    EXPECT_STREQ(bytes, "0123456789ab");
    std::fclose(file);

    EXPECT_EQ(size, 12u);
    EXPECT_EQ(info.fileSize, 12);
    EXPECT_EQ(info.modified, st.st_mtime);
    EXPECT_GT(info.created, 0);
    EXPECT_LE(info.created, info.modified + 1);
    EXPECT_EQ(info.formatId, 0u);
    EXPECT_EQ(info.width, 0u);
    EXPECT_EQ(info.pages, 0u);
    EXPECT_EQ(info.texts.count, 0);
    EXPECT_TRUE(errors.empty());
}

TEST_F(StreamTest, OpenReadWithoutFileOutOnlyChecksAndFillsInfo) {
    const std::u16string path = MakeFile("check.bin", std::string(40, 'z'));
    ILInfo info;
    const int before = OpenFileCount();
    EXPECT_EQ(ILOpenRead(h, path.c_str(), nullptr, &info, nullptr), IL_OK);
    EXPECT_EQ(OpenFileCount(), before);
    EXPECT_EQ(info.fileSize, 40);
}

TEST_F(StreamTest, WidePathsReachTheFileSystemAsUtf8) {
    // Latin-1, a BMP character and one outside the BMP (a surrogate pair).
    const std::string name = "Bild-\xC3\xA4-\xE2\x82\xAC-\xF0\x9F\x98\x80.bin";
    MakeFile(name, std::string(12, 'q'));
    const std::u16string path = Wide("Bild-") + u"\u00E4-\u20AC-\U0001F600.bin";
    ASSERT_EQ(path, Wide(name));
    ILFileReader reader;
    EXPECT_EQ(reader.Open(h, path.c_str(), nullptr), IL_OK);
    EXPECT_EQ(reader.size, 12u);
}

TEST_F(StreamTest, FileReaderReadsSeeksAndTells) {
    const std::u16string path = MakeFile("r.bin", "abcdefghijklmnop");
    ILFileReader reader;
    ASSERT_EQ(reader.Open(h, path.c_str(), nullptr), IL_OK);
    EXPECT_EQ(reader.size, 16u);
    char buf[32] = {};
    EXPECT_EQ(reader.Read(buf, 4), 4u);
    EXPECT_EQ(reader.Tell(), 4);
    EXPECT_TRUE(reader.Seek(-3, 2));
    EXPECT_EQ(reader.Tell(), 13);
    EXPECT_EQ(reader.Read(buf, 32), 3u);
    EXPECT_EQ(std::string(buf, 3), "nop");
    EXPECT_EQ(reader.Read(buf, 32), 0u);
    EXPECT_TRUE(reader.Seek(2, 0));
    EXPECT_TRUE(reader.Seek(1, 1));
    EXPECT_EQ(reader.Tell(), 3);
    EXPECT_FALSE(reader.Seek(0, 3));
    reader.Close();
    reader.Close();
    EXPECT_EQ(reader.Read(buf, 1), 0u);
    EXPECT_FALSE(reader.Seek(0, 0));
}

TEST_F(StreamTest, FileWriterWritesAndReportsLostBytes) {
    const std::u16string path = Wide("w.bin");
    {
        ILFileWriter writer;
        ASSERT_EQ(writer.Open(h, path.c_str()), IL_OK);
        EXPECT_EQ(writer.Write("hello world", 11), 11u);
        EXPECT_TRUE(writer.Seek(0, 0));
        EXPECT_EQ(writer.Write("J", 1), 1u);
        EXPECT_TRUE(writer.Seek(0, 2));
        EXPECT_EQ(writer.Tell(), 11);
        EXPECT_EQ(writer.Flush(), 0);
        EXPECT_TRUE(writer.Close());
        EXPECT_TRUE(writer.Close());
    }
    std::ifstream in(dir / "w.bin", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "Jello world");

    // A device that takes no bytes: the loss shows at flush and close, where
    // the buffered writes already answered success.
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ILFileWriter full;
    ASSERT_EQ(full.Open(h, u"/dev/full"), IL_OK);
    EXPECT_EQ(full.Write("abc", 3), 3u);
    EXPECT_EQ(full.Flush(), IL_WRITE_FAILED);
    EXPECT_EQ(full.Write("abc", 3), 3u);
    EXPECT_FALSE(full.Close());
}

TEST_F(StreamTest, OpenWriteIntoMissingFolderFails) {
    FILE* file = nullptr;
    EXPECT_EQ(ILOpenWrite(h, Wide("no/such/folder.bin").c_str(), &file), IL_FILE_NOT_FOUND);
    EXPECT_EQ(file, nullptr);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text, "File not found");
}

} // namespace
