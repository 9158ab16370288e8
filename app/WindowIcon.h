// The application icon of the X11 window, in the six sizes the desktop may pick from.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace zarvo
{
// The icon images, smallest first: 16, 24, 32, 48, 64 and 256 pixels square.
juce::Array<juce::Image> getApplicationIcons();

// Gives the window's native peer the application icon. Does nothing for a window that is not on
// the desktop. A peer that is recreated later loses the icon.
void setWindowIcon (juce::Component& window);
} // namespace zarvo
