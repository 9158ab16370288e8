// The content of the main window: the backdrop and, above it, the control panel.
#pragma once

#include "BackgroundComponent.h"
#include "BaseComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

class MainComponent : public juce::Component
{
public:
    MainComponent();
    ~MainComponent() override = default;

    void paint (juce::Graphics& g) override;
    void resized() override;

private:
    juce::uint32 lastPaintTime = 0;
    BaseComponent baseComponent;
    BackgroundComponent backgroundComponent;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};
