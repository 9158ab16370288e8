// The dark backdrop that lies behind the controls of the panel.
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class BaseComponent : public juce::Component
{
public:
    BaseComponent() = default;
    ~BaseComponent() override = default;

    void paint (juce::Graphics& g) override;
    void resized() override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BaseComponent)
};
