// The skin file format and the skin the updater carries.
#include "resources/skin/skin_resources.h"
#include "skin/skin_format.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

std::vector<unsigned char> blob()
{
    return {SkinBlob, SkinBlob + SkinBlob_size};
}

TEST(SkinFormat, TheEmbeddedSkinParses)
{
    skin_format::Skin skin{};
    ASSERT_TRUE(skin_format::parse(SkinBlob, static_cast<long>(SkinBlob_size), skin));
    EXPECT_EQ(skin.colours[skin_format::window_text], 0x5E3C1Au) << "red, green, blue packed as 0x00BBGGRR";
    EXPECT_EQ(skin.colours[skin_format::progress_background], 0xEEE6DDu);
}

TEST(SkinFormat, LaterColoursAreIgnored)
{
    std::vector<unsigned char> longer = blob();
    longer[6] = 9;
    longer.insert(longer.end(), 8, 0x55);
    skin_format::Skin skin{};
    EXPECT_TRUE(skin_format::parse(longer.data(), static_cast<long>(longer.size()), skin));
}

TEST(SkinFormat, RefusesWhatItDoesNotUnderstand)
{
    using Bytes = std::vector<unsigned char>;
    const std::function<void(Bytes&)> damages[] = {
        [](Bytes& b) { b.clear(); },
        [](Bytes& b) { b.resize(7); },
        [](Bytes& b) { b.resize(b.size() - 1); },
        [](Bytes& b) { b[0] = 'u'; },
        [](Bytes& b) { b[4] = 2; },
        [](Bytes& b) { b[5] = 1; },
        [](Bytes& b) { b[6] = 6; },
        [](Bytes& b) {
            b[6] = 0xFF;
            b[7] = 0xFF;
        },
    };
    for (const auto& damage : damages) {
        Bytes bytes = blob();
        damage(bytes);
        skin_format::Skin skin{};
        EXPECT_FALSE(skin_format::parse(bytes.data(), static_cast<long>(bytes.size()), skin));
    }
    skin_format::Skin skin{};
    EXPECT_FALSE(skin_format::parse(nullptr, 100, skin));
    EXPECT_FALSE(skin_format::parse(SkinBlob, -1, skin));
}

} // namespace
