#include "DefaultSansSerif.h"

#include "EmbeddedTypeface.h"

namespace zarvo
{
void setSimHeiAsDefaultSansSerif (juce::LookAndFeel& lookAndFeel)
{
    const juce::String simHei ("SimHei");

    // Setting the name drops any typeface given before, so the fallback has to come after it.
    lookAndFeel.setDefaultSansSerifTypefaceName (simHei);

    if (!juce::Font::findAllTypefaceNames().contains (simHei))
        lookAndFeel.setDefaultSansSerifTypeface (getEmbeddedTypeface());
}
} // namespace zarvo
