#include "MainComponent.h"

MainComponent::MainComponent()
{
    // Asks for 620 x 737; the window's title bar grows after the window has fitted itself to this,
    // so the component ends 36 pixels shorter.
    setSize (620, 737);
    addAndMakeVisible (baseComponent);
    addAndMakeVisible (backgroundComponent);
}

void MainComponent::paint (juce::Graphics& g)
{
    juce::Thread::sleep (1);
    g.fillAll (juce::Colour (0xFF000000));

    const auto now = juce::Time::getMillisecondCounter();
    juce::Logger::outputDebugString ("MainComponent::paint time: " + juce::String (now - lastPaintTime));
    lastPaintTime = juce::Time::getMillisecondCounter();
}

void MainComponent::resized()
{
    // Fixed bounds whatever the component's own size.
    baseComponent.setBounds (10, 35, 600, 604);
    // Larger than the window: clipped to the content area.
    backgroundComponent.setBounds (0, 0, 1000, 972);
}
