// The dark, translucent layer the control panel lays over itself while the microphone does not
// answer: its one button takes every click on the panel but in a small corner at the top left.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A viewport used as a plain container: it views nothing and lays out its own child, so its
// content holder and scroll bars never show. Like every viewport it takes no click on its own
// area; a click is the mask's only where its button takes it.
class MaskComponent : public juce::Viewport
{
public:
    MaskComponent();
    ~MaskComponent() override;

    void paint (juce::Graphics& g) override;
    void resized() override;

private:
    // Shows the mask image and swallows the clicks; it has no listener, so a click does nothing.
    juce::ImageButton maskButton{ juce::String() };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MaskComponent)
};
