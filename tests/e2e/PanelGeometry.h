// Where a hand finds the controls of the shipped window, in panel coordinates (the origin is the
// window content's): the gain slider's track and the mute button.
#pragma once

#include <juce_graphics/juce_graphics.h>

namespace zarvo::test
{
// The sliders' tracks run from x 113 (value 0) to 497 (value 100).
inline int sliderX (int value)
{
    return 113 + value * 384 / 100;
}

// The gain slider's track.
constexpr int gainY = 198;

// The mute button's centre.
constexpr juce::Point<int> muteButton (63, 98);
} // namespace zarvo::test
