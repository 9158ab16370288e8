// Every image the application embeds, with its file name, pixel size and drawing.
#pragma once

#include <functional>
#include <vector>

#include <juce_graphics/juce_graphics.h>

namespace artwork
{
struct Artwork
{
    juce::String name; // file name without ".png"
    int width;
    int height;
    std::function<void (juce::Image&)> draw; // draws onto a transparent canvas of that size
};

// The 57 interface images and the six application icons, in a fixed order.
std::vector<Artwork> catalogue();
} // namespace artwork
