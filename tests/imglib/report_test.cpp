#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "imglib/handle.h"
#include "imglib/io/path.h"

namespace {

struct Message {
    std::string module;
    std::string text;
};
std::vector<Message> g_messages;
bool g_answer = true;

bool Record(const char* module, const char* text) {
    g_messages.push_back({module ? module : "(null)", text});
    return g_answer;
}

class Report : public ::testing::Test {
protected:
    void SetUp() override {
        g_messages.clear();
        g_answer = true;
        h = ILCreateHandle("test");
        ASSERT_NE(h, nullptr);
        ILSetErrorProc(h, Record);
        ILSetWarningProc(h, Record);
    }
    void TearDown() override { ILDestroyHandle(h); }

    ILHandle* h = nullptr;
};

TEST_F(Report, ReportersSendTheirTextAndAnswerTheirCode) {
    struct Row {
        std::function<ILResult(ILHandle*)> report;
        const char* text;
        ILResult code;
    };
    const Row rows[] = {
        {ILReportInternalError, "Internal error", 0},
        {ILReportWriteFailed, "File write failed, disk full?", -8},
        {ILReportUnsupportedColorFormat, "Unsupported color format", -3},
        {ILReportUnsupportedDataFormat, "Unsupported data format", -3},
        {ILReportUnexpectedEnd, "Unexpected end of data", 2},
        {ILReportDecompressionFailed, "Decompression failed", 0},
        {ILReportInvalidCompression, "Invalid compression", -11},
        {ILReportInvalidHeader, "Invalid image file header", -10},
        {ILReportReadFailed, "File read failed", -7},
        {ILReportEmptyFile, "File size is 0 bytes", -9},
        {ILReportFileNotFound, "File not found", -5},
        {[](ILHandle* h) { return ILReportOpenFailed(h, true); }, "Unable to open file for reading",
         -6},
        {[](ILHandle* h) { return ILReportOpenFailed(h, false); },
         "Unable to open file for writing", -6},
        // Sizes round up to the unit shown; the units change above 1 MiB and 1 GiB.
        {[](ILHandle* h) { return ILReportOutOfMemory(h, 0); }, "Out of memory", -100},
        {[](ILHandle* h) { return ILReportOutOfMemory(h, 1048576); },
         "Out of memory on allocating 1048576 bytes", -100},
        {[](ILHandle* h) { return ILReportOutOfMemory(h, 1048577); },
         "Out of memory on allocating 1025 KB", -100},
        {[](ILHandle* h) { return ILReportOutOfMemory(h, 3000000); },
         "Out of memory on allocating 2930 KB", -100},
        {[](ILHandle* h) { return ILReportOutOfMemory(h, 1073741824); },
         "Out of memory on allocating 1048576 KB", -100},
        {[](ILHandle* h) { return ILReportOutOfMemory(h, 1073741825); },
         "Out of memory on allocating 1025 MB", -100},
        {[](ILHandle* h) { return ILReportOutOfMemory(h, UINT64_MAX); },
         "Out of memory on allocating 17592186044416 MB", -100},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        g_messages.clear();
        EXPECT_EQ(row.report(h), row.code);
        ASSERT_EQ(g_messages.size(), 1u);
        EXPECT_EQ(g_messages[0].text, row.text);
        EXPECT_EQ(g_messages[0].module, "ImgLib");

        // Silenced, or without a valid handle, the code is the same.
        ILSetErrorProc(h, nullptr);
        EXPECT_EQ(row.report(h), row.code);
        EXPECT_EQ(row.report(nullptr), row.code);
        ILSetErrorProc(h, Record);
        EXPECT_EQ(g_messages.size(), 1u);
    }
}

TEST_F(Report, ErrnoIsMappedByItsMeaning) {
    struct Row {
        int error;
        const char* text;
        ILResult code;
    };
    const Row rows[] = {
        {ENOENT, "File not found", -5},
        {EIO, "I/O failure", -6},
        {ENOMEM, "Not enough OS core memory", -6},
        {EACCES, "Access denied - file, directory or drive is locked", -6},
        {EMFILE, "Too many open file handles", -6},
        {ENOSPC, "Not enough disk space", -6},
        {EROFS, "Read-only file system", -6},
        {ENAMETOOLONG, "File name too long", -6},
        {EISDIR, "Unable to open file for writing", -6},
        // Unlisted errors, among them ENOSYS, whose number is the Windows C
        // library's ENAMETOOLONG.
        {ENOSYS, "Unable to open file for writing", -6},
        {EXDEV, "Unable to open file for writing", -6},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        g_messages.clear();
        errno = row.error;
        EXPECT_EQ(ILReportErrno(h, false), row.code);
        ASSERT_EQ(g_messages.size(), 1u);
        EXPECT_EQ(g_messages[0].text, row.text);
    }
    errno = EXDEV;
    EXPECT_EQ(ILReportErrno(h, true), -6);
    EXPECT_EQ(g_messages.back().text, "Unable to open file for reading");
}

TEST_F(Report, ErrnoOfRealFailedOpens) {
    const std::filesystem::path dir = ::testing::TempDir();
    struct Row {
        std::string path;
        const char* mode;
        const char* text;
    };
    const Row rows[] = {
        {(dir / "no such folder" / "a.png").string(), "rb", "File not found"},
        {dir.string() + "/" + std::string(300, 'x') + ".png", "rb", "File name too long"},
        {dir.string(), "wb", "Unable to open file for writing"}, // a folder
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        g_messages.clear();
        std::u16string path = ILUtf8ToPath(row.path);
        FILE* f = ILPathOpen(path.c_str(), row.mode);
        ASSERT_EQ(f, nullptr);
        ILReportErrno(h, row.mode[0] == 'r');
        ASSERT_EQ(g_messages.size(), 1u);
        EXPECT_EQ(g_messages[0].text, row.text);
    }
}

TEST_F(Report, MessagesAreTaggedWithTheModule) {
    ILSetModuleName(h, "PNG");
    EXPECT_TRUE(ILWarning(h, "gamma ignored"));
    ILSetModuleName(h, nullptr);
    EXPECT_TRUE(ILError(h, "bad"));
    ASSERT_EQ(g_messages.size(), 2u);
    EXPECT_EQ(g_messages[0].module, "PNG");
    // With no module named the message is tagged ImgLib, which then stays.
    EXPECT_EQ(g_messages[1].module, "ImgLib");
    ASSERT_NE(h->module, nullptr);
    EXPECT_STREQ(h->module, "ImgLib");
}

TEST_F(Report, TextsAreCutAndWarningsLoseOneNewline) {
    const std::string long600(600, 'a');
    EXPECT_TRUE(ILError(h, long600.c_str()));
    EXPECT_TRUE(ILErrorF(h, "%s%s", long600.c_str(), "tail"));
    EXPECT_TRUE(ILWarning(h, "disk\n"));
    EXPECT_TRUE(ILWarning(h, "two\n\n"));
    EXPECT_TRUE(ILError(h, "error\n"));
    EXPECT_TRUE(ILWarningF(h, "%d rows", 7));
    EXPECT_TRUE(ILError(h, nullptr));
    EXPECT_TRUE(ILWarning(h, nullptr));
    ASSERT_EQ(g_messages.size(), 8u);
    EXPECT_EQ(g_messages[0].text, std::string(511, 'a'));
    EXPECT_EQ(g_messages[1].text, std::string(511, 'a'));
    EXPECT_EQ(g_messages[2].text, "disk");
    EXPECT_EQ(g_messages[3].text, "two\n");
    EXPECT_EQ(g_messages[4].text, "error\n");
    EXPECT_EQ(g_messages[5].text, "7 rows");
    EXPECT_EQ(g_messages[6].text, "Unexpected internal error");
    EXPECT_EQ(g_messages[7].text, "Unexpected internal warning");
}

TEST_F(Report, ResultsOfTheEntryPoints) {
    EXPECT_FALSE(ILError(h, ""));
    EXPECT_FALSE(ILWarningF(h, "%s", ""));
    EXPECT_TRUE(g_messages.empty());

    g_answer = false;
    EXPECT_FALSE(ILError(h, "x"));
    EXPECT_EQ(g_messages.size(), 1u);

    ILHandle foreign{};
    EXPECT_FALSE(ILError(nullptr, "x"));
    EXPECT_FALSE(ILWarning(&foreign, "x"));
    EXPECT_EQ(foreign.module, nullptr);

    // A silenced kind drops the message, answers true, and names no module.
    ILSetModuleName(h, nullptr);
    ILSetWarningProc(h, nullptr);
    EXPECT_TRUE(ILWarning(h, "dropped"));
    EXPECT_TRUE(ILWarning(h, ""));
    EXPECT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(h->module, nullptr);
}

TEST_F(Report, DefaultProceduresPrintToStandardError) {
    ILSetErrorProc(h, ILDefaultErrorHandler);
    ::testing::internal::CaptureStderr();
    ILError(h, nullptr);
    ILDefaultWarningHandler(nullptr, "careful");
    ILDefaultWarningHandler("TIFF", "tag");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "\nError: ImgLib module ImgLib - Unexpected internal error"
              "\nWarning: ImgLib - careful"
              "\nWarning: ImgLib module TIFF - tag");
    EXPECT_STREQ(h->module, "ImgLib");
}

bool CountRows(uint32_t done, uint32_t total, void* user) {
    auto* seen = static_cast<std::vector<uint32_t>*>(user);
    seen->push_back(done);
    return done + 1 < total;
}

TEST_F(Report, ProgressAsksTheProcedure) {
    EXPECT_TRUE(ILProgress(h, 0, 2));
    EXPECT_TRUE(ILProgress(nullptr, 0, 2));
    std::vector<uint32_t> seen;
    ILSetProgressProc(h, CountRows, &seen);
    EXPECT_TRUE(ILProgress(h, 0, 2));
    EXPECT_FALSE(ILProgress(h, 1, 2));
    EXPECT_EQ(seen, (std::vector<uint32_t>{0, 1}));
}

} // namespace
