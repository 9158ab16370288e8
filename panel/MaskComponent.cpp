#include "MaskComponent.h"

#include "BinaryData.h"

MaskComponent::MaskComponent() : juce::Viewport (juce::String())
{
    setSize (620, 675);
    addAndMakeVisible (maskButton);
}

MaskComponent::~MaskComponent() = default;

void MaskComponent::paint (juce::Graphics&)
{
    juce::Thread::sleep (1);

    // The cache keys the image by the address of its data, so it is decoded only once.
    const auto mask = juce::ImageCache::getFromMemory (BinaryData::mask_png, BinaryData::mask_pngSize);

    // Stretched over the whole button; the overlay colour is fully transparent, so only the 80%
    // opacity darkens what lies beneath. Pixels at or below half alpha (the image's transparent
    // corners) let clicks through. Setting the images repaints the button, so the mask keeps
    // repainting while it is shown.
    const juce::Colour noOverlay (0x00C83636);
    maskButton.setImages (false, true, false, mask, 0.8f, noOverlay, mask, 0.8f, noOverlay, mask, 0.8f, noOverlay,
                          0.5f);
}

void MaskComponent::resized()
{
    // Replaces the viewport's own layout: the button covers more than the whole panel.
    maskButton.setBounds (0, 0, 1000, 1000);
}
