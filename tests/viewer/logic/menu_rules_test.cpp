#include "viewer/logic/menu_rules.h"

#include <gtest/gtest.h>

#include <map>

#include "imglib/image.h"
#include "resources/commands.h"

namespace {

// The final state of each item the rules decided.
std::map<unsigned, bool> Final(const MenuFacts& facts) {
    std::map<unsigned, bool> states;
    for (const MenuItemState& item : MainMenuStates(facts))
        states[item.id] = item.enabled;
    return states;
}

MenuFacts ImageFacts(uint32_t type, uint32_t bits) {
    MenuFacts facts;
    facts.free = true;
    facts.image = true;
    facts.pixelType = type;
    facts.bits = bits;
    return facts;
}

TEST(MenuRules, ItemsByImageKind) {
    struct Case {
        const char* name;
        MenuFacts facts;
        std::map<unsigned, bool> want;
    } cases[] = {
        {"grey 8",
         ImageFacts(IL_MODEL_GRAY | IL_KIND_8, 8),
         {{CMD_TONEMAPPING, true},
          {CMD_GAUSS_FILTER, true},
          {CMD_PALETTE, false},
          {CMD_COLOR_FILTER, false},
          {CMD_SWAP_RED_BLUE, false},
          {CMD_WRITE_TEXT, true},
          {CMD_ALPHA_MENU, true}}},
        {"monochrome",
         ImageFacts(IL_MODEL_GRAY | IL_KIND_1, 1),
         {{CMD_TONEMAPPING, false},
          {CMD_GAUSS_FILTER, false},
          {CMD_WRITE_TEXT, false},
          {CMD_ALPHA_MENU, false},
          {CMD_RESAMPLE, true}}},
        {"indexed",
         ImageFacts(IL_MODEL_INDEXED | IL_KIND_8, 8),
         {{CMD_PALETTE, true}, {CMD_GAUSS_FILTER, false}, {CMD_ALPHA_MENU, false}}},
        {"rgb with alpha",
         ImageFacts(IL_MODEL_RGB | IL_KIND_8 | IL_EXTRA_ALPHA, 8),
         {{CMD_ALPHA_ADD, false},
          {CMD_ALPHA_REMOVE, true},
          {CMD_ALPHA_INVERT, true},
          {CMD_ALPHA_SAVE, true},
          {CMD_ALPHA_LOAD, true},
          {CMD_SWAP_RED_BLUE, true}}},
        {"rgb without alpha",
         ImageFacts(IL_MODEL_RGB | IL_KIND_16, 16),
         {{CMD_ALPHA_ADD, true},
          {CMD_ALPHA_REMOVE, false},
          {CMD_ALPHA_SAVE, false},
          {CMD_COLOR_FILTER, true}}},
        {"no image",
         MenuFacts{.free = true},
         {{CMD_OPEN_IMAGE, true},
          {CMD_COPY, false},
          {CMD_SAVE_IMAGE, false},
          {CMD_MODE_MENU, false},
          {CMD_TRANSFORM_MENU, false},
          {CMD_WRITE_TEXT, false},
          {CMD_PASTE, false}}},
        {"tool dialog open",
         [] {
             MenuFacts f = ImageFacts(IL_MODEL_RGB | IL_KIND_8, 8);
             f.free = false;
             return f;
         }(),
         {{CMD_OPEN_IMAGE, false},
          {CMD_COPY, true},
          {CMD_TRANSFORM_MENU, false},
          {CMD_GAUSS_FILTER, false}}},
        {"clipboard dib and fx",
         [] {
             MenuFacts f{.free = true};
             f.clipboardHasDib = true;
             f.highQualityResizing = true;
             return f;
         }(),
         {{CMD_PASTE, true}, {CMD_EMPTY_CLIPBOARD, true}, {CMD_FX_BLEND, true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::map<unsigned, bool> have = Final(c.facts);
        for (const auto& [id, enabled] : c.want) {
            ASSERT_TRUE(have.count(id)) << "no rule for " << id;
            EXPECT_EQ(have.at(id), enabled) << "item " << id;
        }
    }
}

// A later image regains what an earlier one greyed: the rules never leave an
// item in the state of the previous image.
TEST(MenuRules, AnImageRegainsItemsThatAnotherGreyed) {
    const auto mono = Final(ImageFacts(IL_MODEL_GRAY | IL_KIND_1, 1));
    const auto rgb = Final(ImageFacts(IL_MODEL_RGB | IL_KIND_8, 8));
    for (unsigned id : {CMD_WRITE_TEXT, CMD_TONEMAPPING, CMD_GAUSS_FILTER, CMD_ALPHA_MENU}) {
        EXPECT_FALSE(mono.at(id)) << id;
        EXPECT_TRUE(rgb.at(id)) << id;
    }
}

} // namespace
