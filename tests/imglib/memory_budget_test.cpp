// The memory budget of one image: the helper every loader asks before it
// allocates, the handle's default and setter, and the loaders honouring it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "imglib/formats/codec_fixture.h"
#include "imglib/memory_budget.h"

using namespace vxtest;

namespace {

class MemoryBudget : public vxtest::CodecTest {
protected:
    void TearDown() override {
        ILFreeImage(&image);
        CodecTest::TearDown();
    }

    ILImage image;
};

TEST_F(MemoryBudget, DefaultsToAQuarterOfMemoryAndIsSettable) {
    const uint64_t memory = static_cast<uint64_t>(sysconf(_SC_PHYS_PAGES)) *
                            static_cast<uint64_t>(sysconf(_SC_PAGE_SIZE));
    uint64_t budget = 0;
    ASSERT_TRUE(ILGetImageMemoryBudget(h, &budget));
    EXPECT_EQ(budget, memory / 4);

    const uint64_t small = 3'000'000;
    ASSERT_TRUE(ILSetImageMemoryBudget(h, &small));
    ASSERT_TRUE(ILGetImageMemoryBudget(h, &budget));
    EXPECT_EQ(budget, small);
    EXPECT_FALSE(ILSetImageMemoryBudget(nullptr, &small));
    EXPECT_FALSE(ILGetImageMemoryBudget(h, nullptr));
}

// Within the budget nothing is said; beyond it the size is reported the way
// a failed allocation is, and overflowed sizes never pass.
TEST_F(MemoryBudget, CheckAnswersOutOfMemoryWithTheSize) {
    const uint64_t small = 3'000'000;
    ASSERT_TRUE(ILSetImageMemoryBudget(h, &small));
    EXPECT_EQ(ILCheckImageBudget(h, small), IL_OK);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(ILCheckImageBudget(h, small + 1), IL_OUT_OF_MEMORY);
    EXPECT_EQ(ILCheckImageBudget(h, UINT64_MAX), IL_OUT_OF_MEMORY);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "ImgLib: Out of memory on allocating 2930 KB");
    EXPECT_EQ(ILCheckImageBudget(nullptr, 1), IL_BAD_ARGUMENT);
}

// Every loader asks before it allocates: a budget one byte short of the
// image refuses it (the header is still read for an info-only load), a
// budget that fits loads it.
TEST_F(MemoryBudget, LoadersRefuseImagesBeyondIt) {
    ILImage source;
    ASSERT_EQ(ILCreateImage(&source, 64, 48, IL_BGR8, nullptr), IL_OK);
    ASSERT_EQ(ILFillImage(&source, ILColor{0.2f, 0.5f, 0.8f, 1.0f, -1}), IL_OK);
    const uint64_t imageBytes = ILImageBufferSize(64, 48, IL_BGR8);
    for (const char* name : {"b.bmp", "p.png", "j.jpg"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(Save(dir / name, source), IL_OK);

        const uint64_t tooSmall = imageBytes - 1, enough = 16 * imageBytes;
        ASSERT_TRUE(ILSetImageMemoryBudget(h, &tooSmall));
        errors.clear();
        EXPECT_EQ(Load(dir / name, &image), IL_OUT_OF_MEMORY);
        EXPECT_EQ(image.data, nullptr);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_NE(errors[0].find("Out of memory on allocating"), std::string::npos) << errors[0];
        ILInfo info;
        EXPECT_EQ(Load(dir / name, nullptr, &info), IL_OK);
        EXPECT_EQ(info.width, 64u);

        ASSERT_TRUE(ILSetImageMemoryBudget(h, &enough));
        EXPECT_EQ(Load(dir / name, &image), IL_OK);
        ILFreeImage(&image);
    }
    ILFreeImage(&source);
}

} // namespace
