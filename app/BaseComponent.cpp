#include "BaseComponent.h"

void BaseComponent::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xFF1E1E1E));
}

void BaseComponent::resized() {}
