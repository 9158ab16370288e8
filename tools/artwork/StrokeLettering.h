// Lettering drawn as stroked centre lines, so that every machine draws the same pixels (no system
// fonts). Covers the letters the artwork spells: Z A R V O E D b i l.
#pragma once

#include <juce_graphics/juce_graphics.h>

namespace artwork
{
// Centre lines of `text` with cap height 1 starting at x 0 (y 0 is the top of the capitals and of
// the ascenders, y 1 the baseline); letters are `gap` apart. Unknown letters are skipped.
juce::Path letterCentreLines (const juce::String& text, float gap);

// The lettering stroked with `weight` pixels, scaled to `capHeight` pixels and centred on `centre`.
juce::Path strokedLettering (const juce::String& text, float capHeight, float weight, float gap,
                             juce::Point<float> centre);
} // namespace artwork
