// The default sans-serif typeface of the whole application: every text whose font names no
// typeface of its own is drawn in it.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace zarvo
{
// Names "SimHei" as the default sans-serif typeface of the given look-and-feel. Where no family of
// that name is installed (always on a stock Linux desktop, where a missing family would leave every
// default-font text blank), the embedded panel typeface, which covers Chinese and Latin, is given
// to the look-and-feel instead.
void setSimHeiAsDefaultSansSerif (juce::LookAndFeel& lookAndFeel);
} // namespace zarvo
