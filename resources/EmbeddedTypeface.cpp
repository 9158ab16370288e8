#include "EmbeddedTypeface.h"

#include "BinaryData.h"

namespace zarvo
{
juce::Typeface::Ptr getEmbeddedTypeface()
{
    // JUCE copies and parses the whole block on every call, so it is called exactly once.
    static const juce::Typeface::Ptr typeface = juce::Typeface::createSystemTypefaceFor (
        BinaryData::SourceHanSansCNMedium_ttf, static_cast<size_t> (BinaryData::SourceHanSansCNMedium_ttfSize));
    return typeface;
}
} // namespace zarvo
