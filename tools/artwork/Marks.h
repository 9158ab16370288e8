// The shapes of the artwork, each as a filled path in the pixel space of its image: our own simple
// drawings of a gear, a microphone, the link services' marks, waves and frames.
#pragma once

#include <juce_graphics/juce_graphics.h>

namespace artwork
{
// A centre line stroked `weight` pixels wide with round ends.
juce::Path stroked (const juce::Path& centreLine, float weight);

juce::Path gear (juce::Point<float> centre, float outerRadius, float rootRadius, float holeRadius, int teeth);

// A stand microphone (capsule, holder, stem and foot) filling `area`; `weight` is the line width.
juce::Path microphone (juce::Rectangle<float> area, float weight);

// A stroke from the top left to the bottom right of `area`.
juce::Path strikeThrough (juce::Rectangle<float> area, float weight);

juce::Path instagramMark (juce::Rectangle<float> area);
juce::Path birdMark (juce::Rectangle<float> area);
juce::Path facebookDisc (juce::Rectangle<float> area);
juce::Path facebookLetter (juce::Rectangle<float> area);
juce::Path musicalNote (juce::Rectangle<float> area);
juce::Path weiboMark (juce::Rectangle<float> area);

// A circle outline with a horizontal bar (minimise) or a cross (close) inside.
// A filled disc filling the area.
juce::Path dot (juce::Rectangle<float> area);
juce::Path circledMinus (juce::Rectangle<float> area, float weight);
juce::Path circledCross (juce::Rectangle<float> area, float weight);

// An audio trace: a horizontal line that swings up and down `swings` times.
juce::Path waveTrace (juce::Rectangle<float> area, int swings, float weight);
// Vertical bars of varying height, centred: a sound-wave sign.
juce::Path soundBars (juce::Rectangle<float> area, const juce::Array<float>& heights, float barWidth);
// One half of a wave: an arc bulging left (opensRight) or right.
juce::Path waveHalf (juce::Rectangle<float> area, bool opensRight, float weight);
juce::Path roundedFrame (juce::Rectangle<float> area, float cornerSize, float weight);
} // namespace artwork
