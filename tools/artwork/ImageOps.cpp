#include "ImageOps.h"

namespace artwork
{
juce::Image makeCanvas (int width, int height)
{
    return juce::Image (juce::Image::ARGB, width, height, true, juce::SoftwareImageType());
}

void cutOut (juce::Image& image, const juce::Path& shape)
{
    juce::Image coverage (juce::Image::SingleChannel, image.getWidth(), image.getHeight(), true,
                          juce::SoftwareImageType());
    {
        juce::Graphics g (coverage);
        g.setColour (juce::Colours::white);
        g.fillPath (shape);
    }

    const juce::Image::BitmapData cover (coverage, juce::Image::BitmapData::readOnly);
    juce::Image::BitmapData pixels (image, juce::Image::BitmapData::readWrite);
    for (int y = 0; y < image.getHeight(); ++y)
    {
        for (int x = 0; x < image.getWidth(); ++x)
        {
            const auto covered = *cover.getPixelPointer (x, y);
            // Premultiplied pixels: scaling all four channels keeps the colour and lowers the alpha.
            reinterpret_cast<juce::PixelARGB*> (pixels.getPixelPointer (x, y))->multiplyAlpha (255 - covered);
        }
    }
}

juce::MemoryBlock encodePng (const juce::Image& image)
{
    juce::MemoryOutputStream out;
    juce::PNGImageFormat().writeImageToStream (image, out);
    return out.getMemoryBlock();
}
} // namespace artwork
