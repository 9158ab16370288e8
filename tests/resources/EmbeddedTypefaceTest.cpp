// The embedded panel typeface: made once for the process, and able to draw every text of the panel
// and of the information panel in both languages.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "BinaryData.h"
#include "EmbeddedTypeface.h"

namespace
{
TEST (EmbeddedTypeface, IsMadeOnceAndSharedByEveryCaller)
{
    std::vector<juce::Typeface*> seen (8, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back ([&seen, i] { seen[i] = zarvo::getEmbeddedTypeface().get(); });
    for (auto& t : threads)
        t.join();

    const auto typeface = zarvo::getEmbeddedTypeface();
    ASSERT_NE (nullptr, typeface);
    for (auto* t : seen)
        EXPECT_EQ (typeface.get(), t);
    EXPECT_EQ (typeface.get(), zarvo::getEmbeddedTypeface().get());
    EXPECT_EQ (juce::String ("Source Han Sans SC"), typeface->getName());
    EXPECT_EQ (juce::String ("Medium"), typeface->getStyle());
}

// Every text the panels show; the information panel's value labels show device bytes, which are
// printable ASCII.
const char* const panelTexts[] = {
    "麦克风静音",
    "Mute",
    "麦克风增益",
    "Gain",
    "麦克风降噪",
    "Noise Reduction",
    "麦克风混响",
    "Reverberation",
    "混响深度",
    "Rev.Depth",
    "混响时间",
    "Rev.Time",
    "降噪",
    "混响",
    "关",
    "OFF",
    "开",
    "ON",
    "请连接KT-Q7TR设备",
    "已连接KT-Q7TR设备",
    "Hardware Syncing. Please Wait.",
    "KT-Q7TR Connected",
    "产品型号:",
    "Product model:",
    "固件版本:",
    "Firmware version:",
    "语言切换:",
    "Language:",
    "恢复出厂设置",
    "Factory Reset",
    "简体中文",
    "English",
    " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~",
};

// FreeType maps a character the face lacks to glyph 0 (.notdef), which JUCE would draw as a box
// without complaint, so the face's character map is asked directly.
class FaceOfTheBlock
{
public:
    FaceOfTheBlock()
    {
        if (FT_Init_FreeType (&library) == 0)
            FT_New_Memory_Face (library, reinterpret_cast<const FT_Byte*> (BinaryData::SourceHanSansCNMedium_ttf),
                                BinaryData::SourceHanSansCNMedium_ttfSize, 0, &face);
    }
    ~FaceOfTheBlock()
    {
        if (face != nullptr)
            FT_Done_Face (face);
        if (library != nullptr)
            FT_Done_FreeType (library);
    }
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

TEST (EmbeddedTypeface, HasAGlyphForEveryCharacterOfThePanelTexts)
{
    FaceOfTheBlock f;
    ASSERT_NE (nullptr, f.face);
    EXPECT_STREQ ("Source Han Sans SC", f.face->family_name);
    EXPECT_STREQ ("Medium", f.face->style_name);

    for (const char* text : panelTexts)
    {
        for (auto c : juce::String::fromUTF8 (text))
            EXPECT_NE (0u, FT_Get_Char_Index (f.face, (FT_ULong)c))
                << "no glyph for U+" << juce::String::toHexString ((int)c).toStdString() << " of \"" << text << "\"";
    }
}

TEST (EmbeddedTypeface, DrawsChineseAndLatinOutlines)
{
    const juce::Font font (zarvo::getEmbeddedTypeface());
    for (const char* text : { "麦克风静音", "Hardware Syncing. Please Wait.", "产品型号:" })
    {
        juce::GlyphArrangement glyphs;
        glyphs.addLineOfText (font.withHeight (18.0f), juce::String::fromUTF8 (text), 0.0f, 0.0f);
        juce::Path outline;
        glyphs.createPath (outline);
        EXPECT_FALSE (outline.isEmpty()) << text;
        EXPECT_GT (font.withHeight (18.0f).getStringWidthFloat (juce::String::fromUTF8 (text)), 10.0f) << text;
    }
}
} // namespace
