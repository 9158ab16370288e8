#include "MaskComponent.h"

#include "BinaryData.h"

MaskComponent::MaskComponent() : juce::Viewport (juce::String())
{
    setSize (620, 675);
    maskButton.setWantsKeyboardFocus (false);
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

bool MaskComponent::keyPressed (const juce::KeyPress&)
{
    // Used up, Tab included: the focus moves nowhere beneath.
    return true;
}

bool MaskComponent::keyStateChanged (bool)
{
    // A button acts on its shortcut keys as their state changes.
    return true;
}

void MaskComponent::visibilityChanged()
{
    if (isVisible())
        takeFocusWhileTheWindowHasIt();
}

void MaskComponent::parentHierarchyChanged()
{
    // The first showing makes the mask visible before it becomes a child.
    if (isVisible())
        takeFocusWhileTheWindowHasIt();
}

void MaskComponent::focusLost (FocusChangeType)
{
    // Gone from the mask to a control beneath it (a move inside the panel): taken back.
    focusCameBeneath();
}

void MaskComponent::focusCameBeneath()
{
    if (isVisible() && focusIsBeneath())
        takeFocusWhileTheWindowHasIt();
}

bool MaskComponent::focusIsBeneath() const
{
    auto* focused = getCurrentlyFocusedComponent();
    auto* parent = getParentComponent();
    if (focused == nullptr || parent == nullptr || focused == this || isParentOf (focused))
        return false;
    // The window itself counts too: when it gains the input focus the framework may hand the focus to
    // it rather than back to the control beneath that held it.
    return parent->isParentOf (focused) || focused == parent || focused->isParentOf (parent);
}

void MaskComponent::takeFocusWhileTheWindowHasIt()
{
    auto* peer = getPeer();
    if (isShowing() && peer != nullptr && peer->isFocused())
        grabKeyboardFocus();
}
