// Pixel operations of the artwork generator: blank canvases, cutting shapes out of a drawing, and
// PNG encoding.
#pragma once

#include <juce_graphics/juce_graphics.h>

namespace artwork
{
// A transparent ARGB image in memory (software pixels, the same on every machine).
juce::Image makeCanvas (int width, int height);

// Makes the pixels under `shape` transparent, with anti-aliased edges.
void cutOut (juce::Image& image, const juce::Path& shape);

// The image as an 8-bit RGBA, non-interlaced PNG.
juce::MemoryBlock encodePng (const juce::Image& image);
} // namespace artwork
