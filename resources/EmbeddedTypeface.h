// The panel typeface (Source Han Sans SC Medium) made from the embedded font block: one instance for
// the whole process, shared by the default look-and-feel and the panel font.
#pragma once

#include <juce_graphics/juce_graphics.h>

namespace zarvo
{
// Returns the process's one typeface; the first call parses the font block (about 17 MB), later
// calls return the same object. Thread-safe.
juce::Typeface::Ptr getEmbeddedTypeface();
} // namespace zarvo
