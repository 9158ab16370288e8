// zarvo_contact_sheet: draws every embedded image at four times its size, each on a checkerboard
// that shows its transparency and labelled with its name, onto one PNG for looking at the artwork.

#include <iostream>

#include "BinaryData.h"
#include "EmbeddedTypeface.h"

namespace
{
struct Entry
{
    const char* name;
    const char* data;
    int size;
};

#define ENTRY(n)                                                                                                       \
    Entry                                                                                                              \
    {                                                                                                                  \
#n "_png", BinaryData::n##_png, BinaryData::n##_pngSize                                                        \
    }

const Entry entries[] = {
    ENTRY (logo),
    ENTRY (setting),
    ENTRY (bilibili),
    ENTRY (tiktok),
    ENTRY (microphone_gain),
    ENTRY (weibo),
    ENTRY (closeBtn01),
    ENTRY (closeBtn02),
    ENTRY (closeBtn03),
    ENTRY (minimiseBtn01),
    ENTRY (minimiseBtn02),
    ENTRY (minimiseBtn03),
    ENTRY (ins),
    ENTRY (ins01),
    ENTRY (ins02),
    ENTRY (ins03),
    ENTRY (twitter),
    ENTRY (twitter01),
    ENTRY (twitter02),
    ENTRY (twitter03),
    ENTRY (facebook),
    ENTRY (facebook01),
    ENTRY (facebook02),
    ENTRY (facebook03),
    ENTRY (Booklittle01),
    ENTRY (Booklittle02),
    ENTRY (Booklittle03),
    ENTRY (microphone_mute),
    ENTRY (noise_reduction01),
    ENTRY (noise_reduction02),
    ENTRY (noise_reduction03),
    ENTRY (noise_background),
    ENTRY (noise_reduction_background_btn),
    ENTRY (noise_reduction_slidebtn),
    ENTRY (pressedNoisebtn),
    ENTRY (notSelectedNoisebtn),
    ENTRY (chooseNoisebtn),
    ENTRY (reverberation01),
    ENTRY (reverberation02),
    ENTRY (reverberation_head),
    ENTRY (reverberation_body),
    ENTRY (reverberation_background_btn),
    ENTRY (reverberation_slidebtn),
    ENTRY (reverb_background),
    ENTRY (reverb_time01),
    ENTRY (reverb_time02),
    ENTRY (reverb_time03),
    ENTRY (reverb_time_border),
    ENTRY (reverb_depth),
    ENTRY (reverb_depth_border),
    ENTRY (reset),
    ENTRY (white),
    ENTRY (orange),
    ENTRY (red),
    ENTRY (redRect),
    ENTRY (juxing),
    ENTRY (icon16),
    ENTRY (icon24),
    ENTRY (icon32),
    ENTRY (icon48),
    ENTRY (icon64),
    ENTRY (icon256),
    ENTRY (mask),
};

constexpr int scale = 4;
constexpr int sheetWidth = 2480;
constexpr int margin = 16;
constexpr int labelHeight = 22;
} // namespace

int main (int argc, char* argv[])
{
    juce::ScopedJuceInitialiser_GUI juce;
    if (argc != 2)
    {
        std::cerr << "usage: zarvo_contact_sheet <output.png>\n";
        return 2;
    }

    // Flow layout: left to right, wrapping at the sheet's width.
    std::vector<juce::Rectangle<int>> cells;
    int x = margin, y = margin, rowHeight = 0;
    for (const auto& e : entries)
    {
        const auto image = juce::ImageCache::getFromMemory (e.data, e.size);
        const int w = juce::jmax (image.getWidth() * scale, 150);
        const int h = image.getHeight() * scale + labelHeight;
        if (x + w > sheetWidth - margin && x > margin)
        {
            x = margin;
            y += rowHeight + margin;
            rowHeight = 0;
        }
        cells.push_back ({ x, y, w, h });
        x += w + margin;
        rowHeight = juce::jmax (rowHeight, h);
    }

    juce::Image sheet (juce::Image::RGB, sheetWidth, y + rowHeight + margin, true);
    juce::Graphics g (sheet);
    g.fillAll (juce::Colour (0xFF5A5A5A));
    g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);
    const juce::Font label (juce::Font (zarvo::getEmbeddedTypeface()).withHeight (15.0f));

    for (size_t i = 0; i < cells.size(); ++i)
    {
        const auto& e = entries[i];
        const auto image = juce::ImageCache::getFromMemory (e.data, e.size);
        const juce::Rectangle<int> area (cells[i].getX(), cells[i].getY(), image.getWidth() * scale,
                                         image.getHeight() * scale);
        g.fillCheckerBoard (area.toFloat(), 8.0f, 8.0f, juce::Colour (0xFF3C3C3C), juce::Colour (0xFF787878));
        g.drawImage (image, area.toFloat());
        g.setColour (juce::Colours::white);
        g.setFont (label);
        g.drawText (juce::String (e.name) + " " + juce::String (image.getWidth()) + "x" +
                        juce::String (image.getHeight()),
                    cells[i].getX(), area.getBottom() + 2, juce::jmax (area.getWidth(), 150), labelHeight - 4,
                    juce::Justification::centredLeft, true);
    }

    juce::File out = juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]);
    out.deleteFile();
    juce::FileOutputStream stream (out);
    if (!stream.openedOk() || !juce::PNGImageFormat().writeImageToStream (sheet, stream))
    {
        std::cerr << "cannot write " << out.getFullPathName() << "\n";
        return 1;
    }
    return 0;
}
