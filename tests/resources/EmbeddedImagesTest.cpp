// The embedded images: each is an 8-bit RGBA PNG of its stated size that decodes, looks as stated
// where it matters, and is decoded once per block by the image cache.
#include <cstring>
#include <set>

#include <gtest/gtest.h>
#include <juce_graphics/juce_graphics.h>

#include "BinaryData.h"

namespace
{
struct Block
{
    const char* name;
    const char* data;
    int size;
    int width;
    int height;
};

#define IMAGE(n, w, h)                                                                                                 \
    Block                                                                                                              \
    {                                                                                                                  \
#n, BinaryData::n##_png, BinaryData::n##_pngSize, w, h                                                         \
    }

const Block blocks[] = {
    IMAGE (logo, 168, 56),
    IMAGE (setting, 26, 26),
    IMAGE (mask, 600, 604),
    IMAGE (bilibili, 45, 20),
    IMAGE (tiktok, 19, 20),
    IMAGE (microphone_gain, 24, 32),
    IMAGE (weibo, 24, 20),
    IMAGE (closeBtn01, 30, 30),
    IMAGE (closeBtn02, 30, 30),
    IMAGE (closeBtn03, 30, 30),
    IMAGE (minimiseBtn01, 30, 30),
    IMAGE (minimiseBtn02, 30, 30),
    IMAGE (minimiseBtn03, 30, 30),
    IMAGE (ins, 20, 20),
    IMAGE (ins01, 20, 20),
    IMAGE (ins02, 20, 20),
    IMAGE (ins03, 20, 20),
    IMAGE (twitter, 22, 20),
    IMAGE (twitter01, 22, 20),
    IMAGE (twitter02, 22, 20),
    IMAGE (twitter03, 22, 20),
    IMAGE (facebook, 20, 20),
    IMAGE (facebook01, 20, 20),
    IMAGE (facebook02, 20, 20),
    IMAGE (facebook03, 20, 20),
    IMAGE (Booklittle01, 20, 20),
    IMAGE (Booklittle02, 20, 20),
    IMAGE (Booklittle03, 20, 20),
    IMAGE (microphone_mute, 28, 30),
    IMAGE (noise_reduction01, 16, 20),
    IMAGE (noise_reduction02, 16, 17),
    IMAGE (noise_reduction03, 17, 2),
    IMAGE (noise_background, 100, 26),
    IMAGE (noise_reduction_background_btn, 100, 26),
    IMAGE (noise_reduction_slidebtn, 50, 26),
    IMAGE (pressedNoisebtn, 40, 40),
    IMAGE (notSelectedNoisebtn, 40, 40),
    IMAGE (chooseNoisebtn, 40, 40),
    IMAGE (reverberation01, 10, 17),
    IMAGE (reverberation02, 11, 16),
    IMAGE (reverberation_head, 18, 11),
    IMAGE (reverberation_body, 9, 9),
    IMAGE (reverberation_background_btn, 100, 26),
    IMAGE (reverberation_slidebtn, 50, 26),
    IMAGE (reverb_background, 100, 26),
    IMAGE (reverb_time01, 8, 8),
    IMAGE (reverb_time02, 6, 15),
    IMAGE (reverb_time03, 6, 16),
    IMAGE (reverb_time_border, 34, 24),
    IMAGE (reverb_depth, 27, 20),
    IMAGE (reverb_depth_border, 34, 24),
    IMAGE (reset, 158, 25),
    IMAGE (white, 7, 28),
    IMAGE (orange, 6, 28),
    IMAGE (red, 40, 40),
    IMAGE (redRect, 6, 28),
    IMAGE (juxing, 6, 28),
    IMAGE (icon16, 16, 16),
    IMAGE (icon24, 24, 24),
    IMAGE (icon32, 32, 32),
    IMAGE (icon48, 48, 48),
    IMAGE (icon64, 64, 64),
    IMAGE (icon256, 256, 256),
};

juce::uint32 bigEndian32 (const char* p)
{
    return juce::ByteOrder::bigEndianInt (p);
}

juce::Image fetch (const char* data, int size)
{
    return juce::ImageCache::getFromMemory (data, size);
}

juce::Image fetch (const Block& b)
{
    return fetch (b.data, b.size);
}

class EmbeddedImage : public ::testing::TestWithParam<Block>
{
};

TEST_P (EmbeddedImage, IsAnRgbaNonInterlacedPngOfItsSize)
{
    const auto& b = GetParam();
    ASSERT_GT (b.size, 33);
    EXPECT_EQ (0, std::memcmp (b.data, "\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ (0, std::memcmp (b.data + 12, "IHDR", 4));
    EXPECT_EQ ((juce::uint32)b.width, bigEndian32 (b.data + 16));
    EXPECT_EQ ((juce::uint32)b.height, bigEndian32 (b.data + 20));
    EXPECT_EQ (8, b.data[24]) << "bit depth";
    EXPECT_EQ (6, b.data[25]) << "colour type RGBA";
    EXPECT_EQ (0, b.data[28]) << "interlace method";
    // The block is exactly the file: it ends with the IEND chunk.
    EXPECT_EQ (0, std::memcmp (b.data + b.size - 8, "IEND", 4));
}

TEST_P (EmbeddedImage, DecodesToItsSizeWithAlpha)
{
    const auto& b = GetParam();
    const auto image = fetch (b);
    ASSERT_TRUE (image.isValid());
    EXPECT_EQ (b.width, image.getWidth());
    EXPECT_EQ (b.height, image.getHeight());
    EXPECT_EQ (juce::Image::ARGB, image.getFormat());
}

INSTANTIATE_TEST_SUITE_P (AllBlocks, EmbeddedImage, ::testing::ValuesIn (blocks),
                          [] (const auto& info) { return std::string (info.param.name); });

TEST (EmbeddedImages, EveryResourceNameIsADistinctBlock)
{
    std::set<const char*> addresses;
    for (const auto& b : blocks)
        addresses.insert (b.data);
    EXPECT_EQ (std::size (blocks), addresses.size());
}

// Probes of the looks: a pixel and the colour it must have (ARGB, unpremultiplied).
struct Probe
{
    const char* what;
    const char* data;
    int size;
    int x;
    int y;
    juce::uint32 argb;
};

#define PROBE(n, x, y, argb)                                                                                           \
    Probe                                                                                                              \
    {                                                                                                                  \
#n " at " #x "," #y, BinaryData::n##_png, BinaryData::n##_pngSize, x, y, argb                                  \
    }

const Probe probes[] = {
    // Opaque solid images, corner and middle.
    PROBE (juxing, 0, 0, 0xFF1EFF00),
    PROBE (juxing, 5, 27, 0xFF1EFF00),
    PROBE (orange, 3, 14, 0xFFFF8F1F),
    PROBE (redRect, 5, 0, 0xFFFF0000),
    PROBE (white, 6, 27, 0xFFFFFFFF),
    PROBE (white, 0, 0, 0xFFFFFFFF),
    PROBE (reset, 0, 0, 0xFFFFAB21),
    PROBE (reset, 157, 24, 0xFFFFAB21),
    PROBE (noise_reduction03, 16, 1, 0xFFFFFFFF),
    // Rounded bars: opaque in the middle, transparent at the very corner.
    PROBE (noise_background, 50, 13, 0xFF323232),
    PROBE (noise_background, 0, 0, 0x00000000),
    PROBE (noise_reduction_slidebtn, 25, 13, 0xFFFFAB21),
    PROBE (noise_reduction_slidebtn, 49, 25, 0x00000000),
    // The mask: near-black, opaque but for its corners.
    PROBE (mask, 300, 302, 0xFF1E1E1E),
    PROBE (mask, 0, 302, 0xFF1E1E1E),
    PROBE (mask, 300, 0, 0xFF1E1E1E),
    PROBE (mask, 0, 0, 0x00000000),
    PROBE (mask, 599, 0, 0x00000000),
    PROBE (mask, 0, 603, 0x00000000),
    PROBE (mask, 599, 603, 0x00000000),
    // Mute button discs: the disc colour at the rim, the black microphone in the middle.
    PROBE (notSelectedNoisebtn, 20, 2, 0xFFFFFFFF),
    PROBE (chooseNoisebtn, 20, 2, 0xFFD8D8D8),
    PROBE (pressedNoisebtn, 20, 2, 0xFFFF0000),
    PROBE (notSelectedNoisebtn, 20, 13, 0xFF000000),
    PROBE (notSelectedNoisebtn, 0, 0, 0x00000000),
    PROBE (red, 20, 20, 0xFFFF0000),
    // Icons stand on transparency.
    PROBE (setting, 0, 0, 0x00000000),
    PROBE (logo, 0, 0, 0x00000000),
    PROBE (closeBtn01, 0, 0, 0x00000000),
    PROBE (minimiseBtn01, 0, 0, 0x00000000),
    PROBE (reverb_depth_border, 17, 12, 0x00000000), // the frame is empty inside
    PROBE (facebook01, 2, 10, 0xFFFFFFFF),           // the disc ...
    PROBE (facebook01, 11, 16, 0x00000000),          // ... with the f's stem cut out
    PROBE (Booklittle01, 1, 10, 0xFFFFFFFF),
    PROBE (Booklittle02, 1, 10, 0xFF969696),
    PROBE (Booklittle03, 1, 10, 0xFF646464),
};

class EmbeddedImageLook : public ::testing::TestWithParam<Probe>
{
};

TEST_P (EmbeddedImageLook, HasTheStatedColour)
{
    const auto& p = GetParam();
    const auto image = fetch (p.data, p.size);
    ASSERT_TRUE (image.isValid());
    const auto colour = image.getPixelAt (p.x, p.y);
    if ((p.argb >> 24) == 0)
        EXPECT_EQ (0, colour.getAlpha()) << p.what;
    else
        EXPECT_EQ (juce::Colour (p.argb), colour) << p.what << ": " << colour.toDisplayString (true);
}

INSTANTIATE_TEST_SUITE_P (Probes, EmbeddedImageLook, ::testing::ValuesIn (probes));

// Glyphs drawn in one colour: every fully opaque pixel has that colour, and there are some.
struct Tint
{
    const char* name;
    const char* data;
    int size;
    juce::uint8 grey;
};

#define TINT(n, grey)                                                                                                  \
    Tint                                                                                                               \
    {                                                                                                                  \
#n, BinaryData::n##_png, BinaryData::n##_pngSize, grey                                                         \
    }

const Tint tints[] = {
    TINT (setting, 200),
    TINT (ins, 200),
    TINT (ins01, 255),
    TINT (ins02, 230),
    TINT (ins03, 200),
    TINT (twitter, 200),
    TINT (twitter01, 255),
    TINT (twitter02, 230),
    TINT (twitter03, 200),
    TINT (facebook, 200),
    TINT (facebook01, 255),
    TINT (facebook02, 230),
    TINT (facebook03, 200),
    TINT (bilibili, 255),
    TINT (tiktok, 255),
    TINT (microphone_gain, 255),
    TINT (noise_reduction01, 216),
    TINT (noise_reduction02, 216),
    TINT (reverb_depth, 255),
    TINT (reverb_depth_border, 255),
    TINT (reverb_time_border, 255),
    TINT (reverb_time01, 255),
    TINT (reverb_time02, 255),
    TINT (reverb_time03, 255),
    TINT (closeBtn01, 255),
    TINT (closeBtn02, 200),
    TINT (closeBtn03, 150),
    TINT (minimiseBtn01, 255),
    TINT (minimiseBtn02, 200),
    TINT (minimiseBtn03, 150),
    TINT (logo, 255),
    TINT (weibo, 255),
    TINT (microphone_mute, 0),
    TINT (reverberation01, 216),
    TINT (reverberation02, 216),
    TINT (reverberation_head, 216),
    TINT (reverberation_body, 216),
};

class EmbeddedGlyph : public ::testing::TestWithParam<Tint>
{
};

TEST_P (EmbeddedGlyph, IsDrawnInItsColourOnTransparency)
{
    const auto& t = GetParam();
    const auto image = fetch (t.data, t.size);
    ASSERT_TRUE (image.isValid());
    int opaque = 0, clear = 0;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
        {
            const auto c = image.getPixelAt (x, y);
            if (c.getAlpha() == 0)
                ++clear;
            if (c.getAlpha() != 255)
                continue;
            ++opaque;
            ASSERT_EQ (juce::Colour (t.grey, t.grey, t.grey), c) << t.name << " at " << x << "," << y;
        }
    EXPECT_GT (opaque, 0) << t.name;
    EXPECT_GT (clear, 0) << t.name;
}

INSTANTIATE_TEST_SUITE_P (Glyphs, EmbeddedGlyph, ::testing::ValuesIn (tints),
                          [] (const auto& info) { return std::string (info.param.name); });

// The mask takes a click where its pixel's alpha is above 128, the pixel being found by scaling the
// 1000-pixel button down to the image. Along the top and the left edge the first 12 panel pixels
// must let clicks through, the 13th must not.
TEST (EmbeddedImages, MaskCornerLetsTwelvePanelPixelsThroughAlongTopAndLeft)
{
    const auto mask = fetch (BinaryData::mask_png, BinaryData::mask_pngSize);
    ASSERT_TRUE (mask.isValid());
    auto takesClick = [&mask] (int x, int y)
    { return mask.getPixelAt (x * 600 / 1000, y * 604 / 1000).getAlpha() > 128; };
    for (int i = 0; i < 12; ++i)
    {
        EXPECT_FALSE (takesClick (i, 0)) << "top edge, x " << i;
        EXPECT_FALSE (takesClick (0, i)) << "left edge, y " << i;
    }
    EXPECT_TRUE (takesClick (12, 0));
    EXPECT_TRUE (takesClick (0, 12));
    EXPECT_TRUE (takesClick (12, 12));
    // The corner is anti-aliased: partial alphas between the clear and the opaque pixels.
    int partial = 0;
    for (int x = 0; x < 12; ++x)
    {
        const auto a = mask.getPixelAt (x, 0).getAlpha();
        partial += (a > 0 && a < 255) ? 1 : 0;
    }
    EXPECT_GE (partial, 2);
}

TEST (EmbeddedImages, SecondFetchOfABlockReturnsTheCachedImage)
{
    const auto first = fetch (BinaryData::setting_png, BinaryData::setting_pngSize);
    ASSERT_TRUE (first.isValid());
    // The cache holds it under the block's address, so a fetch finds it there and decodes nothing.
    const auto cached =
        juce::ImageCache::getFromHashCode ((juce::int64) (juce::pointer_sized_int)BinaryData::setting_png);
    EXPECT_EQ (first.getPixelData(), cached.getPixelData());
    const auto second = fetch (BinaryData::setting_png, BinaryData::setting_pngSize);
    EXPECT_EQ (first.getPixelData(), second.getPixelData());
}

// Identical files under two names: equal bytes, but two blocks and so two cache entries.
struct Pair
{
    const char* first;
    int firstSize;
    const char* second;
    int secondSize;
};

class IdenticalPair : public ::testing::TestWithParam<Pair>
{
};

TEST_P (IdenticalPair, AreSeparateCacheEntries)
{
    const auto& p = GetParam();
    ASSERT_EQ (p.firstSize, p.secondSize);
    EXPECT_EQ (0, std::memcmp (p.first, p.second, (size_t)p.firstSize));
    EXPECT_NE (p.first, p.second);

    const auto a = fetch (p.first, p.firstSize);
    const auto b = fetch (p.second, p.secondSize);
    ASSERT_TRUE (a.isValid() && b.isValid());
    EXPECT_NE (a.getPixelData(), b.getPixelData());
    EXPECT_EQ (a.getPixelData(), fetch (p.first, p.firstSize).getPixelData());
    EXPECT_EQ (b.getPixelData(), fetch (p.second, p.secondSize).getPixelData());
}

#define PAIR(a, b)                                                                                                     \
    Pair                                                                                                               \
    {                                                                                                                  \
        BinaryData::a##_png, BinaryData::a##_pngSize, BinaryData::b##_png, BinaryData::b##_pngSize                     \
    }

INSTANTIATE_TEST_SUITE_P (FourPairs, IdenticalPair,
                          ::testing::Values (PAIR (noise_background, reverb_background),
                                             PAIR (reverb_depth_border, reverb_time_border),
                                             PAIR (noise_reduction_slidebtn, reverberation_slidebtn),
                                             PAIR (noise_reduction_background_btn, reverberation_background_btn)));
} // namespace
